// The programmable report against the floor: a run of its engine with every kind of touch and
// the three name columns (count, touches, every registry answer, working table written and read
// back) and a baseline that only runs the report's touch query and reads every row, on the same
// server in the same run. Data: a month of 100,000 touches from 40 collectors, 8 routes, 100
// locations, 20 collaborators and 5 events, with unregistered identifiers, identifiers bound to
// nothing and identifiers of an unknown reference.
//
// Usage: bench_programmable HOST PORT USER PASSWORD DATABASE [RUNS]
// A scratch database DATABASE_programmable is created with the schema and dropped at the end.
#include "BenchSupport.h"
#include "MonthOfTouches.h"
#include "platform/MessageService.h"
#include "reports/ProgrammableReport.h"

#include <QSqlError>
#include <cstdio>
#include <random>

namespace {

using namespace MonthOfTouches;

constexpr int kUnbound = 10;
QString unbound(int i) { return QStringLiteral("N%1").arg(i, 5, 10, QChar('0')); }

void populate(const QSqlDatabase &db)
{
    registries(db);
    for (int i = 1; i <= kUnbound; ++i)
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, '')", {{":c", unbound(i)}});
    Sql::exec(db, "insert into buttons (codigo_button, referencia) values ('R00001', 'R')");
    MonthOfTouches::touches(db, {{78, anyLocation}, {10, ownMemory}, {7, anyEvent},
                                 {2, [](std::mt19937 &random, int) { return unbound(1 + int(random() % kUnbound)); }},
                                 {1, [](std::mt19937 &, int) { return QStringLiteral("R00001"); }}});
    // The server's statistics as a working installation has them, not as a bulk load leaves
    // them: the plan, and so the time, depends on them.
    Sql::exec(db, "analyze table desctot, coletor, funcs, locais, eventos, buttons, roteiros");
}

}  // namespace

int main(int argc, char *argv[])
{
    return Bench::run(argc, argv, {"bench_programmable HOST PORT USER PASSWORD DATABASE [RUNS]", "programmable", populate},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int runs = session.runs;
        const QSqlDatabase db = dm.db();
        ProgrammableInputs in;
        in.periodStart = QStringLiteral("01/03/2024 00:00");
        in.periodEnd = QStringLiteral("31/03/2024 23:59");
        in.byCollector = in.byCollaborator = in.byRoute = true;
        // The engine as the window runs it, telling a listener how far it is.
        auto report = [&] {
            const Progress listener([](const QString &, qint64, qint64) { return true; });
            return int(ProgrammableReport(dm).run(in, listener)->sheetRows().size());
        };
        auto floor = [&] {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.prepare("Select * From desctot\nWhere (data_toque between :dini and :dfim)\norder by data_toque, cod");
            q.bindValue(":dini", "2024/03/01 00:00:00");
            q.bindValue(":dfim", "2024/03/31 23:59:59");
            if (!q.exec())
                throw DbError(Sql::describe(q.lastError()));
            return Bench::readRows(q);
        };
        std::printf("programmable report over %d touches in a month, every kind and the three name columns; "
                    "median of %d runs (baseline: the report's touch query, every row read)\n",
                    kTouches, runs);
        Bench::compare(runs, {{"programmable (month, all columns)", report, floor}});
        return 0;
    });
}
