#include "reports/RoundsBoard.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/MessageService.h"
#include "platform/Report.h"
#include "reports/RoundTimeline.h"

#include <QPainter>
#include <algorithm>

QString statusText(CycleStatus status)
{
    switch (status) {
    case CycleStatus::Incomplete:
        return QStringLiteral("Incompleta");
    case CycleStatus::OutOfOrder:
        return QStringLiteral("Fora de ordem");
    case CycleStatus::OutOfTime:
        return QStringLiteral("Fora do tempo");
    case CycleStatus::Correct:
        break;
    }
    return QStringLiteral("Correta");
}

namespace {

QString boardTime(const QDateTime &at) { return DateTimeText::withSeconds(at); }

// What the board reads from the analysis' marks of one cycle.
BoardCycle boardCycle(const QString &collector, AnalysedCycle marks)
{
    BoardCycle cycle;
    cycle.collector = collector;
    cycle.start = marks.touches.front().at;
    cycle.end = marks.touches.back().at;
    cycle.expected = int(marks.stops.size());
    cycle.notVisited = int(marks.notVisitedNames.size());
    cycle.visited = std::max(0, cycle.expected - cycle.notVisited);
    bool inversion = marks.inversion || !marks.outOfOrder.empty();
    for (const AnalysedTouch &touch : marks.touches) {
        inversion = inversion || touch.inversion;
        if (!touch.interval.isEmpty())
            ++cycle.outOfTime;
    }
    if (cycle.notVisited > 0)
        cycle.status = CycleStatus::Incomplete;
    else if (inversion)
        cycle.status = CycleStatus::OutOfOrder;
    else if (cycle.outOfTime > 0 || !marks.duration.isEmpty())
        cycle.status = CycleStatus::OutOfTime;
    cycle.marks = std::move(marks);
    return cycle;
}

QString plural(int n, const char *one, const char *many)
{
    return QString::number(n) + u' ' + QString::fromUtf8(n == 1 ? one : many);
}

}  // namespace

QStringList BoardCycle::fields() const
{
    return {routeName(),           collector,
            QString::number(number()), boardTime(start),
            boardTime(end),        statusText(status),
            QString::number(expected), QString::number(visited),
            QString::number(notVisited), QString::number(outOfTime)};
}

QString RouteSummary::text() const
{
    return plural(cycles, "ciclo", "ciclos") + QStringLiteral(": ") +
           plural(correct, "correto", "corretos") + QStringLiteral(", ") +
           plural(incomplete, "incompleto", "incompletos") + QStringLiteral(", ") +
           QString::number(outOfOrder) + QStringLiteral(" fora de ordem, ") +
           QString::number(outOfTime) + QStringLiteral(" fora do tempo");
}

TimelineModel timelineOf(const BoardCycle &cycle)
{
    using Mark = TimelineModel::Mark;
    const AnalysedCycle &marks = cycle.marks;
    TimelineModel model;
    model.title = QStringLiteral("%1 - coletor %2 - ciclo %3 - %4 a %5 - %6")
                      .arg(cycle.routeName(), cycle.collector)
                      .arg(cycle.number())
                      .arg(cycle.start.toString(QStringLiteral("hh:mm:ss")),
                           cycle.end.toString(QStringLiteral("hh:mm:ss")), statusText(cycle.status));
    model.status = cycle.status;
    model.rows << marks.touches.front().label;
    model.rows << marks.stops;
    model.from = cycle.start;
    model.to = cycle.end;
    model.duration = marks.duration;

    std::vector<bool> outOfOrder(size_t(marks.stops.size()), false);
    for (int stop : marks.outOfOrder)
        outOfOrder[size_t(stop)] = true;
    for (const AnalysedTouch &touch : marks.touches) {
        Mark mark;
        mark.at = touch.at;
        mark.delay = touch.interval;
        switch (touch.kind) {
        case AnalysedTouch::Kind::Reference:
            mark.row = 0;
            break;
        case AnalysedTouch::Kind::Stop:
            if (touch.stop < 0) {
                mark.shape = Mark::Shape::Outside;
                mark.row = -1;
                break;
            }
            mark.row = touch.stop + 1;
            if (touch.inversion || outOfOrder[size_t(touch.stop)])
                mark.shape = Mark::Shape::Inversion;
            break;
        default:
            mark.shape = Mark::Shape::Outside;
            mark.row = -1;
            break;
        }
        model.marks.push_back(std::move(mark));
    }
    // A stop not visited is drawn where it was due: at the last touch of a stop before it. A
    // name listed from before the reference touch is drawn at its stop of this route.
    std::vector<int> missed = marks.notVisited;
    for (const QString &name : marks.notVisitedNames) {
        const int stop = int(marks.stops.indexOf(name));
        const bool drawn = std::any_of(missed.begin(), missed.end(),
                                       [&](int s) { return marks.stops.value(s) == name; });
        if (stop >= 0 && !drawn)
            missed.push_back(stop);
    }
    for (int stop : missed) {
        QDateTime due = cycle.start;
        for (const AnalysedTouch &touch : marks.touches)
            if (touch.kind == AnalysedTouch::Kind::Stop && touch.stop >= 0 && touch.stop < stop)
                due = touch.at;
        model.missed.emplace_back(stop + 1, due);
    }
    return model;
}

RoundsBoard::RoundsBoard(TdmzDados &dm) : m_dm(dm) {}

std::optional<QDate> RoundsBoard::readDay(const QString &text, const QString &field, QString *error)
{
    std::optional<QDate> day;
    if (text.size() == 10)
        day = DateTimeText::wholeDate(text);
    if (!day && error)
        *error = QStringLiteral("%1: '%2' não é uma data válida (dd/mm/aaaa)").arg(field, text);
    return day;
}

bool RoundsBoard::build(const QDate &day, const QString &collector, Progress progress)
{
    m_day = day;
    m_collector = collector;
    m_cycles.clear();
    m_collectors.clear();
    m_statements = 0;
    const QString start = day.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 00:00:00");
    const QString end = day.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 23:59:59");
    const QString from = day.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" 00:00:00");
    const QString to = day.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" 23:59:59");

    // Who touched anything that day, from the index on the touch's moment (the one collector
    // asked for through the index on collector and moment).
    QSqlQuery who = collector.isEmpty()
        ? Sql::exec(m_dm.db(),
                    QStringLiteral("select distinct coletor from desctot where data_toque between "
                                   ":ini and :fim order by coletor"),
                    {{":ini", from}, {":fim", to}})
        : Sql::exec(m_dm.db(),
                    QStringLiteral("select coletor from desctot where coletor = :coletor and "
                                   "data_toque between :ini and :fim limit 1"),
                    {{":coletor", collector}, {":ini", from}, {":fim", to}});
    ++m_statements;
    while (who.next())
        m_collectors << who.value(0).toString();

    if (!progress.begin(QStringLiteral("Analisando o dia..."), m_collectors.size()))
        return false;
    ConsistencyAnalysis analysis(m_dm);
    analysis.setKeepCycles(true);
    for (int i = 0; i < m_collectors.size(); ++i) {
        if (!progress.advance(i))
            return false;
        ConsistencyInputs inputs;
        inputs.collector = m_collectors[i];
        inputs.collectorNamed = true;
        inputs.periodGiven = true;
        inputs.periodStart = start;
        inputs.periodEnd = end;
        const ConsistencyResult result = analysis.run(inputs);
        m_statements += analysis.statementsRun();
        if (!result.produced())
            continue;
        for (const AnalysedCycle &marks : analysis.cycles())
            if (marks.number > 0 && !marks.touches.empty())
                m_cycles.push_back(boardCycle(m_collectors[i], marks));
    }
    std::stable_sort(m_cycles.begin(), m_cycles.end(), [](const BoardCycle &a, const BoardCycle &b) {
        if (const int c = QString::compare(a.routeName(), b.routeName()); c != 0)
            return c < 0;
        if (const int c = QString::compare(a.collector, b.collector); c != 0)
            return c < 0;
        return a.number() < b.number();
    });
    return progress.advance(m_collectors.size());
}

std::vector<RouteSummary> RoundsBoard::summaries() const
{
    std::vector<RouteSummary> routes;
    for (const BoardCycle &cycle : m_cycles) {
        if (routes.empty() || routes.back().routeName != cycle.routeName())
            routes.push_back({cycle.routeName()});
        RouteSummary &route = routes.back();
        ++route.cycles;
        switch (cycle.status) {
        case CycleStatus::Correct:
            ++route.correct;
            break;
        case CycleStatus::Incomplete:
            ++route.incomplete;
            break;
        case CycleStatus::OutOfOrder:
            ++route.outOfOrder;
            break;
        case CycleStatus::OutOfTime:
            ++route.outOfTime;
            break;
        }
    }
    return routes;
}

QString RoundsBoard::noTouchesText() const
{
    QString text = QStringLiteral("Nenhum toque em ") + m_day.toString(QStringLiteral("dd/MM/yyyy"));
    if (!m_collector.isEmpty())
        text += QStringLiteral(" do coletor ") + m_collector;
    return text + u'.';
}

QList<QStringList> RoundsBoard::reportRows() const
{
    QList<QStringList> rows;
    for (const BoardCycle &cycle : m_cycles) {
        QStringList fields = cycle.fields();
        fields.removeFirst();  // the route heads its group
        rows << fields;
    }
    return rows;
}

ReportDefinition RoundsBoard::report(const QString &installation) const
{
    ReportDefinition def;
    def.title = QStringLiteral("Painel do dia ") + m_day.toString(QStringLiteral("dd/MM/yyyy"));
    def.installation = installation;
    if (!m_collector.isEmpty())
        def.headerLines << QStringLiteral("Coletor: ") + m_collector;
    const QString when = QStringLiteral("00/00/0000 00:00:00");
    def.columns = {
        {.heading = QStringLiteral("Coletor"), .width = 1},
        {.heading = QStringLiteral("Ciclo"), .alignment = Qt::AlignRight, .keepWhole = true},
        {.heading = QStringLiteral("Início"), .widest = when, .keepWhole = true},
        {.heading = QStringLiteral("Fim"), .widest = when, .keepWhole = true},
        {.heading = QStringLiteral("Situação"), .widest = QStringLiteral("Fora de ordem"), .keepWhole = true},
        {.heading = QStringLiteral("Previstos"), .alignment = Qt::AlignRight, .keepWhole = true},
        {.heading = QStringLiteral("Visitados"), .alignment = Qt::AlignRight, .keepWhole = true},
        {.heading = QStringLiteral("Não visitados"), .alignment = Qt::AlignRight, .keepWhole = true},
        {.heading = QStringLiteral("Fora do tempo"), .alignment = Qt::AlignRight, .keepWhole = true},
    };
    def.headingsOnEveryPage = true;
    def.shadeAlternateRows = true;

    // The group of a row is its route; the header names it with its counts.
    const std::vector<RouteSummary> routes = summaries();
    std::vector<int> routeOfRow;
    for (size_t r = 0, k = 0; r < m_cycles.size(); ++r) {
        if (r > 0 && m_cycles[r].routeName() != m_cycles[r - 1].routeName())
            ++k;
        routeOfRow.push_back(int(k));
    }
    def.group.key = [routeOfRow](int row) { return QString::number(routeOfRow[size_t(row)]); };
    def.group.header = [routes, routeOfRow](int row) {
        const RouteSummary &route = routes[size_t(routeOfRow[size_t(row)])];
        return (route.routeName.isEmpty() ? QStringLiteral("(sem roteiro)") : route.routeName) +
               QStringLiteral(" - ") + route.text();
    };
    const std::vector<BoardCycle> cycles = m_cycles;
    def.cellColour = [cycles](int row, int column) {
        return column == 4 ? RoundTimeline::statusColour(cycles[size_t(row)].status, true) : QColor();
    };

    // A page (or more) per route and collector: its cycles' timelines, one under the other.
    for (size_t first = 0; first < m_cycles.size();) {
        size_t last = first;
        while (last < m_cycles.size() && m_cycles[last].routeName() == m_cycles[first].routeName() &&
               m_cycles[last].collector == m_cycles[first].collector)
            ++last;
        std::vector<TimelineModel> models;
        for (size_t c = first; c < last; ++c)
            models.push_back(timelineOf(m_cycles[c]));
        ReportDrawing drawing;
        drawing.heading = m_cycles[first].routeName() + QStringLiteral(" - coletor ") +
                          m_cycles[first].collector;
        drawing.items = int(models.size());
        drawing.draw = [models](QPainter &p, const QRectF &area, double mm, int from) {
            return RoundTimeline::paintStack(p, area, mm, models, from);
        };
        def.drawings << drawing;
        first = last;
    }
    return def;
}
