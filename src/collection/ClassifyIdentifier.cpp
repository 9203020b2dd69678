#include "collection/ClassifyIdentifier.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"

#include <QSqlError>

namespace {

QString key(const QString &sql, const QString &value) { return sql + QChar(0x1f) + value; }

}  // namespace

RegistryLookups::RegistryLookups(const QSqlDatabase &db) : m_db(db) {}

QSqlQuery &RegistryLookups::prepared(const QString &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            throw DbError(Sql::describe(query.lastError()));
        it = m_statements.insert(sql, query);
    }
    return it.value();
}

int RegistryLookups::CountByField(const QString &value, const QString &field, const QString &table)
{
    const QString sql = "select count(*) as total from " + table + " where " + field + " = :pcampo";
    const QString k = key(sql, value);
    if (const auto it = m_counts.constFind(k); it != m_counts.constEnd())
        return it.value();
    QSqlQuery &query = prepared(sql);
    query.bindValue(QStringLiteral(":pcampo"), QVariant(value));
    ++m_statementsRun;
    if (!query.exec())
        throw DbError(Sql::describe(query.lastError()));
    const int total = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    m_counts.insert(k, total);
    return total;
}

std::optional<QSqlRecord> RegistryLookups::FindByField(const QString &value, const QString &field,
                                                       const QString &table)
{
    const QString sql = "select * from " + table + " where " + field + " = :pcampo";
    const QString k = key(sql, value);
    if (const auto it = m_rows.constFind(k); it != m_rows.constEnd())
        return it.value();
    QSqlQuery &query = prepared(sql);
    query.bindValue(QStringLiteral(":pcampo"), QVariant(value));
    ++m_statementsRun;
    if (!query.exec())
        throw DbError(Sql::describe(query.lastError()));
    std::optional<QSqlRecord> row;
    if (query.next())
        row = query.record();
    query.finish();
    m_rows.insert(k, row);
    return row;
}

QString RegistryLookups::owner(const QString &code, const QString &field, const QString &table,
                               const QString &nameField)
{
    const auto row = FindByField(code, field, table);
    return row ? row->value(nameField).toString() : QStringLiteral("Referência errada");
}

QString RegistryLookups::ClassifyIdentifier(const QString &identifier)
{
    const QString code = identifier.left(12);
    if (const auto it = m_classes.constFind(code); it != m_classes.constEnd())
        return it.value();
    QString description;
    // One lookup answers both whether the identifier is registered and whose it is.
    const auto button = FindByField(code, QStringLiteral("codigo_button"), QStringLiteral("buttons"));
    if (!button) {
        description = QStringLiteral("Não cadastrado");
    } else {
        const QString reference = button->value("referencia").toString().left(1);
        if (reference == u"E")
            description = owner(code, "button_evento", "eventos", "desc_evento");
        else if (reference == u"F")
            description = owner(code, "memoria", "funcs", "nome_func");
        else if (reference == u"L")
            description = owner(code, "button_local", "locais", "nome_local");
        else
            description = QStringLiteral("Não associado");
    }
    m_classes.insert(code, description);
    return description;
}

QString ClassifyIdentifier(const QString &identifier)
{
    RegistryLookups lookups(TdmzDados::instance()->db());
    return lookups.ClassifyIdentifier(identifier);
}
