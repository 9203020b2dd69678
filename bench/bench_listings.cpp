// The listing reports against the floor: for each report, the same run of its engine (rows
// built, names looked up, working table written and read back) and a baseline that only runs
// the report's touch query and reads every row, on the same server in the same run. Data: a
// month of 100,000 touches from 40 collectors (a download a day each), 8 routes, 100
// locations, 20 collaborators and 5 events, with some unregistered identifiers.
//
// Usage: bench_listings HOST PORT USER PASSWORD DATABASE [RUNS]
// A scratch database DATABASE_listings is created with the schema and dropped at the end.
#include "BenchSupport.h"
#include "platform/MessageService.h"
#include "reports/DownloadReports.h"
#include "reports/TouchListings.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstdio>
#include <functional>
#include <random>

namespace {

using Bench::readAll;
using Bench::seconds;
using Bench::timed;

constexpr int kTouches = 100000;
constexpr int kCollectors = 40;
constexpr int kRoutes = 8;
constexpr int kLocations = 100;
constexpr int kCollaborators = 20;
constexpr int kEvents = 5;

QString collector(int i) { return QStringLiteral("COL%1").arg(i, 3, 10, QChar('0')); }
QString location(int i) { return QStringLiteral("L%1").arg(i, 5, 10, QChar('0')); }
QString memory(int i) { return QStringLiteral("F%1").arg(i, 5, 10, QChar('0')); }
QString event(int i) { return QStringLiteral("E%1").arg(i, 5, 10, QChar('0')); }

void populate(const QSqlDatabase &db)
{
    for (int i = 1; i <= kCollectors; ++i)
        Sql::exec(db, "insert into coletor (codigo_coletor, nome_coletor) values (:c, :n)",
                  {{":c", collector(i)}, {":n", QStringLiteral("COLETOR %1").arg(i)}});
    for (int i = 1; i <= kLocations; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'L')", {{":c", location(i)}});
        Sql::exec(db, "insert into locais (nome_local, button_local) values (:n, :c)",
                  {{":n", QStringLiteral("PONTO %1").arg(i)}, {":c", location(i)}});
    }
    for (int i = 1; i <= kCollaborators; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'F')", {{":c", memory(i)}});
        Sql::exec(db, "insert into funcs (codigo_func, nome_func, memoria) values (:f, :n, :c)",
                  {{":f", i}, {":n", QStringLiteral("VIGIA %1").arg(i)}, {":c", memory(i)}});
    }
    for (int i = 1; i <= kEvents; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'E')", {{":c", event(i)}});
        Sql::exec(db, "insert into eventos (desc_evento, button_evento) values (:n, :c)",
                  {{":n", QStringLiteral("EVENTO %1").arg(i)}, {":c", event(i)}});
    }
    for (int r = 1; r <= kRoutes; ++r)
        Sql::exec(db, "insert into roteiros (codigo_roteiro, nome_roteiro) values (:r, :n)",
                  {{":r", r}, {":n", QStringLiteral("RONDA %1").arg(r)}});

    // A month: each collector a download a day at 07:00 of the touches since the last one.
    std::mt19937 random(7);
    const QDateTime start(QDate(2024, 3, 1), QTime(7, 0));
    QStringList values;
    auto flush = [&] {
        if (!values.isEmpty())
            Sql::exec(db, "insert into desctot (coletor, data_descarga, button, data_toque, tipo_button, "
                          "codigo_roteiro, codigo_func) values " + values.join(','));
        values.clear();
    };
    const int perCollector = kTouches / kCollectors;
    for (int c = 1; c <= kCollectors; ++c) {
        const int func = 1 + c % kCollaborators;
        const int route = 1 + c % kRoutes;
        for (int t = 0; t < perCollector; ++t) {
            const QDateTime when = start.addSecs(qint64(t) * 30 * 86400 / perCollector + c);
            const QDateTime download(when.date().addDays(1), QTime(7, 0));
            const int pick = int(random() % 100);
            const QString button = pick < 80 ? location(1 + int(random() % kLocations))
                                 : pick < 90 ? memory(func)
                                 : pick < 97 ? event(1 + int(random() % kEvents))
                                             : QStringLiteral("X%1").arg(int(random() % 500), 5, 10, QChar('0'));
            values << QStringLiteral("('%1','%2','%3','%4','',%5,%6)")
                          .arg(collector(c), download.toString("yyyy-MM-dd hh:mm:ss"), button,
                               when.toString("yyyy-MM-dd hh:mm:ss"))
                          .arg(route)
                          .arg(func);
            if (values.size() >= 2000)
                flush();
        }
    }
    flush();
    // The server's statistics as a working installation has them, not as a bulk load leaves
    // them: the plan, and so the time, depends on them.
    Sql::exec(db, "analyze table desctot, coletor, funcs, locais, eventos, buttons");
}

}  // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: bench_listings HOST PORT USER PASSWORD DATABASE [RUNS]\n");
        return 2;
    }
    const int runs = args.size() > 6 ? std::max(1, args[6].toInt()) : 3;
    const Bench::Folders dir;
    ConnectionParams server{args[1], args[2].toInt(), args[3], Bench::password(args[4]), {}};
    const QString database = args[5] + "_listings";
    ConsoleMessageService console;
    MessageService::install(&console);
    int status = 0;
    {
        TdmzDados dm;
        try {
            Bench::freshDatabase(dm, server, database);
            populate(dm.db());
            const QSqlDatabase db = dm.db();
            const QString monthFrom = QStringLiteral("2024/03/01 00:00:00"), monthTo = QStringLiteral("2024/03/31 23:59:59");
            std::printf("listing reports over %d touches in a month, %d collectors; median of %d runs "
                        "(baseline: the report's touch query, every row read)\n",
                        kTouches, kCollectors, runs);
            struct Case {
                const char *name;
                std::function<int()> report;
                std::function<int()> floor;
            };
            const QString blank = DownloadReports::kBlankDate;
            auto downloads = [&](DownloadsKey key, const QString &value) {
                return [&dm, key, value, blank] {
                    return int(DownloadReports(dm).run({key, value, {}, blank, blank})->values.size());
                };
            };
            const QList<Case> cases = {
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
            };
            for (const Case &c : cases) {
                int rows = 0, touches = 0;
                const double floor = timed(runs, c.floor, touches);
                const double ours = timed(runs, c.report, rows);
                std::printf("%-38s report %.3f s (%d rows), baseline %.3f s (%d touches), ratio %.2f\n",
                            c.name, ours, rows, floor, touches, floor > 0 ? ours / floor : 0.0);
                std::fflush(stdout);
            }
            Sql::exec(db, "drop database `" + database + "`");
        } catch (const DbError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
            status = 1;
        }
        dm.disconnect();
    }
    MessageService::install(nullptr);
    return status;
}
