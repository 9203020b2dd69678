// The Q90 serial download at the line's pace: the simulator writes every byte at the time a
// 1200 baud line would deliver it (10 bits a byte), and the download reads a full memory. The
// baseline is the time the bytes exchanged need at the line rate; the ratio between it and
// the measured time is the download's efficiency (1.0: the line never waits for the program).
//   bench_q90 [RECORDS (2000)] [BAUD (1200)]
#include "collection/terminals/Q90Download.h"
#include "collection/terminals/Q90Simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int records = args.size() > 1 ? args[1].toInt() : 2000;
    const int baud = args.size() > 2 ? args[2].toInt() : 1200;
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());

    // A memory as full as the terminal holds: the touches and their hour markers.
    QList<TerminalSimulator::Touch> touches;
    const QDateTime start(QDate(2026, 12, 1), QTime(0, 0));
    for (int i = 0; i < records; ++i)
        touches.append({QStringLiteral("%1").arg(0x100000 + i * 7, 6, 16).toUpper(),
                        start.addSecs(60 * i)});
    Q90Simulator sim;
    sim.load(touches, records > 2000 ? 4000 : 2000, 0x0020);
    sim.setPacing(baud);
    if (!sim.start()) {
        std::fprintf(stderr, "pseudoterminal: %s\n", qPrintable(sim.error()));
        return 1;
    }

    Q90Download download({sim.slavePath(), baud});
    QEventLoop loop;
    QObject::connect(&download, &Q90Download::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    download.start();
    loop.exec();
    const double measured = clock.nsecsElapsed() / 1e9;
    const auto c = sim.counters();
    sim.stop();
    if (download.outcome() != Q90Download::Outcome::Succeeded || download.accepted() != sim.records()) {
        std::fprintf(stderr, "a descarga não terminou: %d de %d registros\n", download.accepted(),
                     sim.records());
        return 1;
    }
    // The echo carries the requests' own bytes back while they are sent, so the line is busy
    // for the echo and the replies.
    const double line = double(c.bytesOut) * 10.0 / baud;
    std::printf("bench_q90: %d registros, %d blocos, %lld bytes na linha a %d baud\n",
                download.accepted(), download.blocksRead(), c.bytesOut, baud);
    std::printf("  linha (base):  %8.2f s\n", line);
    std::printf("  descarga:      %8.2f s\n", measured);
    std::printf("  eficiência:    %8.3f (base / medido)\n", line / measured);
    return 0;
}
