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

// The server's databases ("show databases") without mysql and information_schema, compared
// in any letter case.
QStringList userDatabases(const QSqlDatabase &serverConnection);

}  // namespace DatabaseSetup
