#pragma once

#include "core/db/Sql.h"

#include <QStringList>
#include <functional>

// Creating a database with the system's schema, and listing a server's databases. Shared by
// the connection dialog, the settings dialog and torvelctl.
namespace DatabaseSetup {

// Runs every statement of the schema script, one at a time, on `db` (already on the new
// database). Throws DbError on the first failure.
void createTables(const QSqlDatabase &db);

// Creates the database `name` on the server of `server` (its database is ignored) and its
// tables and initial rows. `status` receives each step's text. Throws DbError; a name that is
// not a plain identifier is refused before anything reaches the server.
void createDatabase(const ConnectionParams &server, const QString &name,
                    const std::function<void(const QString &)> &status = {});

// The secondary indexes Torvel adds to the system's tables for the queries it issues, named
// "tv_..." so they are told apart from the system's own keys. The program works without them;
// they make every report and analysis read only the slice of desctot it asks for.
struct Index {
    QString name;
    QString table;
    QString columns;  // "coletor, data_descarga"
};
QList<Index> indexes();

// Adds every missing index to the database of `db`, one at a time, without blocking the
// other workstations' reads and writes (online, in place). Safe to run again: an index that
// exists is left alone. `progress(done, total, text)` before each index. Returns how many were
// created. Throws DbError.
int addIndexes(const QSqlDatabase &db,
               const std::function<void(int, int, const QString &)> &progress = {});
// Gives a primary key to the older system's tables that lack one (a cluster needs it), where
// the server can do so without changing what other programs see. addIndexes() runs it.
void addMissingKeys(const QSqlDatabase &db);
// Names of the indexes that the database of `db` lacks.
QStringList missingIndexes(const QSqlDatabase &db);

// The tables Torvel keeps beside the system's, named "tv_" like its indexes: no system table
// changes for them. `tv_descargas` records every stored download (the fingerprint of its file,
// the model, the collector, the moment, the file and how many touches), written in the same
// transaction as the touches, so a download whose commit outcome was lost, or that a crash
// interrupted before its file was deleted, is known to be stored and is never stored twice.
QStringList programTableStatements();
// Creates the program's tables that the database of `db` lacks (a no-op when they exist). Must
// not run inside a transaction: a create statement commits it. Throws DbError.
void addProgramTables(const QSqlDatabase &db);

// The server's databases ("show databases") without mysql and information_schema, compared
// in any letter case.
QStringList userDatabases(const QSqlDatabase &serverConnection);

}  // namespace DatabaseSetup
