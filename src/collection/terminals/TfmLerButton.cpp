#include "collection/terminals/TfmLerButton.h"

#include "collection/terminals/ButtonReader.h"
#include "core/TdmzDados.h"
#include "platform/CommandRow.h"
#include "platform/IniFile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

TfmLerButton::TfmLerButton(QWidget *parent)
    : TfmLerButton(OneWire::createDriver(TdmzDados::instance()->config()), parent)
{
}

TfmLerButton::TfmLerButton(std::unique_ptr<OneWireDriver> driver, QWidget *parent)
    : QDialog(parent), m_reader(std::make_unique<ButtonReader>(std::move(driver)))
{
    setWindowTitle(QStringLiteral("Ler identificador"));
    lbMensagem = new QLabel(QStringLiteral("Insira o identificador no leitor"));
    lbCodigo = new QLabel;
    lbCodigo->setAlignment(Qt::AlignCenter);
    lbCodigo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = lbCodigo->font();
    big.setPointSize(big.pointSize() * 2 + 4);
    big.setBold(true);
    lbCodigo->setFont(big);
    // Room for a whole serial number, so the window does not jump when a code appears.
    lbCodigo->setMinimumWidth(QFontMetrics(big).horizontalAdvance(QString(14, 'W')));
    lbCodigo->setMinimumHeight(QFontMetrics(big).height());
    lbAguarde = new QLabel;
    lbAguarde->setWordWrap(true);
    lbAguarde->setEnabled(false);

    btOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                           QStringLiteral("OK"));
    btCancelar = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 QStringLiteral("Cancelar"));
    btOK->setDefault(true);
    // Nothing to hand over until a device has been read.
    btOK->setEnabled(false);
    connect(btOK, &QPushButton::clicked, this, &TfmLerButton::btOKclick);
    connect(btCancelar, &QPushButton::clicked, this, &TfmLerButton::btCancelarclick);

    auto *buttons = commandRow({btOK, btCancelar});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbMensagem);
    layout->addWidget(lbCodigo);
    layout->addWidget(lbAguarde);
    layout->addLayout(buttons);

    tmLeitura = new QTimer(this);
    tmLeitura->setInterval(ButtonReader::kPollInterval);
    connect(tmLeitura, &QTimer::timeout, this, &TfmLerButton::tmLeituraTimer);
    FormCreate();
}

TfmLerButton::~TfmLerButton() { FormClose(); }

void TfmLerButton::FormCreate()
{
    const IniFile &config = TdmzDados::instance()->config();
    m_reader->setCut(config.readInteger("DS9", "INICIO", ButtonReader::kDefaultInicio),
                     config.readInteger("DS9", "TAMANHO", ButtonReader::kDefaultTamanho));
    const QString problem = m_reader->driver().problem();
    lbAguarde->setText(problem.isEmpty() ? QStringLiteral("Aguardando o identificador...")
                                         : problem);
    // The arrow with the hourglass: still waiting, yet the buttons can be clicked.
    setCursor(Qt::BusyCursor);
    tmLeitura->start();
}

void TfmLerButton::setPort(int port) { m_reader->setPort(port); }

QString TfmLerButton::code() const { return lbCodigo->text(); }

void TfmLerButton::tmLeituraTimer()
{
    if (m_reader->poll()) {
        lbCodigo->setText(m_reader->code());
        btOK->setEnabled(!code().isEmpty());
    }
}

void TfmLerButton::btOKclick()
{
    // OK with nothing read is no answer: the caller's record must stay as it was.
    if (code().isEmpty())
        reject();
    else
        accept();
}

void TfmLerButton::btCancelarclick() { reject(); }

void TfmLerButton::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TfmLerButton::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    tmLeitura->stop();
    unsetCursor();
    m_reader->close();
}
