#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "core/db/Sql.h"

#include <map>
#include <QSqlRecord>
#include <QString>
#include <optional>

// The registry questions an ingest asks for every touch: the data module's one-field count and
// lookup ("select count(*) as total from T where F = :pcampo", "select * from T where F =
// :pcampo", the value bound as text), each statement prepared once and each answer remembered.
// The registries do not change while one ingest runs, so an identifier touched a thousand
// times costs its statements once. Live for one ingest only; throws DbError.
class RegistryLookups {
public:
    explicit RegistryLookups(const QSqlDatabase &db);

    int CountByField(const QString &value, const QString &field, const QString &table);
    // The first matching row, nullopt when none.
    std::optional<QSqlRecord> FindByField(const QString &value, const QString &field,
                                          const QString &table);

    // "Não cadastrado", "Referência errada", "Não associado" or the owner's name.
    QString ClassifyIdentifier(const QString &identifier);

    // Asks the server, in a few statements, every answer CountByField and FindByField would
    // ask it for each of `values` on `field` of `table`, and remembers them, so a download's
    // thousands of touches cost a fixed number of round trips. Each value has a branch of its
    // own comparing the field with it, as the one-field statement does, so the server matches
    // exactly where that statement would (letter case, accents, trailing blanks).
    void prefetch(const QStringList &values, const QString &field, const QString &table);
    // The same for everything ClassifyIdentifier asks of the identifiers: the registry, then
    // the owners of those that have a reference.
    void prefetchClassification(const QStringList &identifiers);

    // Statements sent to the server so far (answers not yet known).
    int statementsRun() const { return m_statementsRun; }

private:
    Sql::Query &prepared(const QString &sql);
    // The statement `sql` run with `value` as :pcampo, its rows still to be read.
    Sql::Query &ranWith(const QString &sql, const QString &value);
    QString owner(const QString &code, const QString &field, const QString &table,
                  const QString &nameField);

    QSqlDatabase m_db;
    std::map<QString, Sql::Query> m_statements;
    QHash<QString, int> m_counts;
    QHash<QString, std::optional<QSqlRecord>> m_rows;
    QHash<QString, QString> m_classes;
    int m_statementsRun = 0;
};

// One identifier's classification on the shared connection, for callers outside an ingest.
QString ClassifyIdentifier(const QString &identifier);
