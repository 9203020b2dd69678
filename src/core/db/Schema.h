#pragma once

#include <QString>
#include <QStringList>

// The database schema: the fourteen tables and their initial rows, one statement per entry,
// in the order they must run. The connection dialog, the settings dialog and torvelctl all
// create databases through this one script.
namespace Schema {

// Every statement of the script: the CREATE TABLEs in creation order, then the first user's
// `control` row, then the twelve `modem` rows.
QStringList statements();

// The script as one text, statements separated by ";".
QString script();

// Names of the tables, in creation order.
QStringList tableNames();

// A database name we are willing to splice into "create database": letters, digits and
// underscore only, 1 to 64 characters.
bool isValidDatabaseName(const QString &name);

// "create database `name`" for a valid name; empty for an invalid one.
QString createDatabaseStatement(const QString &name);

}  // namespace Schema
