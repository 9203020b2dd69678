#pragma once

#include "platform/Progress.h"
#include "reports/ConsistencyAnalysis.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class TdmzDados;
struct ReportDefinition;

// The verdict of one cycle, the first that applies in this order.
enum class CycleStatus { Incomplete, OutOfOrder, OutOfTime, Correct };
// "Incompleta", "Fora de ordem", "Fora do tempo", "Correta".
QString statusText(CycleStatus status);

// One cycle of the day's board: the analysis' cycle and what the board reads from its marks.
struct BoardCycle {
    QString collector;
    AnalysedCycle marks;
    QDateTime start;  // the reference touch
    QDateTime end;    // the cycle's last touch
    CycleStatus status = CycleStatus::Correct;
    int expected = 0;
    int visited = 0;
    int notVisited = 0;
    int outOfTime = 0;  // intervals judged early or late

    const QString &routeName() const { return marks.routeName; }
    int number() const { return marks.number; }
    // The fields of a line of the board, as `torvelctl board --tsv` prints them.
    QStringList fields() const;
};

// The cycles of one route, counted by status.
struct RouteSummary {
    QString routeName;
    int cycles = 0;
    int correct = 0;
    int incomplete = 0;
    int outOfOrder = 0;
    int outOfTime = 0;
    // "5 ciclos: 3 corretos, 1 incompleto, 0 fora de ordem, 1 fora do tempo"
    QString text() const;
};

// What the timeline of a cycle draws: the reference and the route's stops down, time across.
struct TimelineModel {
    struct Mark {
        enum class Shape { Touch, Inversion, Outside };
        Shape shape = Shape::Touch;
        int row = 0;       // 0 the reference, 1.. the stops; -1 the band of touches outside the route
        QDateTime at;
        QString delay;     // the interval's verdict when the leg ending here is out of time
    };
    QString title;
    CycleStatus status = CycleStatus::Correct;
    QStringList rows;         // the reference's description, then the stops in order
    std::vector<Mark> marks;  // in the order the touches were stored
    std::vector<std::pair<int, QDateTime>> missed;  // stops not visited: row and where drawn
    QDateTime from;
    QDateTime to;
    QString duration;         // the duration's verdict when outside its limits
};
TimelineModel timelineOf(const BoardCycle &cycle);

// The day at a glance: every cycle of every collector of the day (or of one collector), each
// from the consistency analysis of that collector's day (00:00:00 to 23:59:59, its own
// routes' settings), in the order route name, collector, cycle number. Cycle 0 (touches
// before the day's first reference touch) opens no cycle and is not on the board.
class RoundsBoard {
public:
    explicit RoundsBoard(TdmzDados &dm);

    // A day typed as dd/mm/yyyy: nullopt after "<campo>: '<texto>' não é uma data válida
    // (dd/mm/aaaa)" in `error`.
    static std::optional<QDate> readDay(const QString &text, const QString &field, QString *error);

    // Analyses the day; false when the user stopped it. DbError on a database failure.
    bool build(const QDate &day, const QString &collector = {}, Progress progress = {});

    QDate day() const { return m_day; }
    QString collector() const { return m_collector; }
    // The collectors that touched anything on the day.
    const QStringList &collectors() const { return m_collectors; }
    const std::vector<BoardCycle> &cycles() const { return m_cycles; }
    std::vector<RouteSummary> summaries() const;
    // "Nenhum toque em dd/mm/yyyy." (" do coletor X" with one collector).
    QString noTouchesText() const;
    int statementsRun() const { return m_statements; }

    // The printed board: the cycles grouped by route, each route under its summary line, then
    // a page (or more) of timelines per route and collector.
    ReportDefinition report(const QString &installation) const;
    QList<QStringList> reportRows() const;

private:
    TdmzDados &m_dm;
    QDate m_day;
    QString m_collector;
    QStringList m_collectors;
    std::vector<BoardCycle> m_cycles;
    int m_statements = 0;
};
