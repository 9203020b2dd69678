// The listing reports against the floor: for each report, the same run of its engine (rows
// built, names looked up, working table written and read back) and a baseline that only runs
// the report's touch query and reads every row, on the same server in the same run. Data: a
// month of 100,000 touches from 40 collectors (a download a day each), 8 routes, 100
// locations, 20 collaborators and 5 events, with some unregistered identifiers.
//
// Usage: bench_listings HOST PORT USER PASSWORD DATABASE [RUNS]
// A scratch database DATABASE_listings is created with the schema and dropped at the end.
#include "BenchSupport.h"
#include "MonthOfTouches.h"
#include "platform/MessageService.h"
#include "reports/DownloadReports.h"
#include "reports/TouchListings.h"

#include <cstdio>
#include <random>

namespace {

using Bench::readAll;

using namespace MonthOfTouches;

void populate(const QSqlDatabase &db)
{
    registries(db);
    MonthOfTouches::touches(db, {{80, anyLocation}, {10, ownMemory}, {7, anyEvent}});
    // The server's statistics as a working installation has them, not as a bulk load leaves
    // them: the plan, and so the time, depends on them.
    Sql::exec(db, "analyze table desctot, coletor, funcs, locais, eventos, buttons");
}

}  // namespace

int main(int argc, char *argv[])
{
    return Bench::run(argc, argv, {"bench_listings HOST PORT USER PASSWORD DATABASE [RUNS]", "listings", populate},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int runs = session.runs;
        const QSqlDatabase db = dm.db();
        const QString monthFrom = QStringLiteral("2024/03/01 00:00:00"), monthTo = QStringLiteral("2024/03/31 23:59:59");
        std::printf("listing reports over %d touches in a month, %d collectors; median of %d runs "
                    "(baseline: the report's touch query, every row read)\n",
                    kTouches, kCollectors, runs);
        const QString blank = DownloadReports::kBlankDate;
        auto downloads = [&](DownloadsKey key, const QString &value) {
            return [&dm, key, value, blank] {
                return int(DownloadReports(dm).run({key, value, {}, blank, blank})->values.size());
            };
        };
        Bench::compare(runs, {
            {"touches-by-collector (month)",
             [&] {
                 return int(TouchesByCollector(dm)
                                .run({collector(1), "C", QDateTime(QDate(2024, 3, 31), QTime(7, 0)),
                                      "01/03/2024 00:00", "31/03/2024 23:59"})
                                ->rows()
                                .size());
             },
             [&] {
                 return readAll(db, "SELECT * FROM desctot WHERE ((coletor = :c) and (data_toque between :a and :b)) ORDER BY cod",
                                {{":c", collector(1)}, {":a", monthFrom}, {":b", monthTo}});
             }},
            {"touches-by-route (all routes, month)",
             [&] { return int(TouchesByRoute(dm).run({"01/03/2024 00:00", "31/03/2024 23:59", {}, {}})->rows().size()); },
             [&] {
                 int rows = 0;
                 for (int r = 1; r <= kRoutes; ++r)
                     rows += readAll(db, "select * from desctot where ((codigo_roteiro = :r) and (data_toque between :a and :b)) ORDER BY cod",
                                     {{":r", r}, {":a", monthFrom}, {":b", monthTo}});
                 return rows;
             }},
            {"downloads-by-collector", downloads(DownloadsKey::Collector, collector(1)),
             [&] { return readAll(db, "select * from desctot where coletor = :c", {{":c", collector(1)}}); }},
            {"downloads-by-collaborator", downloads(DownloadsKey::Collaborator, "2"),
             [&] { return readAll(db, "select * from desctot where codigo_func = 2", {}); }},
            {"touches-by-event", downloads(DownloadsKey::Event, event(1)),
             [&] { return readAll(db, "select * from desctot where button = :b", {{":b", event(1)}}); }},
            {"touches-by-location", downloads(DownloadsKey::Location, location(1)),
             [&] { return readAll(db, "select * from desctot where button = :b", {{":b", location(1)}}); }},
        });
        return 0;
    });
}
