#include "core/db/Sql.h"

#include <QSqlError>

DbError::DbError(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}

namespace Sql {

QString open(const QString &name, const ConnectionParams &params)
{
    // An existing connection is reused, so handles that datasets hold stay valid across a
    // reconnection with other parameters.
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(kDriver, name);
    db.close();
    db.setHostName(params.host);
    db.setPort(params.port);
    db.setUserName(params.user);
    db.setPassword(params.password);
    db.setDatabaseName(params.database);
    // A dropped connection is re-established on the next statement instead of failing every
    // later command; the statement that met the drop still reports it.
    db.setConnectOptions(QStringLiteral("MYSQL_OPT_RECONNECT=1;MYSQL_OPT_CONNECT_TIMEOUT=5"));
    if (!db.open())
        return db.lastError().text().trimmed();
    return {};
}

void close(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QSqlQuery exec(const QSqlDatabase &db, const QString &sql, const Bindings &bindings)
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        throw DbError(describe(query.lastError()));
    for (const auto &[name, value] : bindings)
        query.bindValue(name.startsWith(':') ? name : ':' + name, value);
    if (!query.exec())
        throw DbError(describe(query.lastError()));
    return query;
}

QVariant scalar(const QSqlDatabase &db, const QString &sql, const Bindings &bindings)
{
    QSqlQuery query = exec(db, sql, bindings);
    if (!query.next())
        return {};
    return query.value(0);
}

QString describe(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (isConnectionLost(error))
        return QStringLiteral("A conexão com o servidor de dados foi perdida. Mensagem: ") + text;
    return QStringLiteral("Erro no banco de dados: ") + text;
}

bool isConnectionLost(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // CR_SERVER_GONE_ERROR, CR_SERVER_LOST, CR_CONNECTION_ERROR, CR_CONN_HOST_ERROR
    return code == "2006" || code == "2013" || code == "2002" || code == "2003" ||
           error.type() == QSqlError::ConnectionError;
}

Transaction::Transaction(const QSqlDatabase &db, bool begin) : m_db(db)
{
    m_active = begin && m_db.transaction();
}

Transaction::~Transaction()
{
    if (m_active)
        m_db.rollback();
}

void Transaction::commit()
{
    if (!m_active)
        return;
    m_active = false;
    if (!m_db.commit()) {
        const QString error = describe(m_db.lastError());
        m_db.rollback();
        throw DbError(error);
    }
}

}  // namespace Sql
