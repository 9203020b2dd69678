#pragma once

// What every benchmark needs around its measurement: the program's folders in a temporary
// place, a database of its own on the benchmark server, and the median of its runs.
#include "core/TdmzDados.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Sql.h"
#include "platform/SystemServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
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

// A baseline's read: every value of every row of `sql`; the number of rows.
inline int readAll(const QSqlDatabase &db, const QString &sql, const Bindings &bindings = {})
{
    QSqlQuery q = Sql::exec(db, sql, bindings);
    int rows = 0;
    const int fields = q.record().count();
    while (q.next()) {
        for (int f = 0; f < fields; ++f)
            q.value(f);
        ++rows;
    }
    return rows;
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

}  // namespace Bench
