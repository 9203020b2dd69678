#pragma once

// What every benchmark needs around its measurement: the program's folders in a temporary
// place, a database of its own on the benchmark server, the median of its runs, and one way
// of printing a measurement against the baseline taken in the same run.
#include "core/TdmzDados.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Sql.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QList>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace Bench {

// The password argument: "-" takes it from TORVEL_DB_PASSWORD, so it is never seen in the
// process list.
inline QString password(const QString &argument)
{
    return argument == QLatin1String("-") ? qEnvironmentVariable("TORVEL_DB_PASSWORD") : argument;
}

// Seconds one run of `work` takes.
inline double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

inline double median(std::vector<double> v);

// The median seconds of `runs` runs of `work`, which gives the rows it produced (in `rows`).
inline double timed(int runs, const std::function<int()> &work, int &rows)
{
    std::vector<double> runsTaken;
    for (int i = 0; i < runs; ++i)
        runsTaken.push_back(seconds([&] { rows = work(); }));
    return median(runsTaken);
}

// A baseline's read of a query already run: every value of every row; the number of rows.
inline int readRows(QSqlQuery &q)
{
    int rows = 0;
    const int fields = q.record().count();
    while (q.next()) {
        for (int f = 0; f < fields; ++f)
            q.value(f);
        ++rows;
    }
    return rows;
}

// A baseline's read: every value of every row of `sql`; the number of rows.
inline int readAll(const QSqlDatabase &db, const QString &sql, const Bindings &bindings = {})
{
    QSqlQuery q = Sql::exec(db, sql, bindings);
    return readRows(q);
}

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Points every folder override at a temporary folder for the benchmark's lifetime.
class Folders {
public:
    Folders()
    {
        // As the programs do first thing.
        SystemServices::pinTimeZone();
        for (const char *sub : {"home", "windir", "backup", "docs"})
            QDir().mkpath(m_dir.path() + '/' + sub);
        qputenv("TORVEL_HOME", (m_dir.path() + "/home").toUtf8());
        qputenv("TORVEL_WINDIR", (m_dir.path() + "/windir").toUtf8());
        qputenv("TORVEL_BACKUP_DIR", (m_dir.path() + "/backup").toUtf8());
        qputenv("TORVEL_DOCUMENTS", (m_dir.path() + "/docs").toUtf8());
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Drops and creates `database` with the schema on `server`, then connects the data module to
// it. Throws DbError.
inline void freshDatabase(TdmzDados &dm, const ConnectionParams &server, const QString &database)
{
    if (const QString error = dm.connectTo(server); !error.isEmpty())
        throw DbError(error);
    Sql::exec(dm.db(), "drop database if exists `" + database + "`");
    DatabaseSetup::createDatabase(server, database);
    ConnectionParams params = server;
    params.database = database;
    if (const QString error = dm.connectTo(params); !error.isEmpty())
        throw DbError(error);
}

// A line of an external collection file: a touch and the download it came in.
struct ExternalLine {
    QString collector;
    QDateTime downloaded;
    QDateTime touched;  // to the minute, as the file carries it
    QString identifier;
};

// Writes `lines` as an external collection file: a header line for each download, then a line
// for each of its touches.
inline void writeExternalFile(const QString &path, const std::vector<ExternalLine> &lines)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray bytes;
    QDateTime previous;
    for (const ExternalLine &l : lines) {
        if (l.downloaded != previous) {
            bytes += ("H " + l.downloaded.toString("dd/MM/yyyy hh:mm:ss") + " " + l.collector + "\r\n").toLatin1();
            previous = l.downloaded;
        }
        bytes += (" " + l.touched.toString("yyyyMMddhhmmss") + " 02 000000" + l.identifier + "\r\n").toLatin1();
    }
    file.write(bytes);
}

// A measured time is negative where its run failed.
inline bool failed(const std::vector<double> &runsTaken)
{
    return !runsTaken.empty() && *std::min_element(runsTaken.begin(), runsTaken.end()) < 0;
}

// How many times the baseline's time ours takes; 0 where the baseline took no measurable time.
inline double ratio(double ours, double baseline) { return baseline > 0 ? ours / baseline : 0.0; }

// One engine against its baseline: each gives the rows it produced.
struct Comparison {
    const char *name;
    std::function<int()> ours;
    std::function<int()> baseline;
};

// How a comparison's line reads: the name padded to `width`, the engine's word ("report"),
// and what the baseline's rows are ("touches").
struct LineFormat {
    int width = 38;
    const char *ours = "report";
    const char *baselineRows = "touches";
};

// Times each comparison, the baseline first so the engine never warms the server for it, and
// prints one line each: "NAME report S s (N rows), baseline S s (N touches), ratio R".
inline void compare(int runs, const QList<Comparison> &comparisons, const LineFormat &format = {})
{
    for (const Comparison &c : comparisons) {
        int rows = 0, baselineRows = 0;
        const double baseline = timed(runs, c.baseline, baselineRows);
        const double ours = timed(runs, c.ours, rows);
        std::printf("%-*s %s %.3f s (%d rows), baseline %.3f s (%d %s), ratio %.2f\n", format.width, c.name,
                    format.ours, ours, rows, baseline, baselineRows, format.baselineRows, ratio(ours, baseline));
        std::fflush(stdout);
    }
}

// What a benchmark's data module connects to: a database created fresh with the schema and
// dropped at the end, one created fresh and kept (a history for other benchmarks), or one
// that is there already.
enum class Database { Scratch, Kept, Existing };

// Messages to the console and the data module connected to `database` on `server` for `body`,
// which gives the exit status of what it measured; a database error is reported and gives 1.
inline int withDataModule(const ConnectionParams &server, const QString &database, Database kind,
                          const std::function<int(TdmzDados &)> &body)
{
    ConsoleMessageService console;
    MessageService::install(&console);
    int status = 0;
    {
        TdmzDados dm;
        try {
            if (kind == Database::Existing) {
                ConnectionParams params = server;
                params.database = database;
                if (const QString error = dm.connectTo(params); !error.isEmpty())
                    throw DbError(error);
            } else {
                freshDatabase(dm, server, database);
            }
            status = body(dm);
            if (kind == Database::Scratch)
                Sql::exec(dm.db(), "drop database `" + database + "`");
        } catch (const DbError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
            status = 1;
        }
        dm.disconnect();
    }
    MessageService::install(nullptr);
    return status;
}

// The server of the command line HOST PORT USER PASSWORD|- ...
// Benchmarks read whole tables on purpose (the baselines, the runs without indexes at ten
// million touches): the program's statement timeout would cut a measurement short.
inline ConnectionParams server(const QStringList &args)
{
    ConnectionParams params{args[1], args[2].toInt(), args[3], password(args[4]), {}};
    params.timeout = 3600;
    return params;
}

// The application every benchmark runs in: offscreen unless told otherwise, as the reports
// lay out text, which needs a GUI application's fonts.
inline QStringList application(int &argc, char *argv[], std::unique_ptr<QGuiApplication> &app)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
    return QGuiApplication::arguments();
}

// A benchmark on a scratch database: its usage line, the suffix of DATABASE_<suffix>, and
// where the runs stand on the command line and how many without.
struct Benchmark {
    const char *usage;
    const char *suffix;
    // What the runs read, written into the fresh database before the body runs; none where the
    // body writes its own.
    std::function<void(const QSqlDatabase &)> populate = {};
    int runsArgument = 6;
    int defaultRuns = 3;
};

// What a benchmark's body has: the command line, the program's folders in a temporary place
// and the number of runs.
struct Session {
    QStringList args;
    QString folder;
    int runs;

    // The whole-number argument at `index`, or `fallback` where the command line stops before.
    int number(int index, int fallback) const { return args.size() > index ? args[index].toInt() : fallback; }
};

// The main of a benchmark on a scratch database: the usage line where the command line is
// short (exit status 2), otherwise `body` with the data module on DATABASE_<suffix>, once the
// benchmark's data is written.
inline int run(int argc, char *argv[], const Benchmark &benchmark,
               const std::function<int(TdmzDados &, const Session &)> &body)
{
    std::unique_ptr<QGuiApplication> app;
    const QStringList args = application(argc, argv, app);
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: %s\n", benchmark.usage);
        return 2;
    }
    const Folders dir;
    const Session session{args, dir.path(),
                          args.size() > benchmark.runsArgument ? std::max(1, args[benchmark.runsArgument].toInt())
                                                               : benchmark.defaultRuns};
    return withDataModule(server(args), args[5] + '_' + benchmark.suffix, Database::Scratch,
                          [&](TdmzDados &dm) {
                              if (benchmark.populate)
                                  benchmark.populate(dm.db());
                              return body(dm, session);
                          });
}

}  // namespace Bench
