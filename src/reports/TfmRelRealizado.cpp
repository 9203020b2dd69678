#include "reports/TfmRelRealizado.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"
#include "platform/CommandRow.h"
#include "platform/MaskEdit.h"
#include "platform/PeriodBox.h"
#include "platform/Progress.h"
#include "reports/TouchListings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

TfmRelRealizado::TfmRelRealizado(QWidget *parent) : QDialog(parent), m_dm(*TdmzDados::instance())
{
    setWindowTitle(QString::fromUtf8("Relatório de Coletas"));
    m_descargas = new DataSet(m_dm.db(), this);
    m_descargas->setSql(QStringLiteral("SELECT DISTINCT desctot.Data_descarga,desctot.coletor\nFROM desctot\n"
                                       "WHERE  desctot.Coletor = :codigo_coletor\n"
                                       "ORDER BY desctot.data_descarga"));
    buildWidgets();
    // FormCreate: the collectors and their downloads, then today as the period.
    m_dm.qyColetores->open();
    openDescargas();
    MaskEdit::setToday(edInicio, edFim);
}

TfmRelRealizado::~TfmRelRealizado()
{
    m_descargas->close();
    m_dm.qyColetores->close();
}

void TfmRelRealizado::buildWidgets()
{
    QStyle *st = style();
    dbgColetores = new QTableView;
    dbgColetores->setToolTip(QStringLiteral("Selecione o coletor desejado"));
    auto *coletores = new DataSetModel(*m_dm.qyColetores, this);
    coletores->addColumn(QStringLiteral("codigo_coletor"), QString::fromUtf8("Código"), 90);
    coletores->addColumn(QStringLiteral("nome_coletor"), QStringLiteral("Nome do coletor"), 200);
    coletores->bindView(dbgColetores);
    dbgColetores->verticalHeader()->hide();
    dbgColetores->horizontalHeader()->setStretchLastSection(true);

    auto *gbColetas = new QGroupBox(QStringLiteral("Coletas"));
    dbgDescargas = new QTableView;
    dbgDescargas->setToolTip(QStringLiteral("Selecione a descarga desejada"));
    auto *descargas = new DataSetModel(*m_descargas, this);
    descargas->addColumn(QStringLiteral("Data_descarga"), QStringLiteral("Data"), 160);
    descargas->bindView(dbgDescargas);
    dbgDescargas->verticalHeader()->hide();
    dbgDescargas->horizontalHeader()->setStretchLastSection(true);
    btColeta = new QPushButton(st->standardIcon(QStyle::SP_ArrowDown), QString::fromUtf8("&Última coleta"));
    auto *coletasBox = new QVBoxLayout(gbColetas);
    coletasBox->addWidget(dbgDescargas);
    coletasBox->addWidget(btColeta);

    edInicio = new MaskEdit(QStringLiteral("99/99/9999 99:99;1;_"));
    edFim = new MaskEdit(QStringLiteral("99/99/9999 99:99;1;_"));
    btLimpa = new QPushButton(st->standardIcon(QStyle::SP_DialogResetButton), QStringLiteral("&Limpar"));
    QGroupBox *gbPeriodo = periodBox(edInicio, edFim, btLimpa);

    CheckBox1 = new QCheckBox(QStringLiteral("Visualizar no Excel"));
    btRelatorio = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QString::fromUtf8("Relatório"));
    btRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Retorna"));
    for (QPushButton *b : {btColeta, btLimpa, btRelatorio, btRetorna})
        b->setAutoDefault(false);

    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Coletores")));
    left->addWidget(dbgColetores, 1);
    left->addWidget(gbPeriodo);
    left->addWidget(CheckBox1);
    auto *body = new QHBoxLayout;
    body->addLayout(left, 3);
    body->addWidget(gbColetas, 2);
    auto *buttons = commandRow({btRelatorio, btRetorna});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(btLimpa, &QPushButton::clicked, this, &TfmRelRealizado::btLimpaclick);
    connect(btColeta, &QPushButton::clicked, this, &TfmRelRealizado::btColetaclick);
    connect(btRelatorio, &QPushButton::clicked, this, &TfmRelRealizado::btRelatorioclick);
    connect(btRetorna, &QPushButton::clicked, this, &TfmRelRealizado::btRetornaclick);
    // The downloads list follows the collector grid, and every move in it empties the period.
    connect(m_dm.qyColetores, &DataSet::currentRowChanged, this, &TfmRelRealizado::openDescargas);
    connect(m_descargas, &DataSet::currentRowChanged, this, &TfmRelRealizado::dsqyDescargasDataChange);
}

void TfmRelRealizado::openDescargas()
{
    DataSet &coletores = *m_dm.qyColetores;
    m_descargas->setParam("codigo_coletor",
                          coletores.isActive() && !coletores.isEmpty() ? coletores.text("codigo_coletor") : QString());
    m_descargas->open();
}

void TfmRelRealizado::dsqyDescargasDataChange()
{
    edInicio->clear();
    edFim->clear();
}

void TfmRelRealizado::btLimpaclick()
{
    clearOrToday(edInicio, edFim, edInicio->isBlank());
}

void TfmRelRealizado::btColetaclick()
{
    if (m_descargas->isActive())
        m_descargas->last();
}

void TfmRelRealizado::btRelatorioclick()
{
    // Enabled again whatever the outcome, an error included.
    btRelatorio->setEnabled(false);
    struct Enable {
        QPushButton *button;
        ~Enable() { button->setEnabled(true); }
    } enable{btRelatorio};

    DataSet &coletores = *m_dm.qyColetores;
    TouchesByCollectorInputs in;
    if (coletores.isActive() && !coletores.isEmpty()) {
        in.collector = coletores.text("codigo_coletor");
        in.collectorName = coletores.text("nome_coletor");
    }
    if (m_descargas->isActive() && !m_descargas->isEmpty())
        in.download = m_descargas->value("Data_descarga").toDateTime();
    in.periodStart = edInicio->maskedText();
    in.periodEnd = edFim->maskedText();
    const std::optional<Listing> listing = ProgressDialog::run(
        this, windowTitle(), [&](Progress progress) { return TouchesByCollector(m_dm).run(in, progress); });
    if (!listing)
        return;
    listing->present(CheckBox1->isChecked(), m_dm.installationName(), this);
}
