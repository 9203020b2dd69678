#include "listings/TfmExporta.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "listings/TouchExport.h"
#include "platform/BusyCursor.h"
#include "platform/CommandRow.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TfmExporta::TfmExporta(QWidget *parent)
    : QDialog(parent), m_settings(std::make_unique<IniFile>(Folders::windowsFolder() + "SISTXT.INI"))
{
    setWindowTitle(QStringLiteral("Exportar texto"));
    const QString today = SystemServices::now().toString(QStringLiteral("dd/MM/yyyy"));
    edInicio = new MaskEdit(QStringLiteral("99/99/9999;1;_"));
    edFim = new MaskEdit(QStringLiteral("99/99/9999;1;_"));
    edInicio->setMaskedText(today);
    edFim->setMaskedText(today);
    auto *periodo = new QGroupBox(QString::fromUtf8("Período"));
    auto *p = new QHBoxLayout(periodo);
    p->addWidget(edInicio);
    p->addWidget(new QLabel(QStringLiteral("a")));
    p->addWidget(edFim);
    p->addStretch();

    cbAppend = new QCheckBox(QStringLiteral("Appendar"));
    cbAppend->setToolTip(QString::fromUtf8("Acrescentar ou não os registros no arquivo informado"));

    auto *arquivo = new QGroupBox(QStringLiteral("Arquivo a gerar"));
    edArquivo = new QLineEdit;
    edArquivo->setMinimumWidth(320);
    BitBtn1 = new QPushButton(QStringLiteral("..."));
    BitBtn1->setToolTip(QStringLiteral("Identificar arquivo a ser gerado "));
    BitBtn1->setAutoDefault(false);
    auto *a = new QGridLayout(arquivo);
    auto *label = new QLabel(QStringLiteral("Arquivo &Texto"));
    label->setBuddy(edArquivo);
    a->addWidget(label, 0, 0);
    a->addWidget(edArquivo, 0, 1);
    a->addWidget(BitBtn1, 0, 2);

    Gauge1 = new QProgressBar;
    Gauge1->hide();
    Button1 = new QPushButton(QStringLiteral("&Gerar"));
    Button1->setToolTip(QString::fromUtf8("Gera arquivo texto de acordo com o período dado"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("&Sair"));
    Button2->setAutoDefault(false);
    auto *buttons = commandRow({Button1, Button2});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(periodo);
    layout->addWidget(cbAppend);
    layout->addWidget(arquivo);
    layout->addWidget(Gauge1);
    layout->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, &TfmExporta::BitBtn1Click);
    connect(Button1, &QPushButton::clicked, this, &TfmExporta::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfmExporta::Button2Click);

    edArquivo->setText(m_settings->readString(QStringLiteral("CONTROLE"), QStringLiteral("Arquivo")));
    cbAppend->setChecked(m_settings->readBool(QStringLiteral("CONTROLE"), QStringLiteral("Append"), true));
}

TfmExporta::~TfmExporta()
{
    m_settings->writeString(QStringLiteral("CONTROLE"), QStringLiteral("Arquivo"), edArquivo->text());
    m_settings->writeBool(QStringLiteral("CONTROLE"), QStringLiteral("Append"), cbAppend->isChecked());
}

void TfmExporta::BitBtn1Click()
{
    const QString chosen = MessageService::instance().saveFileName(
        QStringLiteral("Arquivo a gerar"), edArquivo->text().isEmpty() ? Folders::documentsFolder() : edArquivo->text(),
        QStringLiteral("Arquivos Texto (*.txt);;Geral (*)"));
    if (!chosen.isEmpty())
        edArquivo->setText(TouchExport::withTextExtension(chosen));
}

void TfmExporta::Button1Click()
{
    if (edArquivo->text().isEmpty()) {
        Msg::information(QStringLiteral("Arquivo não informado !"));
        return;
    }
    Button1->setEnabled(false);
    TouchExportResult result;
    QString failure;
    {
        BusyCursor busy;
        TouchExportInputs in{edInicio->maskedText(), edFim->maskedText(), edArquivo->text(),
                             cbAppend->isChecked()};
        try {
            result = TouchExport(*TdmzDados::instance()).run(in, [this](int done, int total) {
                if (Gauge1->isHidden()) {
                    Gauge1->setMaximum(qMax(total, 1));
                    Gauge1->show();
                }
                Gauge1->setValue(done);
                if (done % 256 == 0)
                    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            });
            failure = result.error;
        } catch (const DbError &e) {
            failure = e.text();
        }
        Gauge1->hide();
    }
    Button1->setEnabled(true);
    if (failure.isEmpty())
        Msg::information(QStringLiteral("Fim de Processo !"));
    else
        Msg::error(failure);
}

void TfmExporta::Button2Click() { accept(); }
