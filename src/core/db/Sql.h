#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

// Database access shared by every layer: connection parameters, opening a connection, and
// statements with bound parameters that throw DbError instead of failing quietly. A DbError
// that a command does not catch reaches the application's general error box.

struct ConnectionParams {
    QString host;
    int port = 3306;
    QString user;
    QString password;
    QString database;  // empty: connect to the server without choosing a database
    // Seconds a statement may wait for the server to read or answer before it fails (TORVEL.INI,
    // BANCO/TempoLimite): a server that accepts and then stops answering never hangs a window or
    // a script. Long enough for the heaviest report over a large history.
    int timeout = kDefaultTimeout;
    static constexpr int kDefaultTimeout = 60;
};

class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &text);
    QString text() const { return m_text; }

private:
    QString m_text;
};

// The commit was sent and the connection was lost before its answer: the server may have
// committed or not. Whoever committed must find out (the download record of an ingest) before
// telling the user anything.
class CommitOutcomeUnknown : public DbError {
public:
    CommitOutcomeUnknown(const QString &text, const QVariant &connectionId)
        : DbError(text), m_connectionId(connectionId) {}
    // The server's id of the connection the transaction ran on.
    QVariant connectionId() const { return m_connectionId; }

private:
    QVariant m_connectionId;
};

// One named parameter binding, ":pname" -> value. Strings bind as text, ints as integers,
// QDateTime as date-time values.
using Binding = std::pair<QString, QVariant>;
using Bindings = std::vector<Binding>;

namespace Sql {

inline constexpr const char *kDriver = "QMYSQL";

// Adds the connection `name` (or reuses it, closed first) with the parameters and opens it. Returns an empty
// string on success, the driver's error text otherwise.
QString open(const QString &name, const ConnectionParams &params);

// Closes and removes the connection `name`.
void close(const QString &name);

// A statement with parameters whose values travel inside the statement's text, each written by
// literal() (never text pasted by hand). A statement then costs one round trip to the server:
// the driver's server-side
// prepared statements cost three (prepare, reset, execute) the first time and two every time
// after, which over a WAN link is most of the time an operation takes.
//
// Used like QSqlQuery: prepare() keeps the text (nothing goes to the server), bindValue()
// (":name" or position) and addBindValue() keep the values, exec() sends the statement; the
// rows are read through the QSqlQuery it is. Placeholders inside quoted text, quoted names and
// comments are left alone, as the server would read them.
// (The base is private so that a Query is never silently cut down to a bare QSqlQuery that has
// lost its text and values; result() hands out the rows once it ran.)
class Query : private QSqlQuery {
public:
    explicit Query(const QSqlDatabase &db);
    using QSqlQuery::at;
    using QSqlQuery::finish;
    using QSqlQuery::first;
    using QSqlQuery::isActive;
    using QSqlQuery::isNull;
    using QSqlQuery::isSelect;
    using QSqlQuery::isValid;
    using QSqlQuery::last;
    using QSqlQuery::lastError;
    using QSqlQuery::lastInsertId;
    using QSqlQuery::lastQuery;
    using QSqlQuery::next;
    using QSqlQuery::numRowsAffected;
    using QSqlQuery::previous;
    using QSqlQuery::record;
    using QSqlQuery::seek;
    using QSqlQuery::setForwardOnly;
    using QSqlQuery::size;
    using QSqlQuery::value;
    // Hands the rows over as a bare QSqlQuery; the Query is spent.
    QSqlQuery takeResult() { return QSqlQuery(std::move(static_cast<QSqlQuery &>(*this))); }
    bool prepare(const QString &sql);
    void bindValue(const QString &placeholder, const QVariant &value);
    void bindValue(int position, const QVariant &value);
    void addBindValue(const QVariant &value);
    // Runs the prepared text with the values bound; false with lastError() set on failure.
    bool exec();
    // Runs `sql` as it stands (no parameters).
    bool exec(const QString &sql) { return QSqlQuery::exec(sql); }
    // The statement exec() sends, values written in: for messages and tests.
    QString statementText() const;

private:
    QString m_sql;
    std::vector<std::pair<QString, QVariant>> m_named;
    std::vector<QVariant> m_positional;
};

// A value as a literal of the server's SQL, as Query writes it: NULL, a number, a quoted
// date-time ('yyyy-MM-dd hh:mm:ss', the wall-clock fields as they are), a hexadecimal byte
// string, or a text: quoted with its quotes doubled, or, when it holds a backslash or a NUL,
// its UTF-8 bytes in hexadecimal (read alike with and without NO_BACKSLASH_ESCAPES). The
// connection's character set is utf8mb4.
QString literal(const QVariant &value);

// Binds and executes in one round trip; throws DbError with the server's message on failure.
QSqlQuery exec(const QSqlDatabase &db, const QString &sql, const Bindings &bindings = {});

// A forward-only statement to be bound and run many times with run(); nothing is sent to the
// server until it runs.
Query prepare(const QSqlDatabase &db, const QString &sql);
// Runs a statement with its current bindings; throws DbError on failure.
void run(QSqlQuery &query);
void run(Query &query);

// The first column of the first row, or an invalid QVariant when there is no row.
QVariant scalar(const QSqlDatabase &db, const QString &sql, const Bindings &bindings = {});

// Finds the rows of `table` whose `field` equals each value, the way the server compares them
// (its collation also makes letter case, trailing blanks and accents such as Á/A or Ç/C
// equal): one `union all` branch per value, up to a thousand values per statement. Calls `found`
// with the value's index and the row, in the server's order, for every row found. Returns the
// number of statements run. Throws DbError on failure.
int probeEach(const QSqlDatabase &db, const QString &table, const QString &field, const QStringList &values,
              const std::function<void(qsizetype, const QSqlRecord &)> &found);

// The message shown when a statement fails: the server's text, in Portuguese framing.
QString describe(const QSqlError &error);

// True when the error means the server is gone (connection lost or refused).
bool isConnectionLost(const QSqlError &error);

// The server's id of the connection (select connection_id()); invalid when it cannot be asked.
QVariant connectionId(const QSqlDatabase &db);

// After a commit whose answer was lost: ends the connection the transaction ran on (a user may
// end its own), and waits until the server no longer lists it, so what the server holds is
// final: committed, or rolled back with the connection. False when that cannot be known (the
// server does not answer). Runs on `db`, which reconnects.
bool settleLostConnection(const QSqlDatabase &db, const QVariant &connectionId);

// A transaction around the statements of one operation, rolled back unless committed, so a
// failure part-way leaves nothing of it behind. `begin` false makes it a no-op.
//
// The session runs with autocommit off for the transaction's life, and the client's own
// reconnection is turned off meanwhile: a connection lost part-way fails every later statement
// instead of going on, one statement at a time, on a new session that would commit each; and
// commit() refuses when the connection is no longer the one the transaction began on, so a
// half-stored operation is never reported as done.
class Transaction {
public:
    explicit Transaction(const QSqlDatabase &db, bool begin = true);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool active() const { return m_active; }
    // Throws DbError when the server refuses the commit or the connection was replaced
    // before it (everything is then rolled back), CommitOutcomeUnknown when the commit was sent
    // and its answer lost, or the connection was found replaced right after it.
    void commit();
    QVariant connectionId() const { return m_connectionId; }

private:
    QSqlDatabase m_db;
    bool m_active = false;
    QVariant m_connectionId;
};

}  // namespace Sql
