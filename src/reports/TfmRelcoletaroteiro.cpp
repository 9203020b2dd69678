#include "reports/TfmRelcoletaroteiro.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"
#include "platform/BusyCursor.h"
#include "platform/CommandRow.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/Progress.h"
#include "platform/SystemServices.h"
#include "registries/SearchList.h"
#include "reports/RouteTimes.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kRoutesSql = QStringLiteral("select codigo_roteiro, nome_roteiro, button_referencia from roteiros");
const QString kRoutesOrder = QStringLiteral("order by nome_roteiro");

void setUpGrid(QTableView *grid)
{
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
}

}  // namespace

TfmRelcoletaroteiro::TfmRelcoletaroteiro(QWidget *parent)
    : QDialog(parent), m_dm(*TdmzDados::instance())
{
    setWindowTitle(QStringLiteral("Roteiros por coletor"));
    qyListaRoteiro = new DataSet(m_dm.db(), this);
    buildWidgets();
    m_dm.qyColetores->close();
    m_dm.qyColetores->open();
    const QDate today = SystemServices::now().date();
    edInicio->setDate(today);
    edFim->setDate(today);
    Edit1Change();
}

TfmRelcoletaroteiro::~TfmRelcoletaroteiro()
{
    m_dm.qyColetores->close();
    qyListaRoteiro->close();
}

void TfmRelcoletaroteiro::buildWidgets()
{
    QStyle *st = style();

    dbgColetores = new QTableView;
    auto *coletores = new DataSetModel(*m_dm.qyColetores, this);
    coletores->addColumn(QStringLiteral("codigo_coletor"), QString::fromUtf8("Código"), 90);
    coletores->addColumn(QStringLiteral("nome_coletor"), QStringLiteral("Nome do coletor"), 220);
    coletores->bindView(dbgColetores);
    setUpGrid(dbgColetores);
    dbgColetores->setToolTip(QStringLiteral("Selecione o coletor desejado"));
    auto *lbColetores = new QLabel(QStringLiteral("Coletores"));
    lbColetores->setBuddy(dbgColetores);

    Edit1 = new QLineEdit;
    auto *lbRoteiro = new QLabel(QStringLiteral("Roteiro:"));
    lbRoteiro->setBuddy(Edit1);
    DBGrid1 = new QTableView;
    auto *roteiros = new DataSetModel(*qyListaRoteiro, this);
    roteiros->addColumn(QStringLiteral("nome_roteiro"), QStringLiteral("Nome do roteiro"), 280);
    roteiros->bindView(DBGrid1);
    setUpGrid(DBGrid1);

    auto *gbPeriodo = new QGroupBox(QString::fromUtf8("Período"));
    edInicio = new MaskEdit(QStringLiteral("99/99/9999;1;_"));
    edFim = new MaskEdit(QStringLiteral("99/99/9999;1;_"));
    auto *lbInicio = new QLabel(QString::fromUtf8("Início"));
    lbInicio->setBuddy(edInicio);
    auto *lbFim = new QLabel(QStringLiteral("Fim"));
    lbFim->setBuddy(edFim);
    auto *periodo = new QGridLayout(gbPeriodo);
    periodo->addWidget(lbInicio, 0, 0);
    periodo->addWidget(edInicio, 0, 1);
    periodo->addWidget(lbFim, 1, 0);
    periodo->addWidget(edFim, 1, 1);
    periodo->setColumnStretch(2, 1);

    btRelatorio = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QString::fromUtf8("&Relatório"));
    btRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("R&etorna"));
    for (QPushButton *b : {btRelatorio, btRetorna})
        b->setAutoDefault(false);

    auto *left = new QVBoxLayout;
    left->addWidget(lbColetores);
    left->addWidget(dbgColetores, 1);
    auto *filter = new QHBoxLayout;
    filter->addWidget(lbRoteiro);
    filter->addWidget(Edit1, 1);
    auto *right = new QVBoxLayout;
    right->addLayout(filter);
    right->addWidget(DBGrid1, 1);
    right->addWidget(gbPeriodo);
    auto *lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(right, 1);
    auto *buttons = commandRow({btRelatorio, btRetorna});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
    resize(720, 440);

    // The order the report is filled in: who, which route, which days.
    setTabOrder(dbgColetores, Edit1);
    setTabOrder(Edit1, DBGrid1);
    setTabOrder(DBGrid1, edInicio);
    setTabOrder(edInicio, edFim);
    setTabOrder(edFim, btRelatorio);
    setTabOrder(btRelatorio, btRetorna);

    connect(Edit1, &QLineEdit::textChanged, this, &TfmRelcoletaroteiro::Edit1Change);
    connect(btRelatorio, &QPushButton::clicked, this, &TfmRelcoletaroteiro::btRelatorioclick);
    connect(btRetorna, &QPushButton::clicked, this, &TfmRelcoletaroteiro::btRetornaclick);
}

void TfmRelcoletaroteiro::Edit1Change()
{
    // The filter is a parameter with its wildcards taken literally: a "%" or "_" typed is just
    // part of the name looked for.
    const QString text = Edit1->text();
    QString sql = kRoutesSql + u'\n';
    if (!text.isEmpty())
        sql += QStringLiteral("where nome_roteiro like :pfiltro escape '!'\n");
    sql += kRoutesOrder;
    try {
        qyListaRoteiro->close();
        qyListaRoteiro->clearParams();
        qyListaRoteiro->setSql(sql);
        if (!text.isEmpty())
            qyListaRoteiro->setParam(QStringLiteral("pfiltro"), u'%' + TfmListaBase::startsWithPattern(text));
        qyListaRoteiro->open();
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
}

void TfmRelcoletaroteiro::btRelatorioclick()
{
    // Disabled while the sheet is written, enabled again however it ends.
    btRelatorio->setEnabled(false);
    struct Reenable {
        QPushButton *button;
        ~Reenable() { button->setEnabled(true); }
    } reenable{btRelatorio};

    RouteTimesInputs in;
    const DataSet &coletores = *m_dm.qyColetores;
    if (coletores.isActive() && !coletores.isEmpty()) {
        in.collector = coletores.text(QStringLiteral("codigo_coletor"));
        in.collectorName = coletores.text(QStringLiteral("nome_coletor"));
    }
    if (qyListaRoteiro->isActive() && !qyListaRoteiro->isEmpty()) {
        in.route = qyListaRoteiro->asInt(QStringLiteral("codigo_roteiro"));
        in.reference = qyListaRoteiro->text(QStringLiteral("button_referencia"));
    }
    in.firstDay = edInicio->maskedText();
    in.lastDay = edFim->maskedText();
    const BusyCursor busy;
    ProgressDialog::run(this, windowTitle(), [&](Progress progress) { return RouteTimes(m_dm).run(in, nullptr, progress); });
}
