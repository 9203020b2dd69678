#include "core/db/Sql.h"

#include "core/db/Cluster.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>

#include <cmath>

#include <mysql.h>

DbError::DbError(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}

namespace Sql {

namespace {

// What a connection was opened with, by its name: the servers of its list, the one it is on,
// and whether a transaction is open on it (the connection is then never moved to another
// server: its statements would go on there, one at a time, each committed on its own).
struct ConnectionState {
    QList<Endpoint> servers;
    int current = 0;
    bool inTransaction = false;
    QString transactionServer;  // where the last transaction began
    // The cluster's own name for the node the connection is on ("ip:port", as the other nodes
    // list it in wsrep_incoming_addresses), empty on a server that is not a cluster node; and
    // that of the node the last transaction began on.
    QString node;
    QString transactionNode;
};

QMutex stateLock;
QHash<QString, ConnectionState> states;

ConnectionState stateOf(const QString &name)
{
    QMutexLocker lock(&stateLock);
    return states.value(name);
}

// Opens `db` on `server`; the driver's error text, empty on success. With a list of servers,
// also learns, on a cluster node, the node's address as the cluster lists it: its entry of the
// members' addresses, which are in the order of their indexes (host names in the list would not
// match them). A single server costs no more round trips than it always did.
QString openOn(QSqlDatabase &db, const Endpoint &server, bool several)
{
    db.close();
    db.setHostName(server.host);
    db.setPort(server.port);
    if (!db.open())
        return db.lastError().text().trimmed();
    if (!several)
        return {};
    QString node;
    QSqlQuery status(db);
    if (status.exec(QStringLiteral("show status where variable_name in "
                                   "('wsrep_incoming_addresses', 'wsrep_local_index')"))) {
        QStringList addresses;
        int index = -1;
        while (status.next()) {
            if (status.value(0).toString().compare(QLatin1String("wsrep_local_index"), Qt::CaseInsensitive) == 0)
                index = status.value(1).toInt();
            else
                addresses = status.value(1).toString().split(u',', Qt::SkipEmptyParts);
        }
        if (index >= 0 && index < addresses.size())
            node = addresses[index].trimmed();
    }
    QMutexLocker lock(&stateLock);
    auto it = states.find(db.connectionName());
    if (it != states.end())
        it->node = node;
    return {};
}

}  // namespace

QList<Endpoint> parseHosts(const QString &text, int defaultPort, QString *error)
{
    QList<Endpoint> list;
    const auto refuse = [&](const QString &entry) {
        if (error)
            *error = QString::fromUtf8("Servidor inválido na lista de servidores: \"%1\". Use "
                                       "servidor ou servidor:porta, separados por vírgulas "
                                       "(por exemplo 10.0.0.1:3306, 10.0.0.2:3306).")
                         .arg(entry);
        return QList<Endpoint>{};
    };
    if (text.trimmed().isEmpty())
        return list;
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    for (const QString &raw : text.split(u',')) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            return refuse(raw);
        QString host = entry;
        QString port;
        bool hasPort = false;
        if (entry.startsWith(u'[')) {  // [2001:db8::1]:3306
            const qsizetype close = entry.indexOf(u']');
            if (close < 0)
                return refuse(entry);
            host = entry.mid(1, close - 1);
            const QString rest = entry.mid(close + 1);
            if (!rest.isEmpty()) {
                if (!rest.startsWith(u':'))
                    return refuse(entry);
                port = rest.mid(1);
                hasPort = true;
            }
            if (host.isEmpty() || host.contains(QRegularExpression(QStringLiteral("[^0-9A-Fa-f:.]"))))
                return refuse(entry);
        } else if (entry.count(u':') == 1) {
            host = entry.section(u':', 0, 0).trimmed();
            port = entry.section(u':', 1).trimmed();
            hasPort = true;
            if (!hostName.match(host).hasMatch())
                return refuse(entry);
        } else if (entry.count(u':') > 1) {  // a bare IPv6 address
            if (entry.contains(QRegularExpression(QStringLiteral("[^0-9A-Fa-f:.]"))))
                return refuse(entry);
        } else if (!hostName.match(host).hasMatch()) {
            return refuse(entry);
        }
        int number = defaultPort;
        if (hasPort) {
            bool ok = false;
            number = port.toInt(&ok);
            if (!ok || number < 1 || number > 65535 || port.startsWith(u'+'))
                return refuse(entry);
        }
        list.append(Endpoint{host, number});
    }
    return list;
}

QString serverOf(const QSqlDatabase &db) { return Endpoint{db.hostName(), db.port()}.text(); }

QString open(const QString &name, const ConnectionParams &params)
{
    // An existing connection is reused, so handles that datasets hold stay valid across a
    // reconnection with other parameters.
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(kDriver, name);
    db.close();
    QString malformed;
    QList<Endpoint> servers = parseHosts(params.host, params.port, &malformed);
    if (!malformed.isEmpty())
        return malformed;
    if (servers.isEmpty())  // no host: the driver's own default, as always
        servers.append(Endpoint{params.host, params.port});
    {
        QMutexLocker lock(&stateLock);
        states.insert(name, ConnectionState{servers, 0, false, {}});
    }
    db.setUserName(params.user);
    db.setPassword(params.password);
    db.setDatabaseName(params.database);
    // A dropped connection is re-established on the next statement instead of failing every
    // later command; the statement that met the drop still reports it.
    const int timeout = params.timeout > 0 ? params.timeout : ConnectionParams::kDefaultTimeout;
    db.setConnectOptions(QStringLiteral("MYSQL_OPT_RECONNECT=1;MYSQL_OPT_CONNECT_TIMEOUT=5;"
                                        "MYSQL_OPT_READ_TIMEOUT=%1;MYSQL_OPT_WRITE_TIMEOUT=%1")
                             .arg(timeout));
    // The first server of the list that answers.
    QStringList errors;
    for (int i = 0; i < servers.size(); ++i) {
        const QString error = openOn(db, servers[i], servers.size() > 1);
        if (error.isEmpty()) {
            QMutexLocker lock(&stateLock);
            states[name].current = i;
            return {};
        }
        errors << (servers.size() > 1 ? servers[i].text() + QStringLiteral(": ") + error : error);
    }
    db.setHostName(servers.first().host);
    db.setPort(servers.first().port);
    return errors.join(u'\n');
}

bool failover(const QSqlDatabase &connection)
{
    const QString name = connection.connectionName();
    const ConnectionState state = stateOf(name);
    if (state.servers.size() < 2)
        return false;
    QSqlDatabase db = connection;
    for (int step = 1; step <= state.servers.size(); ++step) {
        const int next = (state.current + step) % int(state.servers.size());
        if (openOn(db, state.servers[next], true).isEmpty()) {
            QMutexLocker lock(&stateLock);
            states[name].current = next;
            return true;
        }
    }
    return false;
}

bool isRetryable(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // 1180 on a write is also how a cluster node says it could not replicate it.
    return code == QLatin1String("1213") || code == QLatin1String("1047") || code == QLatin1String("1180");
}

void pauseBeforeRetry(int attempt)
{
    const int base = 200 << qBound(0, attempt - 1, 5);
    QThread::msleep(base + QRandomGenerator::global()->bounded(base));
}

void causalReads(const QSqlDatabase &db)
{
    // The variable exists on MariaDB builds with the cluster's support even where it is off
    // (where it changes nothing); a server without it refuses, which changes nothing either.
    QSqlQuery(db).exec(QStringLiteral("set session wsrep_sync_wait = 1"));
}

namespace {

bool inTransaction(const QSqlDatabase &db)
{
    return stateOf(db.connectionName()).inTransaction;
}

// The error of a statement that failed, as the exception its callers tell apart: a lost
// connection (moved to the next server of its list when no transaction is open on it), a
// transaction the server undid, or any other refusal.
[[noreturn]] void fail(const QSqlDatabase &db, const QSqlError &error)
{
    const QString text = describe(error);
    if (isConnectionLost(error)) {
        if (!inTransaction(db))
            failover(db);
        throw ConnectionLost(text);
    }
    if (isRetryable(error))
        throw Conflict(text);
    throw DbError(text);
}

}  // namespace

void close(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    QMutexLocker lock(&stateLock);
    states.remove(name);
}

QSqlQuery exec(const QSqlDatabase &db, const QString &sql, const Bindings &bindings)
{
    for (int attempt = 1;; ++attempt) {
        Query query(db);
        query.prepare(sql);
        for (const auto &[name, value] : bindings)
            query.bindValue(name.startsWith(':') ? name : ':' + name, value);
        if (query.exec())
            return query.takeResult();
        const QSqlError error = query.lastError();
        // A statement on its own that the server undid (a cluster's certification conflict on
        // its commit, a node not ready) left nothing behind: it is simply sent again. Inside a
        // transaction the whole transaction went, and only its owner can run it again.
        if (isRetryable(error) && !inTransaction(db) && attempt < kTransactionAttempts) {
            pauseBeforeRetry(attempt);
            continue;
        }
        fail(db, error);
    }
}

void retrying(const QSqlDatabase &db, const std::function<void()> &body)
{
    if (inTransaction(db)) {
        body();
        return;
    }
    for (int attempt = 1;; ++attempt) {
        try {
            body();
            return;
        } catch (const Conflict &) {
            if (attempt >= kTransactionAttempts)
                throw;
            pauseBeforeRetry(attempt);
        }
    }
}

Query prepare(const QSqlDatabase &db, const QString &sql)
{
    Query query(db);
    query.setForwardOnly(true);
    query.prepare(sql);
    return query;
}

void run(QSqlQuery &query)
{
    if (!query.exec()) {
        const QSqlError error = query.lastError();
        if (isConnectionLost(error))
            throw ConnectionLost(describe(error));
        if (isRetryable(error))
            throw Conflict(describe(error));
        throw DbError(describe(error));
    }
}

void run(Query &query)
{
    if (!query.exec()) {
        const QSqlError error = query.lastError();
        if (isConnectionLost(error))
            throw ConnectionLost(describe(error));
        if (isRetryable(error))
            throw Conflict(describe(error));
        throw DbError(describe(error));
    }
}

int probeEach(const QSqlDatabase &db, const QString &table, const QString &field, const QStringList &values,
              const std::function<void(qsizetype, const QSqlRecord &)> &found)
{
    // Matching keys on this side never agrees with the server's collation in every case; the
    // server answers for each value, tagged with its index. A thousand branches keep each
    // statement small for any server.
    constexpr qsizetype kChunk = 1000;
    int statements = 0;
    for (qsizetype from = 0; from < values.size(); from += kChunk) {
        const QStringList chunk = values.mid(from, kChunk);
        QStringList branches;
        for (qsizetype i = 0; i < chunk.size(); ++i)
            branches << QStringLiteral("select %1 as tv_probe, t.* from %2 t where t.%3 = ?").arg(i).arg(table, field);
        Query query(db);
        query.setForwardOnly(true);
        query.prepare(branches.join(QStringLiteral("\nunion all\n")));
        for (const QString &value : chunk)
            query.addBindValue(value);
        ++statements;
        if (!query.exec())
            fail(db, query.lastError());
        while (query.next()) {
            const qsizetype probe = query.value(0).toLongLong();
            if (probe < 0 || probe >= chunk.size())
                continue;
            QSqlRecord row = query.record();
            row.remove(0);
            found(from + probe, row);
        }
    }
    return statements;
}

QVariant scalar(const QSqlDatabase &db, const QString &sql, const Bindings &bindings)
{
    QSqlQuery query = exec(db, sql, bindings);
    if (!query.next())
        return {};
    return query.value(0);
}

namespace {

// What the user is told for the server's common refusals; the server's own (English) text
// follows as the detail a support call needs.
// The column a value refusal names ("... for column 'km' at row 1"); "?" when none is named.
QString refusedColumn(const QString &serverText)
{
    // Newer servers qualify it: `base`.`tabela`.`km`; the last part is the column.
    static const QRegularExpression column(QStringLiteral("column (\\S+)"));
    const QRegularExpressionMatch m = column.match(serverText);
    if (!m.hasMatch())
        return QStringLiteral("?");
    QString name = m.captured(1).section(u'.', -1);
    name.remove(u'`').remove(u'\'');
    return name.isEmpty() ? QStringLiteral("?") : name;
}

QString explanationOf(const QString &code, const QString &serverText)
{
    switch (code.toInt()) {
    case 1264:  // ER_WARN_DATA_OUT_OF_RANGE
        return QString::fromUtf8("O valor está fora do intervalo aceito pelo campo %1.").arg(refusedColumn(serverText));
    case 1265:  // WARN_DATA_TRUNCATED
    case 1366:  // ER_TRUNCATED_WRONG_VALUE_FOR_FIELD
    case 1292:  // ER_TRUNCATED_WRONG_VALUE
        return QString::fromUtf8("O valor não é aceito pelo campo %1.").arg(refusedColumn(serverText));
    case 1062:  // ER_DUP_ENTRY
    case 1586:  // ER_DUP_ENTRY_WITH_KEY_NAME
        return QStringLiteral("Já existe um registro com esta chave.");
    case 1451:  // ER_ROW_IS_REFERENCED_2
    case 1217:  // ER_ROW_IS_REFERENCED
        return QStringLiteral("O registro não pode ser excluído ou alterado: há outros "
                              "registros que dependem dele.");
    case 1452:  // ER_NO_REFERENCED_ROW_2
    case 1216:  // ER_NO_REFERENCED_ROW
        return QStringLiteral("O registro se refere a outro registro que não existe.");
    case 1406:  // ER_DATA_TOO_LONG
        return QStringLiteral("Um dos valores é longo demais para o campo.");
    case 1048:  // ER_BAD_NULL_ERROR
    case 1364:  // ER_NO_DEFAULT_FOR_FIELD
        return QStringLiteral("Um campo obrigatório não foi preenchido.");
    case 1044:  // ER_DBACCESS_DENIED_ERROR
    case 1045:  // ER_ACCESS_DENIED_ERROR
    case 1142:  // ER_TABLEACCESS_DENIED_ERROR
    case 1143:  // ER_COLUMNACCESS_DENIED_ERROR
        return QStringLiteral("Acesso negado pelo servidor de dados: verifique o usuário, a "
                              "senha e as permissões.");
    case 1205:  // ER_LOCK_WAIT_TIMEOUT
        return QStringLiteral("O registro está em uso em outra estação. Tente novamente.");
    case 1213:  // ER_LOCK_DEADLOCK
        return QStringLiteral("Conflito com uma gravação de outra estação. Tente novamente.");
    default:
        return {};
    }
}

}  // namespace

QString describe(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (isConnectionLost(error))
        return QString::fromUtf8("A conexão com o servidor de dados foi perdida.\nMensagem do servidor: ") + text;
    const QString explanation = explanationOf(error.nativeErrorCode(), text);
    if (!explanation.isEmpty())
        return explanation + QStringLiteral("\nMensagem do servidor: ") + text;
    return QStringLiteral("Erro no banco de dados: ") + text;
}

bool isConnectionLost(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // CR_SERVER_GONE_ERROR, CR_SERVER_LOST, CR_CONNECTION_ERROR, CR_CONN_HOST_ERROR
    return code == "2006" || code == "2013" || code == "2002" || code == "2003" ||
           error.type() == QSqlError::ConnectionError;
}

namespace {

bool run(const QSqlDatabase &db, const char *sql)
{
    QSqlQuery query(db);
    return query.exec(QString::fromLatin1(sql));
}

}  // namespace

QVariant connectionId(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("select connection_id()")) || !query.next())
        return {};
    return query.value(0);
}

namespace {

// After a failover: whether the server the transaction ran on has left the cluster of the node
// the connection is on now. Everything that server replicated before it left is ordered before
// the view without it, so a causal read from here sees its commit, if it made one; while it is
// still a member, a commit it was certifying may yet arrive. Waits up to a minute for it to go
// (a killed node is missed within seconds).
bool leftTheCluster(const QSqlDatabase &db, const QString &server)
{
    for (int attempt = 0; attempt < 600; ++attempt) {
        QSqlQuery members(db);
        if (!members.exec(QStringLiteral("show status like 'wsrep_incoming_addresses'")))
            return false;
        if (!members.next())
            return false;  // not a cluster node: another server knows nothing of that session
        const QStringList addresses = members.value(1).toString().split(u',', Qt::SkipEmptyParts);
        bool listed = false;
        for (const QString &address : addresses)
            listed = listed || address.trimmed() == server;
        if (!listed)
            return true;
        QThread::msleep(100);
    }
    return false;
}

}  // namespace

bool settleLostConnection(const QSqlDatabase &db, const QVariant &connectionId)
{
    if (!connectionId.isValid())
        return false;
    const ConnectionState before = stateOf(db.connectionName());
    const QString transactionServer = before.transactionServer;
    const QString transactionNode = before.transactionNode.isEmpty() ? transactionServer : before.transactionNode;
    // The first statement after a drop may still meet the dead socket; the connection is then
    // opened again, a few times while the server comes back, or on the next server of its list.
    QVariant current = Sql::connectionId(db);
    for (int attempt = 0; !current.isValid() && attempt < 5; ++attempt) {
        QSqlDatabase reopened = db;
        reopened.close();
        if (!reopened.open() && !failover(db))
            QThread::msleep(1000);
        current = Sql::connectionId(db);
    }
    if (!current.isValid())
        return false;
    if (!transactionServer.isEmpty() && serverOf(db) != transactionServer) {
        // A session of another server cannot be ended from here: the transaction is final
        // once that server is out of the cluster (gone, its uncommitted work with it).
        if (!leftTheCluster(db, transactionNode))
            return false;
        causalReads(db);
        return true;
    }
    if (current == connectionId)
        return true;  // the same session is still ours: nothing was lost
    QSqlQuery kill(db);
    kill.exec(QStringLiteral("kill connection %1").arg(connectionId.toLongLong()));
    // The kill returns before the session has rolled back what it held; it is final once the
    // server lists the connection no more.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QSqlQuery listed(db);
        listed.prepare(QStringLiteral("select count(*) from information_schema.processlist where id = ?"));
        listed.addBindValue(connectionId.toLongLong());
        if (!listed.exec() || !listed.next())
            return false;
        if (listed.value(0).toInt() == 0) {
            causalReads(db);
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

namespace {

// The client library's own handle of a connection, or null when it is not a MySQL one.
MYSQL *nativeHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // Qt names the type after the structure MYSQL stands for ("st_mysql*" with Qt 6.4): a check
    // for "MYSQL*" alone found no handle, and the client's reconnection was never turned off.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "MYSQL*") != 0 && qstrcmp(handle.typeName(), "st_mysql*") != 0))
        return nullptr;
    return *static_cast<MYSQL *const *>(handle.constData());
}

// The session's id as the client knows it, without a round trip (it changes when the client
// reconnects); the server's answer where there is no handle.
QVariant sessionId(const QSqlDatabase &db)
{
    if (MYSQL *mysql = nativeHandle(db))
        return QVariant(qulonglong(mysql_thread_id(mysql)));
    const QVariant id = connectionId(db);
    return id.isValid() ? QVariant(id.toULongLong()) : QVariant();
}

void setReconnect(const QSqlDatabase &db, bool on)
{
    if (MYSQL *mysql = nativeHandle(db)) {
        my_bool value = on ? 1 : 0;
        mysql_optionsv(mysql, MYSQL_OPT_RECONNECT, &value);
    }
}

}  // namespace

namespace {

void markTransaction(const QSqlDatabase &db, bool open)
{
    QMutexLocker lock(&stateLock);
    auto it = states.find(db.connectionName());
    if (it == states.end())
        return;
    it->inTransaction = open;
    if (open) {
        it->transactionServer = serverOf(db);
        it->transactionNode = it->node;
    }
}

}  // namespace

Transaction::Transaction(const QSqlDatabase &db, bool begin) : m_db(db)
{
    if (!begin)
        return;
    // An idle connection the server dropped is replaced by this first statement, before the
    // transaction begins; from then on the client must not replace it: on a new session every
    // later statement would be committed on its own. A server that is gone is replaced by the
    // next of the connection's list.
    QSqlQuery first(m_db);
    m_active = first.exec(QStringLiteral("set autocommit = 0"));
    if (!m_active && isConnectionLost(first.lastError()) && failover(m_db))
        m_active = run(m_db, "set autocommit = 0");
    m_connectionId = sessionId(m_db);
    m_active = m_active && m_connectionId.isValid();
    setReconnect(m_db, false);
    if (m_active)
        markTransaction(m_db, true);
}

Transaction::~Transaction()
{
    if (!m_active) {
        // Committed (commit() unmarked it), never begun, or a no-op inside another
        // transaction on the same connection, which stays marked.
        if (m_connectionId.isValid())
            setReconnect(m_db, true);
        return;
    }
    run(m_db, "rollback");
    run(m_db, "set autocommit = 1");
    setReconnect(m_db, true);
    markTransaction(m_db, false);
}

void Transaction::commit()
{
    if (!m_active)
        return;
    m_active = false;
    markTransaction(m_db, false);
    if (sessionId(m_db) != m_connectionId) {
        setReconnect(m_db, true);
        run(m_db, "rollback");
        run(m_db, "set autocommit = 1");
        throw ConnectionLost(QStringLiteral("A conexão com o servidor de dados foi perdida durante a "
                                            "gravação; nada foi gravado."));
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("commit"))) {
        const QSqlError failure = query.lastError();
        const QString error = describe(failure);
        setReconnect(m_db, true);
        if (isConnectionLost(failure))
            throw CommitOutcomeUnknown(error, m_connectionId);
        run(m_db, "rollback");
        run(m_db, "set autocommit = 1");
        // A cluster refuses a commit whose rows another node changed first: nothing was kept.
        if (isRetryable(failure))
            throw Conflict(error);
        throw DbError(error);
    }
    const bool same = sessionId(m_db) == m_connectionId;
    setReconnect(m_db, true);
    run(m_db, "set autocommit = 1");
    if (!same)
        throw CommitOutcomeUnknown(QStringLiteral("A conexão com o servidor de dados foi perdida "
                                                  "durante a gravação."),
                                   m_connectionId);
}

namespace {

bool isNullValue(const QVariant &value)
{
    if (value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().isNull();
    case QMetaType::QByteArray:
        return value.toByteArray().isNull();
    case QMetaType::QDateTime:
        return !value.toDateTime().isValid();
    case QMetaType::QDate:
        return !value.toDate().isValid();
    case QMetaType::QTime:
        return !value.toTime().isValid();
    default:
        return false;
    }
}

QString timeText(const QTime &time)
{
    return time.toString(time.msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss"));
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

}  // namespace

QString literal(const QVariant &value)
{
    if (isNullValue(value))
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        return std::isfinite(number) ? QString::number(number, 'g', 17) : QStringLiteral("NULL");
    }
    case QMetaType::QDateTime: {
        // The fields as they stand: a date-time here is a wall-clock value, never an instant.
        const QDateTime at = value.toDateTime();
        return u'\'' + at.date().toString(QStringLiteral("yyyy-MM-dd")) + u' ' + timeText(at.time()) + u'\'';
    }
    case QMetaType::QDate:
        return u'\'' + value.toDate().toString(QStringLiteral("yyyy-MM-dd")) + u'\'';
    case QMetaType::QTime:
        return u'\'' + timeText(value.toTime()) + u'\'';
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return bytes.isEmpty() ? QStringLiteral("''") : QStringLiteral("X'") + QString::fromLatin1(bytes.toHex()) + u'\'';
    }
    default:
        break;
    }
    const QString text = value.toString();
    // A backslash means one thing to a server in its default mode and another under
    // NO_BACKSLASH_ESCAPES, and the client library does not always know which mode a session
    // is in: a text holding one (or a NUL) is written as its UTF-8 bytes in hexadecimal, which
    // both modes read alike; any other text only has its quotes doubled.
    if (text.contains(u'\\') || text.contains(QChar(0)))
        return QStringLiteral("_utf8mb4 X'") + QString::fromLatin1(text.toUtf8().toHex()) + u'\'';
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

Query::Query(const QSqlDatabase &db) : QSqlQuery(db) {}

bool Query::prepare(const QString &sql)
{
    m_sql = sql;
    m_named.clear();
    m_positional.clear();
    return true;
}

void Query::bindValue(const QString &placeholder, const QVariant &value)
{
    const QString name = placeholder.startsWith(u':') ? placeholder.mid(1) : placeholder;
    for (auto &[known, bound] : m_named)
        if (known == name) {
            bound = value;
            return;
        }
    m_named.emplace_back(name, value);
}

void Query::bindValue(int position, const QVariant &value)
{
    if (position < 0)
        return;
    if (size_t(position) >= m_positional.size())
        m_positional.resize(size_t(position) + 1);
    m_positional[size_t(position)] = value;
}

void Query::addBindValue(const QVariant &value)
{
    m_positional.push_back(value);
}

QString Query::statementText() const
{
    QString out;
    out.reserve(m_sql.size() + 32 * qsizetype(m_positional.size() + m_named.size()));
    const qsizetype n = m_sql.size();
    size_t nextPosition = 0;
    qsizetype i = 0;
    auto copyUntil = [&](qsizetype end) {
        out += QStringView(m_sql).mid(i, end - i);
        i = end;
    };
    while (i < n) {
        const QChar c = m_sql[i];
        if (c == u'\'' || c == u'"' || c == u'`') {
            // Quoted text or name: up to the closing quote (doubled or, outside names,
            // backslash-escaped quotes stay inside).
            qsizetype j = i + 1;
            while (j < n) {
                if (c != u'`' && m_sql[j] == u'\\') {
                    j += 2;
                    continue;
                }
                if (m_sql[j] == c) {
                    if (j + 1 < n && m_sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            copyUntil(std::min(n, j + 1));
        } else if (c == u'#' || (c == u'-' && i + 2 < n && m_sql[i + 1] == u'-' && m_sql[i + 2].isSpace())) {
            const qsizetype end = m_sql.indexOf(u'\n', i);
            copyUntil(end < 0 ? n : end);
        } else if (c == u'/' && i + 1 < n && m_sql[i + 1] == u'*') {
            const qsizetype end = m_sql.indexOf(QStringLiteral("*/"), i + 2);
            copyUntil(end < 0 ? n : end + 2);
        } else if (c == u'?') {
            out += literal(nextPosition < m_positional.size() ? m_positional[nextPosition] : QVariant());
            ++nextPosition;
            ++i;
        } else if (c == u':' && i + 1 < n && (m_sql[i + 1].isLetter() || m_sql[i + 1] == u'_') &&
                   (i == 0 || !isNameChar(m_sql[i - 1]))) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(m_sql[j]))
                ++j;
            const QString name = m_sql.mid(i + 1, j - i - 1);
            QVariant value;
            for (const auto &[known, bound] : m_named)
                if (known == name)
                    value = bound;
            out += literal(value);
            i = j;
        } else {
            ++i;
            out += c;
        }
    }
    return out;
}

bool Query::exec()
{
    return QSqlQuery::exec(statementText());
}

}  // namespace Sql
