#include "reports/TfmRelRealizadoRot.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/CommandRow.h"
#include "platform/MaskEdit.h"
#include "platform/Progress.h"
#include "platform/MessageService.h"
#include "registries/RegistryLists.h"
#include "reports/TouchListings.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TfmRelRealizadoRot::TfmRelRealizadoRot(QWidget *parent) : QDialog(parent), m_dm(*TdmzDados::instance())
{
    setWindowTitle(QString::fromUtf8("Relatório de Descarga"));
    QStyle *st = style();
    auto *gbPeriodo = new QGroupBox(QString::fromUtf8("Período"));
    edInicio = new MaskEdit(QStringLiteral("99/99/9999 99:99;1;_"));
    edFim = new MaskEdit(QStringLiteral("99/99/9999 99:99;1;_"));
    auto *periodo = new QGridLayout(gbPeriodo);
    periodo->addWidget(new QLabel(QString::fromUtf8("Início:")), 0, 0);
    periodo->addWidget(edInicio, 0, 1);
    periodo->addWidget(new QLabel(QStringLiteral("Fim")), 1, 0);
    periodo->addWidget(edFim, 1, 1);

    auto *gbRoteiro = new QGroupBox(QStringLiteral("Roteiro"));
    edRoteiro = new QLineEdit;
    edRoteiro->setReadOnly(true);
    Button3 = new QPushButton(QStringLiteral("..."));
    Button4 = new QPushButton(QStringLiteral("&Todos"));
    auto *roteiro = new QHBoxLayout(gbRoteiro);
    roteiro->addWidget(edRoteiro, 1);
    roteiro->addWidget(Button3);
    roteiro->addWidget(Button4);

    buImpressora = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QString::fromUtf8("R&elatório"));
    buRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Retorna"));
    for (QPushButton *b : {Button3, Button4, buImpressora, buRetorna})
        b->setAutoDefault(false);
    auto *buttons = commandRow({buImpressora, buRetorna});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(gbPeriodo);
    layout->addWidget(gbRoteiro);
    layout->addLayout(buttons);

    connect(Button3, &QPushButton::clicked, this, &TfmRelRealizadoRot::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TfmRelRealizadoRot::Button4Click);
    connect(buImpressora, &QPushButton::clicked, this, &TfmRelRealizadoRot::buImpressoraClick);
    connect(buRetorna, &QPushButton::clicked, this, &TfmRelRealizadoRot::buRetornaClick);

    // FormCreate: today, from its first minute to its last.
    MaskEdit::setToday(edInicio, edFim);
}

void TfmRelRealizadoRot::Button3Click()
{
    TfmListaRoteiros list(this);
    if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
        return;
    edRoteiro->setText(list.chosen("nome_roteiro").toString());
    m_codigoRoteiro = list.chosen("codigo_roteiro").toString();
}

void TfmRelRealizadoRot::Button4Click()
{
    edRoteiro->clear();
    m_codigoRoteiro.clear();
}

void TfmRelRealizadoRot::buImpressoraClick()
{
    TouchesByRouteInputs in;
    in.periodStart = edInicio->maskedText();
    in.periodEnd = edFim->maskedText();
    in.route = m_codigoRoteiro;
    in.routeName = edRoteiro->text();
    const std::optional<Listing> listing = ProgressDialog::run(
        this, windowTitle(), [&](Progress progress) { return TouchesByRoute(m_dm).run(in, progress); });
    if (!listing)
        return;
    listing->present(m_dm.excel, m_dm.installationName(), this);
}
