#pragma once

#include "core/db/Sql.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class Progress;

// Copies of the program's database made with the server's own dump tool, and their restore.
//
// A copy is one gzip file `torvel-<yyyymmdd-hhnnss>.sql.gz`: a leading block of SQL comments
// (the manifest: moment, server version, database, and each table's row count and
// CHECKSUM TABLE value) followed by the output of `mariadb-dump --single-transaction`, which
// ends with its "-- Dump completed" line. Both parts describe the same data: the tables are
// held with a read lock from before the manifest is counted until the dump's own snapshot is
// open, so a download being stored meanwhile is in both whole or in neither.
//
// Passwords reach the server's programs through an option file of mode 0600 in a private
// temporary folder, never on their command line, which every account can read.
namespace Backup {

struct TableSum {
    QString table;
    qint64 rows = 0;
    QString checksum;
    bool operator==(const TableSum &) const = default;
};

struct Manifest {
    QDateTime moment;
    QString serverVersion;
    QString database;
    QList<TableSum> tables;
};

struct Outcome {
    bool ok = false;
    bool cancelled = false;
    QString file;      // the copy written (copy) or read (restore)
    QString message;   // what the user is told, in Portuguese
    QStringList details;  // one line per table compared after a restore
};

// `<backup folder>/copias/`, created when missing.
QString copiesFolder();
// The default name of a copy taken at `moment`: the first second from `moment` on whose name
// is free.
QString defaultFile(const QDateTime &moment);

// Every base table of the database of `db` with its row count and CHECKSUM TABLE value, by
// name. Throws DbError.
QList<TableSum> tableSums(const QSqlDatabase &db);

// Copies the database of `params` into `target`. The file appears under its name only once
// it is written, synced and read back whole; a failed or stopped copy leaves nothing there.
Outcome copy(const ConnectionParams &params, const QString &target, Progress &progress);

// Reads a copy through to its end: the gzip stream whole, the manifest at its head and the
// dump tool's completion line at its end. Returns an empty text when sound, else why not.
QString check(const QString &file, Manifest *manifest = nullptr);

// Restores `file` into the database `database` of the server of `server` (its database is
// ignored). A database that exists is replaced only with `replace`, and then only after a
// fresh copy of it has been made. The copy is checked whole before anything is created or
// dropped. Afterwards every table's row count and checksum are compared with the manifest.
Outcome restore(const ConnectionParams &server, const QString &file, const QString &database,
                bool replace, Progress &progress);

// The automatic daily copy: none when a copy of today is already in the copies folder; else a
// copy, then the older copies pruned to the newest of each of the last 7 days and the newest
// of each of the last 4 weeks. A failure is written to `copias/ULTIMA-FALHA.txt` (removed by
// the next copy that works), so the desktop can show it.
Outcome automaticCopy(const ConnectionParams &params, const QDateTime &now, Progress &progress);
// The files of `copiesFolder()` that the daily pruning keeps, newest first.
QStringList retained(const QStringList &names);
// Moment of the newest copy in the copies folder (invalid when there is none), and the text of
// the last automatic copy's failure (empty when the last one worked).
QDateTime lastCopy();
QString lastFailure();

}  // namespace Backup
