#pragma once

#include "core/db/Sql.h"

#include <QList>
#include <QSqlError>
#include <functional>

// Several servers for one database: the nodes of a MariaDB Galera cluster listed in
// TORVEL.INI (BANCO/HostName = "host1:3306, host2:3306, host3"). A connection opens on the first
// that answers and, when it loses its server, opens again on the next; a transaction the
// cluster refused (another node wrote the same rows first) is run again whole.
namespace Sql {

struct Endpoint {
    QString host;
    int port = 3306;
    QString text() const { return host + u':' + QString::number(port); }
};

// Reads "host", "host:port", "[ipv6]:port" or several of them separated by commas; a bare host
// uses `defaultPort`. An empty text gives an empty list. A malformed entry gives an empty list
// and, in `error`, the message that names it.
QList<Endpoint> parseHosts(const QString &text, int defaultPort, QString *error = nullptr);

// The server a connection is on now ("host:port").
QString serverOf(const QSqlDatabase &db);

// Opens the connection again on the next server of its list that answers (the one it was on
// is tried last). False, and the connection left as it was, when it has a single server.
bool failover(const QSqlDatabase &db);

// True when the server undid the whole transaction and running it again may succeed: a
// deadlock, or a cluster's certification conflict, which is reported as one (1213), a cluster
// node that is not ready to be used (1047), or a write the node could not replicate, as while
// the cluster forms again after losing a node (1180).
bool isRetryable(const QSqlError &error);

// A statement met a lost connection.
class ConnectionLost : public DbError {
public:
    using DbError::DbError;
};

// The server undid the transaction (isRetryable): nothing of it was kept.
class Conflict : public DbError {
public:
    using DbError::DbError;
};

// How many times a transaction is run before its failure is reported, and the pause before the
// next run (short, growing, with some randomness, so two workstations that met once do not
// meet again).
// Five pauses add up to 6 to 12 seconds: a cluster that lost a node forms again within them.
inline constexpr int kTransactionAttempts = 6;
void pauseBeforeRetry(int attempt);

// Runs `body`, which opens and commits its own Transaction on `db`, and runs it again whole
// each time the server undid it (Conflict), at most kTransactionAttempts times in all. Inside a
// transaction already open on `db` it runs once: the server undid the outer one too, and only
// whoever opened that can run it again. A lost connection is not run again here: a commit's
// outcome may be unknown, and only the caller can tell whether its work is there.
void retrying(const QSqlDatabase &db, const std::function<void()> &body);

// Makes the session's reads wait until the node has applied everything the cluster committed
// before them (wsrep_sync_wait), so a check right after a failover sees the other nodes'
// writes. Nothing on a server that is not a cluster node.
void causalReads(const QSqlDatabase &db);

}  // namespace Sql
