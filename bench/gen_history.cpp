// Fills a database with the history of HistoryGenerator.h: the registries and about TOUCHES
// touches ending on 30/11/2026, written as multi-row inserts with the tv_ indexes off, which
// are then built once over the whole table (far faster than keeping them up to date row by
// row), and the statistics refreshed. The database is dropped and created again first.
//
// Usage: gen_history HOST PORT USER PASSWORD|- DATABASE TOUCHES [--without-indexes]
//   --without-indexes  leave the tv_ indexes off (bench_scale adds them when asked)
#include "BenchSupport.h"
#include "HistoryGenerator.h"
#include "platform/MessageService.h"

#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    std::unique_ptr<QGuiApplication> app;
    QStringList args = Bench::application(argc, argv, app);
    const bool withoutIndexes = args.removeAll(QStringLiteral("--without-indexes")) > 0;
    if (args.size() != 7) {
        std::fprintf(stderr, "usage: gen_history HOST PORT USER PASSWORD|- DATABASE TOUCHES [--without-indexes]\n");
        return 2;
    }
    const qint64 wanted = args[6].toLongLong();
    if (wanted <= 0) {
        std::fprintf(stderr, "TOUCHES must be a positive number\n");
        return 2;
    }
    const Bench::Folders dir;
    return Bench::withDataModule(Bench::server(args), args[5], Bench::Database::Kept, [&](TdmzDados &dm) {
        const QSqlDatabase db = dm.db();
        const int days = History::daysFor(wanted);
        const QDate first = History::kLastDay.addDays(1 - days);
        std::printf("history of %d collectors, %d days (%s to %s), about %lld touches\n", History::kCollectors,
                    days, qPrintable(first.toString("dd/MM/yyyy")),
                    qPrintable(History::kLastDay.toString("dd/MM/yyyy")),
                    qlonglong(days) * History::kCollectors * History::kTouchesPerDay);
        // Created with the schema; off while the rows go in.
        History::dropIndexes(db);
        History::writeRegistries(db, first);

        QElapsedTimer timer;
        timer.start();
        qint64 lastShown = 0;
        const qint64 rows = History::writeTouches(db, days, [&](qint64 done) {
            if (done - lastShown >= 1000000) {
                std::printf("  %10lld touches, %.0f touches/s\n", qlonglong(done), done / (timer.nsecsElapsed() / 1e9));
                std::fflush(stdout);
                lastShown = done;
            }
        });
        const double load = timer.nsecsElapsed() / 1e9;
        std::printf("touches stored: %lld in %.1f s, %.0f touches/s\n", qlonglong(rows), load, rows / load);
        std::fflush(stdout);

        if (!withoutIndexes) {
            timer.restart();
            DatabaseSetup::addIndexes(db, [](int done, int total, const QString &) {
                if (done < total) {
                    std::printf("  index %d of %d\n", done + 1, total);
                    std::fflush(stdout);
                }
            });
            std::printf("tv_ indexes built in %.1f s\n", timer.nsecsElapsed() / 1e9);
        }
        timer.restart();
        History::exec(db, "analyze table desctot, buttons, coletor, descrot, distancia, eventos, funcao, funcs, "
                          "locais, precokm, roteiros");
        std::printf("statistics refreshed in %.1f s; tv_ indexes %s\n", timer.nsecsElapsed() / 1e9,
                    withoutIndexes ? "off" : "on");
        return 0;
    });
}
