#pragma once

#include <optional>

#include "core/db/Sql.h"

#include <QHash>
#include <QStringList>
#include <functional>

// The subcommands of torvelctl and what they share: the connection options, read from the
// program folder's TORVEL.INI unless given on the command line.
namespace Cli {

struct Options {
    QStringList positional;
    QHash<QString, QString> values;  // --name value
    QHash<QString, QStringList> lists;  // every value of a repeated option
    bool has(const QString &name) const { return values.contains(name); }
    QString value(const QString &name, const QString &def = {}) const
    {
        return values.value(name, def);
    }
};

struct Command {
    QString name;
    QString usage;    // arguments, e.g. "[NAME]"
    QString summary;  // one line of help
    // Options this command takes besides the connection options, each with its arity.
    QHash<QString, int> options;
    std::function<int(const Options &)> run;
};

// Registers a subcommand (called by each module's registration function).
void add(Command command);

// Parses the arguments, runs the subcommand and returns the exit status.
int run(const QStringList &args);

// The connection from --host/--port/--user/--password/--database, falling back on TORVEL.INI;
// the password comes from --password, else from the environment variable TORVEL_DB_PASSWORD,
// else from TORVEL.INI.
ConnectionParams connection(const Options &options);

// Opens the shared connection of the data module with connection(); on failure prints the
// reason and returns false.
bool connect(const Options &options);

void printError(const QString &text);

// A route code given on the command line: digits only, nothing before or after ("1x", " 1"
// and "1'" name no route, rather than route 1 as a lenient reading made them). nullopt after
// printing why.
std::optional<int> routeCode(const QString &text);
void printOut(const QString &text);
// Prints the rows of the working table `name` in `folder`, one a line, its fields separated by
// tabs; nothing when the table cannot be opened.
void printWorkingTable(const QString &folder, const QString &name);

}  // namespace Cli
