#include "collection/ClassifyIdentifier.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"

#include <QSqlError>
#include <QVector>

namespace {

QString key(const QString &sql, const QString &value) { return sql + QChar(0x1f) + value; }

QString countSql(const QString &field, const QString &table)
{
    return "select count(*) as total from " + table + " where " + field + " = :pcampo";
}

QString findSql(const QString &field, const QString &table)
{
    return "select * from " + table + " where " + field + " = :pcampo";
}

}  // namespace

RegistryLookups::RegistryLookups(const QSqlDatabase &db) : m_db(db) {}

Sql::Query &RegistryLookups::prepared(const QString &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        it = m_statements.try_emplace(sql, m_db).first;
        it->second.setForwardOnly(true);
        it->second.prepare(sql);
    }
    return it->second;
}

Sql::Query &RegistryLookups::ranWith(const QString &sql, const QString &value)
{
    Sql::Query &query = prepared(sql);
    query.bindValue(QStringLiteral(":pcampo"), QVariant(value));
    ++m_statementsRun;
    if (!query.exec())
        throw DbError(Sql::describe(query.lastError()));
    return query;
}

int RegistryLookups::CountByField(const QString &value, const QString &field, const QString &table)
{
    const QString sql = countSql(field, table);
    const QString k = key(sql, value);
    if (const auto it = m_counts.constFind(k); it != m_counts.constEnd())
        return it.value();
    Sql::Query &query = ranWith(sql, value);
    const int total = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    m_counts.insert(k, total);
    return total;
}

std::optional<QSqlRecord> RegistryLookups::FindByField(const QString &value, const QString &field,
                                                       const QString &table)
{
    const QString sql = findSql(field, table);
    const QString k = key(sql, value);
    if (const auto it = m_rows.constFind(k); it != m_rows.constEnd())
        return it.value();
    Sql::Query &query = ranWith(sql, value);
    std::optional<QSqlRecord> row;
    if (query.next())
        row = query.record();
    query.finish();
    m_rows.insert(k, row);
    return row;
}

void RegistryLookups::prefetch(const QStringList &values, const QString &field, const QString &table)
{
    const QString counting = countSql(field, table);
    const QString finding = findSql(field, table);
    QStringList wanted;
    for (const QString &value : values)
        if (!m_rows.contains(key(finding, value)) && !wanted.contains(value))
            wanted << value;
    QVector<int> counts(wanted.size(), 0);
    QVector<std::optional<QSqlRecord>> firsts(wanted.size());
    m_statementsRun += Sql::probeEach(m_db, table, field, wanted, [&](qsizetype i, const QSqlRecord &row) {
        if (counts[i]++ == 0)
            firsts[i] = row;
    });
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        m_counts.insert(key(counting, wanted[i]), counts[i]);
        m_rows.insert(key(finding, wanted[i]), firsts[i]);
    }
}

void RegistryLookups::prefetchClassification(const QStringList &identifiers)
{
    QStringList codes;
    for (const QString &identifier : identifiers)
        codes << identifier.left(12);
    prefetch(codes, QStringLiteral("codigo_button"), QStringLiteral("buttons"));
    const QString finding = findSql(QStringLiteral("codigo_button"), QStringLiteral("buttons"));
    QStringList events, people, places;
    for (const QString &code : codes) {
        const auto row = m_rows.value(key(finding, code));
        if (!row)
            continue;
        const QString reference = row->value("referencia").toString().left(1);
        if (reference == u"E")
            events << code;
        else if (reference == u"F")
            people << code;
        else if (reference == u"L")
            places << code;
    }
    prefetch(events, QStringLiteral("button_evento"), QStringLiteral("eventos"));
    prefetch(people, QStringLiteral("memoria"), QStringLiteral("funcs"));
    prefetch(places, QStringLiteral("button_local"), QStringLiteral("locais"));
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
