#include "reports/TfmPainel.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/Progress.h"
#include "platform/Report.h"
#include "platform/SystemServices.h"
#include "reports/ConsistencyOutput.h"
#include "reports/RoundTimeline.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const int kCycleRole = Qt::UserRole + 1;  // index into the board's cycles; -1 on a route line
const int kStatusColumn = 4;

}  // namespace

RoundTimelineView::RoundTimelineView(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

double RoundTimelineView::mm() const { return logicalDpiX() / 25.4; }

void RoundTimelineView::setModel(std::optional<TimelineModel> model)
{
    m_model = std::move(model);
    updateGeometry();
    setMinimumHeight(heightForWidth(width()));
    update();
}

int RoundTimelineView::heightForWidth(int width) const
{
    if (!m_model)
        return 0;
    return int(std::ceil(RoundTimeline::heightFor(*m_model, width - 4 * mm(), mm()) + 4 * mm()));
}

QSize RoundTimelineView::sizeHint() const { return QSize(640, std::max(120, heightForWidth(640))); }

void RoundTimelineView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    setMinimumHeight(heightForWidth(width()));
}

void RoundTimelineView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const double margin = 2 * mm();
    if (!m_model) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect(), Qt::AlignCenter, QString::fromUtf8("Escolha um ciclo para ver a sua linha do tempo."));
        return;
    }
    RoundTimeline::paint(p, QRectF(margin, margin, width() - 2 * margin, height() - 2 * margin), mm(), *m_model);
}

TfmPainel::TfmPainel(QWidget *parent)
    : QDialog(parent), m_dm(*TdmzDados::instance()), m_board(std::make_unique<RoundsBoard>(m_dm))
{
    setWindowTitle(QStringLiteral("Painel do dia"));
    buildWidgets();
    cbColetor->addItem(QStringLiteral("(todos)"));
    DataSet &coletores = *m_dm.qyColetores;
    coletores.close();
    coletores.open();
    for (coletores.first(); !coletores.eof(); coletores.next())
        cbColetor->addItem(coletores.text("codigo_coletor").trimmed() + QStringLiteral(" - ") +
                               coletores.text("nome_coletor").trimmed(),
                           coletores.text("codigo_coletor"));
    coletores.close();
    edDia->setDate(SystemServices::now().date());
    // Today's board as soon as the window is up, so opening it is looking at the day.
    QTimer::singleShot(0, this, &TfmPainel::btAtualizarclick);
}

TfmPainel::~TfmPainel() = default;

void TfmPainel::buildWidgets()
{
    QStyle *st = style();
    edDia = new MaskEdit(QStringLiteral("!99/99/0000;1;_"));
    edDia->setMaximumWidth(edDia->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    btAnterior = new QPushButton(st->standardIcon(QStyle::SP_ArrowLeft), QString());
    btAnterior->setToolTip(QStringLiteral("Dia anterior"));
    btProximo = new QPushButton(st->standardIcon(QStyle::SP_ArrowRight), QString());
    btProximo->setToolTip(QStringLiteral("Dia seguinte"));
    cbColetor = new QComboBox;
    cbColetor->setMinimumContentsLength(18);
    btAtualizar = new QPushButton(st->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("&Atualizar"));
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Dia:")));
    top->addWidget(btAnterior);
    top->addWidget(edDia);
    top->addWidget(btProximo);
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("Coletor:")));
    top->addWidget(cbColetor);
    top->addWidget(btAtualizar);
    top->addStretch();

    tvCiclos = new QTreeWidget;
    tvCiclos->setHeaderLabels({QStringLiteral("Roteiro / coletor"), QStringLiteral("Ciclo"),
                               QString::fromUtf8("Início"), QStringLiteral("Fim"),
                               QString::fromUtf8("Situação"), QStringLiteral("Previstos"),
                               QStringLiteral("Visitados"), QString::fromUtf8("Não visitados"),
                               QStringLiteral("Fora do tempo")});
    tvCiclos->setRootIsDecorated(true);
    tvCiclos->setUniformRowHeights(true);
    tvCiclos->setAlternatingRowColors(true);
    tvCiclos->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvCiclos->header()->setStretchLastSection(false);

    Linha = new RoundTimelineView;
    auto *scroll = new QScrollArea;
    scroll->setWidget(Linha);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::StyledPanel);
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(tvCiclos);
    split->addWidget(scroll);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setChildrenCollapsible(false);

    lbSituacao = new QLabel;
    btImprimir = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("&Imprimir"));
    btRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("R&etorna"));
    for (QPushButton *b : {btAnterior, btProximo, btAtualizar, btImprimir, btRetorna})
        b->setAutoDefault(false);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lbSituacao, 1);
    bottom->addWidget(btImprimir);
    bottom->addWidget(btRetorna);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
    // As large as the screen allows, so a route of twenty stops shows whole under the board.
    QSize size(1200, 900);
    if (const QScreen *screen = parent() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        size = size.boundedTo(QSize(room.width() * 95 / 100, room.height() * 92 / 100));
    }
    resize(size);
    split->setSizes({size.height() * 2 / 5, size.height() * 3 / 5});

    connect(btAnterior, &QPushButton::clicked, this, &TfmPainel::btAnteriorclick);
    connect(btProximo, &QPushButton::clicked, this, &TfmPainel::btProximoclick);
    connect(btAtualizar, &QPushButton::clicked, this, &TfmPainel::btAtualizarclick);
    connect(btImprimir, &QPushButton::clicked, this, &TfmPainel::btImprimirclick);
    connect(btRetorna, &QPushButton::clicked, this, &TfmPainel::btRetornaclick);
    connect(tvCiclos, &QTreeWidget::currentItemChanged, this, &TfmPainel::tvCicloscurrent);
    connect(tvCiclos, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { tvCiclosdoubleclick(item); });
}

void TfmPainel::moveDay(int days)
{
    QString error;
    const auto day = RoundsBoard::readDay(edDia->maskedText(), QStringLiteral("Dia"), &error);
    if (!day) {
        Msg::error(error);
        return;
    }
    edDia->setDate(day->addDays(days));
    btAtualizarclick();
}

bool TfmPainel::btAtualizarclick()
{
    QString error;
    const auto day = RoundsBoard::readDay(edDia->maskedText(), QStringLiteral("Dia"), &error);
    if (!day) {
        Msg::error(error);
        return false;
    }
    const QString collector = cbColetor->currentData().toString();
    auto board = std::make_unique<RoundsBoard>(m_dm);
    const bool built = ProgressDialog::run(this, windowTitle(),
                                           [&](Progress progress) { return board->build(*day, collector, progress); });
    if (built)
        m_board = std::move(board);
    fillTree();
    return true;
}

void TfmPainel::fillTree()
{
    tvCiclos->clear();
    Linha->setModel(std::nullopt);
    const std::vector<BoardCycle> &cycles = m_board->cycles();
    if (m_board->collectors().isEmpty())
        lbSituacao->setText(m_board->noTouchesText());
    else
        lbSituacao->setText(QString::fromUtf8("%1 ciclos de %2 coletores em %3.")
                                .arg(cycles.size())
                                .arg(m_board->collectors().size())
                                .arg(m_board->day().toString(QStringLiteral("dd/MM/yyyy"))));
    size_t next = 0;
    for (const RouteSummary &route : m_board->summaries()) {
        auto *group = new QTreeWidgetItem(tvCiclos);
        // The route's name and counts run across the columns of its cycles.
        group->setText(0, (route.routeName.isEmpty() ? QStringLiteral("(sem roteiro)") : route.routeName) +
                              QStringLiteral(" - ") + route.text());
        group->setFirstColumnSpanned(true);
        QFont bold = group->font(0);
        bold.setBold(true);
        group->setFont(0, bold);
        group->setData(0, kCycleRole, -1);
        for (; next < cycles.size() && cycles[next].routeName() == route.routeName; ++next) {
            const BoardCycle &cycle = cycles[next];
            auto *item = new QTreeWidgetItem(group);
            const QStringList f = cycle.fields();
            item->setText(0, QStringLiteral("coletor ") + cycle.collector);
            item->setText(1, f[2]);
            item->setText(2, f[3]);
            item->setText(3, f[4]);
            for (int c = 4; c < 9; ++c)
                item->setText(c, f[c + 1]);
            for (int c : {1, 5, 6, 7, 8})
                item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
            item->setBackground(kStatusColumn, RoundTimeline::statusColour(cycle.status, true));
            item->setForeground(kStatusColumn, Qt::black);
            item->setData(0, kCycleRole, int(next));
            item->setToolTip(kStatusColumn, QString::fromUtf8("Duplo clique: relatório de consistência do dia"));
        }
        group->setExpanded(true);
    }
    // Columns as wide as their cycles' values; the spanned route lines do not count.
    const QFontMetrics metrics(tvCiclos->font());
    int first = metrics.horizontalAdvance(tvCiclos->headerItem()->text(0));
    for (int r = 0; r < tvCiclos->topLevelItemCount(); ++r)
        for (int k = 0; k < tvCiclos->topLevelItem(r)->childCount(); ++k)
            first = std::max(first, metrics.horizontalAdvance(tvCiclos->topLevelItem(r)->child(k)->text(0)));
    tvCiclos->setColumnWidth(0, first + tvCiclos->indentation() + 24);
    for (int c = 1; c < tvCiclos->columnCount(); ++c)
        tvCiclos->resizeColumnToContents(c);
    if (tvCiclos->topLevelItemCount() > 0 && tvCiclos->topLevelItem(0)->childCount() > 0)
        tvCiclos->setCurrentItem(tvCiclos->topLevelItem(0)->child(0));
}

const BoardCycle *TfmPainel::cycleOf(QTreeWidgetItem *item) const
{
    if (!item)
        return nullptr;
    const int index = item->data(0, kCycleRole).toInt();
    if (index < 0 || index >= int(m_board->cycles().size()))
        return nullptr;
    return &m_board->cycles()[size_t(index)];
}

void TfmPainel::tvCicloscurrent()
{
    const BoardCycle *cycle = cycleOf(tvCiclos->currentItem());
    Linha->setModel(cycle ? std::optional<TimelineModel>(timelineOf(*cycle)) : std::nullopt);
}

void TfmPainel::tvCiclosdoubleclick(QTreeWidgetItem *item)
{
    const BoardCycle *cycle = cycleOf(item);
    if (!cycle)
        return;
    // The consistency report of that collector's day, every row shown, so the cycle reads in
    // full under its header.
    ConsistencyInputs in;
    in.collector = cycle->collector;
    in.collectorNamed = true;
    in.periodGiven = true;
    const QString day = m_board->day().toString(QStringLiteral("dd/MM/yyyy"));
    in.periodStart = day + QStringLiteral(" 00:00:00");
    in.periodEnd = day + QStringLiteral(" 23:59:59");
    ConsistencyOutputOptions options;
    options.synthetic = false;
    const ConsistencyResult result = ConsistencyAnalysis(m_dm).run(in);
    if (!result.produced())
        return;
    ConsistencyOutput(m_dm, in, options, result).present(this);
}

void TfmPainel::btImprimirclick()
{
    if (m_board->cycles().empty()) {
        Msg::information(m_board->collectors().isEmpty() ? m_board->noTouchesText()
                                                         : QStringLiteral("Nenhum ciclo no dia."));
        return;
    }
    ReportRenderer(m_board->report(m_dm.installationName()), m_board->reportRows()).preview(this);
}
