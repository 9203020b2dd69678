#include "reports/TfmRelDistancia.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"
#include "platform/CommandRow.h"
#include "platform/MaskEdit.h"
#include "platform/Progress.h"
#include "platform/RadioGroup.h"
#include "platform/SystemServices.h"
#include "reports/DistancesTravelled.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

TfmRelDistancia::TfmRelDistancia(QWidget *parent) : QDialog(parent), m_dm(*TdmzDados::instance())
{
    setWindowTitle(QString::fromUtf8("Distâncias percorridas"));
    buildWidgets();
    // The collectors as they are now, and yesterday to today.
    m_dm.qyColetores->close();
    m_dm.qyColetores->open();
    const QDate today = SystemServices::now().date();
    edIni->setDate(today.addDays(-1));
    edFim->setDate(today);
}

TfmRelDistancia::~TfmRelDistancia() { m_dm.qyColetores->close(); }

void TfmRelDistancia::buildWidgets()
{
    QStyle *st = style();
    auto *gbPeriodo = new QGroupBox(QString::fromUtf8("Período"));
    edIni = new MaskEdit(QStringLiteral("!99/99/0000;1;_"));
    edFim = new MaskEdit(QStringLiteral("!99/99/0000;1;_"));
    auto *periodo = new QHBoxLayout(gbPeriodo);
    periodo->addWidget(new QLabel(QStringLiteral("de")));
    periodo->addWidget(edIni);
    periodo->addWidget(new QLabel(QStringLiteral("a")));
    periodo->addWidget(edFim);
    periodo->addStretch();

    auto *gbColetor = new QGroupBox(QStringLiteral("Coletor"));
    DBGrid1 = new QTableView;
    auto *coletores = new DataSetModel(*m_dm.qyColetores, this);
    coletores->addColumn(QStringLiteral("nome_coletor"), QStringLiteral("Nome do coletor"), 240);
    coletores->bindView(DBGrid1);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    auto *coletorBox = new QVBoxLayout(gbColetor);
    coletorBox->addWidget(DBGrid1);

    RadioGroup1 = new RadioGroup(QString::fromUtf8("Tipo de relatório"),
                                 {QString::fromUtf8("Analítico"), QString::fromUtf8("Sintético")});
    RadioGroup1->setItemIndex(0);

    btRelatorio = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QString::fromUtf8("&Relatório"));
    btRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("R&etorna"));
    for (QPushButton *b : {btRelatorio, btRetorna})
        b->setAutoDefault(false);

    auto *buttons = commandRow({btRelatorio, btRetorna});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(gbPeriodo);
    layout->addWidget(gbColetor, 1);
    layout->addWidget(RadioGroup1);
    layout->addLayout(buttons);
    resize(460, 420);

    connect(btRelatorio, &QPushButton::clicked, this, &TfmRelDistancia::btRelatorioclick);
    connect(btRetorna, &QPushButton::clicked, this, &TfmRelDistancia::btRetornaclick);
}

void TfmRelDistancia::btRelatorioclick()
{
    DataSet &coletores = *m_dm.qyColetores;
    DistancesInputs in;
    if (coletores.isActive() && !coletores.isEmpty()) {
        in.collector = coletores.text("codigo_coletor");
        in.collectorName = coletores.text("nome_coletor");
    }
    in.firstDay = edIni->maskedText();
    in.lastDay = edFim->maskedText();
    in.form = RadioGroup1->itemIndex() == 1 ? DistanceForm::Synthetic : DistanceForm::Analytic;
    const std::optional<Listing> listing = ProgressDialog::run(
        this, windowTitle(), [&](Progress progress) { return DistancesTravelled(m_dm).run(in, progress); });
    if (listing)
        listing->preview(m_dm.installationName(), this);
}
