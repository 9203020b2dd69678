#include "collection/BatchInsert.h"

#include "core/db/Cluster.h"
#include "core/db/Sql.h"

#include <QSqlError>

namespace {

InsertFailed failure(const QSqlError &error)
{
    return InsertFailed{Sql::describe(error), Sql::isConnectionLost(error), Sql::isRetryable(error)};
}

// After these, the rows sent one at a time would go into a new transaction of their own.
bool endsTheTransaction(const QSqlError &error)
{
    return Sql::isConnectionLost(error) || Sql::isRetryable(error);
}

}  // namespace

BatchInsert::BatchInsert(const QSqlDatabase &db, QString head, QString single, QStringList names)
    : m_db(db), m_head(std::move(head)), m_single(std::move(single)), m_names(std::move(names)) {}

void BatchInsert::store(const QList<QVariantList> &rows)
{
    for (qsizetype from = 0; from < rows.size(); from += kRowsPerStatement) {
        const qsizetype count = qMin<qsizetype>(kRowsPerStatement, rows.size() - from);
        Sql::Query &insert = statement(int(count));
        for (qsizetype i = from; i < from + count; ++i)
            for (const QVariant &value : rows[i])
                insert.addBindValue(value);
        if (insert.exec()) {
            m_stored += int(count);
            continue;
        }
        const QSqlError error = insert.lastError();
        if (endsTheTransaction(error))
            throw failure(error);
        for (qsizetype i = from; i < from + count; ++i)
            storeOne(rows[i]);
    }
}

Sql::Query &BatchInsert::statement(int rows)
{
    auto it = m_statements.find(rows);
    if (it == m_statements.end()) {
        const QString one = QStringLiteral("(") + QStringList(m_names.size(), QStringLiteral("?")).join(QStringLiteral(", ")) +
                            QStringLiteral(")");
        it = m_statements.try_emplace(rows, m_db).first;
        it->second.setForwardOnly(true);
        it->second.prepare(m_head + u'\n' + QStringList(rows, one).join(u','));
    }
    return it->second;
}

void BatchInsert::storeOne(const QVariantList &row)
{
    if (!m_singleQuery) {
        m_singleQuery.emplace(m_db);
        if (!m_singleQuery->prepare(m_single))
            throw failure(m_singleQuery->lastError());
    }
    for (qsizetype i = 0; i < m_names.size(); ++i)
        m_singleQuery->bindValue(m_names[i], row.value(i));
    if (m_singleQuery->exec()) {
        ++m_stored;
        return;
    }
    const QSqlError error = m_singleQuery->lastError();
    if (endsTheTransaction(error))
        throw failure(error);
    if (m_refused++ == 0)
        m_firstRefusal = Sql::describe(error);
}
