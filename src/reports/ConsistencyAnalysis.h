#pragma once

#include "platform/LocalTable.h"
#include "platform/Progress.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class TdmzDados;

// What the consistency window gathers for one run.
struct ConsistencyInputs {
    QString collector;           // the collector whose touches are analysed
    bool collectorNamed = true;  // false: a period covers every collector
    bool periodGiven = false;
    QString periodStart;         // "dd/mm/yyyy hh:nn"
    QString periodEnd;
    QString download;            // the chosen download's date-time text, used without a period
    QString company;             // empty: no filter
    QString routeName;           // empty: no filter
    bool betweenCycles = false;
    QString betweenMin;          // whole minutes; empty or unreadable counts as 0
    QString betweenMax;
};

// What the output step receives besides the two working tables.
struct ConsistencyResult {
    enum class Outcome {
        Produced,      // the working tables hold the run
        NoDownload,    // "Não há data de descarga"
        NoTouches,     // "Nenhuma informação encontrada para o relatório!"
        InvalidPeriod,  // a period or download text that is not a date and time
        Cancelled       // the user stopped it; both working tables are left empty
    };
    Outcome outcome = Outcome::NoTouches;
    bool inconsistent = false;
    int sumOfQuantities = 0;
    QString firstCollaborator;  // collaborator recorded on the first touch, at most 40 characters
    int touches = 0;            // touches selected
    int rows = 0;               // rows appended to the working table
    bool functionTotals = false;  // the function-totals table has one row per job function

    bool produced() const { return outcome == Outcome::Produced; }
};

// One touch of a cycle as the analysis judged it.
struct AnalysedTouch {
    enum class Kind {
        Reference,      // the route's reference event that opens the cycle
        Stop,           // a location of the cycle's route
        NotProgrammed,  // a location outside the route
        Event,          // any other event
        Collaborator,
        Other           // job functions, quantities, identifiers not registered or not associated
    };
    Kind kind = Kind::Other;
    QDateTime at;
    QString label;          // the location, event or collaborator name; the code otherwise
    int stop = -1;          // Kind::Stop: the route's stop (index into AnalysedCycle::stops)
    bool inversion = false; // marked "Inversão"
    QString interval;       // "Adiantado 1,50" / "Atrasado 2,00" as the report writes it
};

// One cycle with the marks the analysis wrote for it, for a reader that needs the cycles
// themselves rather than the report's rows (the day's board). Cycle 0 holds the touches
// before the first reference touch.
struct AnalysedCycle {
    int number = 0;
    QString routeCode;
    QString routeName;
    QStringList stops;            // the route's stops in their order
    std::vector<AnalysedTouch> touches;  // in the order they were stored
    std::vector<int> notVisited;  // stops found missing while this cycle ran (by index)
    // The names "- Não Visitados" lists at the cycle's end: the day's first cycle also lists
    // those missed by the touches before its reference touch, as the report does.
    QStringList notVisitedNames;
    std::vector<int> outOfOrder;  // stops touched later in the cycle and marked "Inversão"
    bool inversion = false;       // "- Ocorreu Inversão"
    QString duration;             // the duration's line when outside its limits
};

// The consistency analysis: splits a collector's touches into cycles at the reference touches
// of the routes, compares each cycle's location touches with its route's ordered stops and
// judges the times, writing one row per touch and per verdict to the working table `temp`
// (Contador, Col1..Col7) and the job-function quantities to `temptot`, both in the data
// module's temp folder. Messages go through Msg; a database failure throws DbError and a
// working table that cannot be written throws DbError with the local table's reason.
//
// Registry answers are remembered for the length of one run (the registries do not change
// while it runs); each question still goes to the server the first time with the statement
// the system defines for it.
class ConsistencyAnalysis {
public:
    static inline const QString kWorkingTable = QStringLiteral("temp");
    static inline const QString kTotalsTable = QStringLiteral("temptot");
    static QList<LocalField> workingFields();
    static QList<LocalField> totalsFields();

    explicit ConsistencyAnalysis(TdmzDados &dm);

    // `progress` hears how far the analysis is and may stop it (Outcome::Cancelled).
    ConsistencyResult run(const ConsistencyInputs &inputs, Progress progress = {});

    // Whether the next runs also keep their cycles for cycles(); off by default, as the report
    // only needs its rows.
    void setKeepCycles(bool keep) { m_keepCycles = keep; }
    // The cycles of the last run, by number (cycle 0 first when there were touches before the
    // first reference touch).
    const std::vector<AnalysedCycle> &cycles() const { return m_cycles; }

    // Statements sent to the server by the last run.
    int statementsRun() const { return m_statementsRun; }

private:
    class Run;
    TdmzDados &m_dm;
    int m_statementsRun = 0;
    bool m_keepCycles = false;
    std::vector<AnalysedCycle> m_cycles;
};

// A duration in days as "hhh:mm h": hours with at least three digits, the minutes of the
// fraction rounded half to even (60 carries into the hours). 0.0625 -> "001:30 h".
QString FormatDuration(double days);
// A span of whole seconds in the same form: 5400 -> "001:30 h", -5400 -> "-001:30 h".
QString FormatDurationSeconds(qint64 seconds);
