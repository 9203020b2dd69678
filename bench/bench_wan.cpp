// The program over a slow link: each operation run by torvelctl through a proxy that adds a
// delay each way, with the round trips counted (a request sent after an answer came back).
// The baseline is the same operation through the same proxy without the delay; the ratio is
// what the link costs. Round trips are what a WAN multiplies; times are for the record.
//
// Usage: bench_wan TORVELCTL HOST PORT USER PASSWORD [DELAY_MS_EACH_WAY=10] [TORVEL]
// With TORVEL, the desktop program's start from launch to the login dialog, and from the login
// to the main window, is measured too.
#include "BenchSupport.h"
#include "FaultProxy.h"
#include "collection/terminals/TerminalSimulators.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

struct Measure {
    int roundTrips = 0;
    double seconds = 0;
    bool ok = false;
};

class Wan {
public:
    Wan(QString ctl, QString host, int port, QString user, QString password)
        : m_ctl(std::move(ctl)), m_host(std::move(host)), m_port(port), m_user(std::move(user)),
          m_password(std::move(password)) {}

    QString home() const { return m_dir.path() + "/home/"; }

    // Runs torvelctl with `args` through a proxy with `delay` ms each way.
    Measure run(const QStringList &args, int delay, const QString &restoreFrom = {}, const QString &restoreTo = {},
                const QString &program = {}, const char *exitAt = "TORVEL_EXIT_AT_LOGIN")
    {
        if (!restoreFrom.isEmpty()) {
            QFile::remove(restoreTo);
            QFile::copy(restoreFrom, restoreTo);
        }
        FaultProxy proxy(quint16(m_port), FaultProxy::Mode::Forward, delay);
        proxy.startListening();
        writeIni(proxy.port());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TORVEL_HOME", home());
        env.insert("TORVEL_WINDIR", m_dir.path() + "/win");
        env.insert("TORVEL_BACKUP_DIR", m_dir.path() + "/coleta");
        env.insert("TORVEL_DOCUMENTS", m_dir.path() + "/docs");
        env.insert("TORVEL_DB_PASSWORD", m_password);
        env.insert(QString::fromLatin1(exitAt), "1");
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        if (!env.contains("QT_QPA_PLATFORM"))
            env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(program.isEmpty() ? m_ctl : program, args);
        p.waitForFinished(600000);
        Measure m{proxy.roundTrips(), t.nsecsElapsed() / 1e9, p.exitCode() == 0};
        if (!m.ok)
            std::fprintf(stderr, "%s: %s\n", qPrintable(args.join(' ')), p.readAllStandardError().constData());
        return m;
    }

    void writeIni(quint16 port)
    {
        QDir().mkpath(home());
        QFile ini(home() + "TORVEL.INI");
        ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
        ini.write(QStringLiteral("[CONFIG]\nCNFBD=1\n[BANCO]\nDatabase=torvel_wan\nHostName=%1\nport=%2\nUser=%3\n"
                                 "Password=%4\n")
                      .arg(m_host).arg(port).arg(m_user, m_password).toUtf8());
    }

private:
    QTemporaryDir m_dir;
    QString m_ctl, m_host;
    int m_port;
    QString m_user, m_password;
};

QString dump(const QString &folder, const QString &path, int touches, int offsetDays)
{
    TerminalSimulator::Terminal lumet(TerminalSimulator::Kind::Lumet, folder);
    lumet.setIdentifier("LUMET1");
    QList<TerminalSimulator::Touch> list;
    const char *codes[] = {"F10001", "F30001", "F20001", "F20002", "F20003", "F20006", "F20007", "F2000C"};
    const QDateTime start(QDate(2026, 11, 1).addDays(offsetDays), QTime(18, 0));
    for (int i = 0; i < touches; ++i)
        list.append({QString::fromLatin1(codes[i % 8]), start.addSecs(45 * i + offsetDays)});
    lumet.setMemory(list);
    TerminalSimulator::writeLines(path, lumet.lumetDump(start.addDays(1)));
    return path;
}

QByteArray importFile(int touches)
{
    QByteArray file = "H 01/10/2026 07:00:00 LUMET1\r\n";
    const QDateTime start(QDate(2026, 10, 1), QTime(0, 0));
    for (int i = 0; i < touches; ++i)
        file += " " + start.addSecs(60 * i).toString("yyyyMMddhhmm").toLatin1() + "00 01 000000F2000" +
                QByteArray::number(1 + i % 9) + "\r\n";
    return file;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 6) {
        std::fprintf(stderr, "Usage: bench_wan TORVELCTL HOST PORT USER PASSWORD [DELAY_MS]\n");
        return 2;
    }
    const int delay = a.size() > 6 ? a[6].toInt() : 10;
    Wan wan(a[1], a[2], a[3].toInt(), a[4], Bench::password(a[5]));
    wan.run({"create-database", "torvel_wan"}, 0);
    wan.run({"demo"}, 0);
    const QString folder = wan.home();
    const QString d400 = dump(folder, folder + "d400.tmd", 400, 0);
    const QString d4000 = dump(folder, folder + "d4000.tmd", 4000, 1);
    const QString imp = folder + "import.txt";
    {
        QFile f(imp);
        f.open(QIODevice::WriteOnly);
        f.write(importFile(12000));
    }
    const QString dumpPath = folder + "DATALM.TMD";

    struct Op {
        const char *name;
        QStringList args;
        QString restore;  // a file copied into place before each run (an ingest deletes it)
        bool once;        // stores a file: the delayed run needs another one
    };
    const QList<Op> ops{
        {"connect (ping)", {"ping"}, {}, false},
        {"ingest, 400 touches", {"ingest", "--model", "lumet", "--file", dumpPath}, d400, true},
        {"ingest, 4,000 touches", {"ingest", "--model", "lumet", "--file", dumpPath}, d4000, true},
        {"consistency of the 4,000-touch download", {"consistency", "--collector", "LUMET1"}, {}, false},
        {"touch listing by collector, a month",
         {"report", "touches-by-collector", "--collector", "LUMET1", "--period", "01/11/2026 00:00", "30/11/2026 23:59"}, {}, false},
        {"identifier listing", {"listing", "identifiers", "--tsv"}, {}, false},
        {"import, 12,000 touches", {"import", imp, "--again"}, {}, true},
        {"touch export, a month", {"export-touches", "--from", "01/11/2026", "--to", "30/11/2026", "--file", folder + "export.txt"}, {}, false},
        {"programmable report, a month", {"report", "programmable", "--from", "01/11/2026 00:00", "--to", "30/11/2026 23:59", "--tsv"}, {}, false},
    };
    std::printf("%-42s %12s %10s %10s %8s\n", "operation", "round trips", "0 ms (s)",
                qPrintable(QStringLiteral("%1 ms (s)").arg(2 * delay)), "ratio");
    for (const Op &op : ops) {
        Measure fast = wan.run(op.args, 0, op.restore, dumpPath);
        QString variant = op.restore;
        if (op.once && !op.restore.isEmpty()) {
            // A stored file is not stored again: the delayed run gets the same touches in a
            // file one blank line longer, a download of its own.
            variant = op.restore + ".2";
            QFile::remove(variant);
            QFile::copy(op.restore, variant);
            QFile more(variant);
            more.open(QIODevice::Append);
            more.write("\r\n");
        }
        const Measure slow = wan.run(op.args, delay, variant, dumpPath);
        std::printf("%-42s %12d %10.2f %10.2f %8.2f%s\n", op.name, slow.roundTrips, fast.seconds,
                    slow.seconds, fast.seconds > 0 ? slow.seconds / fast.seconds : 0.0,
                    fast.ok && slow.ok ? "" : "  (failed)");
    }
    if (a.size() > 7) {
        const Measure fast = wan.run({}, 0, {}, {}, a[7]);
        const Measure slow = wan.run({}, delay, {}, {}, a[7]);
        std::printf("%-42s %12d %10.2f %10.2f %8.2f%s\n", "desktop program, launch to login", slow.roundTrips,
                    fast.seconds, slow.seconds, fast.seconds > 0 ? slow.seconds / fast.seconds : 0.0,
                    fast.ok && slow.ok ? "" : "  (failed)");
        // From launch to the main window (the login confirmed as it stands), less the part up
        // to the login dialog: what the login itself and the main window's start cost.
        const Measure fastMain = wan.run({}, 0, {}, {}, a[7], "TORVEL_EXIT_AT_MAIN");
        const Measure slowMain = wan.run({}, delay, {}, {}, a[7], "TORVEL_EXIT_AT_MAIN");
        const double fastPart = fastMain.seconds - fast.seconds, slowPart = slowMain.seconds - slow.seconds;
        std::printf("%-42s %12d %10.2f %10.2f %8.2f%s\n", "desktop program, login to main window",
                    slowMain.roundTrips - slow.roundTrips, fastPart, slowPart,
                    fastPart > 0 ? slowPart / fastPart : 0.0, fastMain.ok && slowMain.ok ? "" : "  (failed)");
    }
    return 0;
}
