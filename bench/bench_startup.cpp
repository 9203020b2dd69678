// Start-up to the login dialog, against the floor: a process that only opens a bare QMYSQL
// connection to the same server. Both are whole processes started the same way, so the ratio
// is what the program adds on top of starting and connecting.
//
// Usage: bench_startup TORVEL TORVELCTL HOST PORT USER PASSWORD DATABASE [RUNS]
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double runOnce(const QString &program, const QStringList &args, const QProcessEnvironment &env,
               const QByteArray &until)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    if (!until.isEmpty()) {
        QByteArray out;
        while (!out.contains(until) && p.waitForReadyRead(20000))
            out += p.readAllStandardOutput();
        const double ms = t.nsecsElapsed() / 1e6;
        p.waitForFinished(5000);
        return out.contains(until) ? ms : -1;
    }
    p.waitForFinished(20000);
    return p.exitCode() == 0 ? t.nsecsElapsed() / 1e6 : -1;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 8) {
        std::fprintf(stderr, "usage: bench_startup TORVEL TORVELCTL HOST PORT USER PASSWORD "
                             "DATABASE [RUNS]\n");
        return 2;
    }
    const int runs = a.size() > 8 ? a[8].toInt() : 15;
    QTemporaryDir home;
    QDir().mkpath(home.path() + "/windir");
    {
        QFile ini(home.path() + "/TORVEL.INI");
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("[CONFIG]\nCNFBD=1\n[BANCO]\nHostName=%1\nport=%2\nUser=%3\n"
                                 "Password=%4\nDatabase=%5\n")
                      .arg(a[3], a[4], a[5], Bench::password(a[6]), a[7])
                      .toUtf8());
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TORVEL_HOME", home.path());
    env.insert("TORVEL_WINDIR", home.path() + "/windir");
    env.insert("TORVEL_EXIT_AT_LOGIN", "1");
    env.insert("XDG_RUNTIME_DIR", home.path());
    if (!env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");

    std::vector<double> floor, login;
    for (int i = 0; i < runs; ++i) {
        const double f = runOnce(a[2], {"ping"}, env, {});
        const double l = runOnce(a[1], {}, env, "login-shown");
        if (f < 0 || l < 0) {
            std::fprintf(stderr, "a run failed (floor %.1f, login %.1f)\n", f, l);
            return 1;
        }
        floor.push_back(f);
        login.push_back(l);
    }
    const double mf = Bench::median(floor), ml = Bench::median(login);
    std::printf("startup: %d runs, median of each\n", runs);
    std::printf("  baseline  process + bare QMYSQL connection: %8.1f ms\n", mf);
    std::printf("  measured  process start to login dialog:    %8.1f ms\n", ml);
    std::printf("  ratio     %.2f\n", ml / mf);
    return 0;
}
