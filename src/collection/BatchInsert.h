#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "core/db/Sql.h"

#include <map>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// A statement the server refused, or a server that is gone (everything after fails as well),
// or a transaction the server undid whole (a deadlock, a cluster's conflict: it may be run again).
struct InsertFailed {
    QString text;
    bool connectionLost = false;
    bool retryable = false;
};

// Rows of one table sent many to a statement, so storing a download or an import costs a few
// round trips whatever its size. Five thousand rows of a download (about 80 bytes each as the
// client sends them) stay well below the smallest packet limit a server is set up with (1 MB)
// and the 65,535 parameters a statement may hold.
//
// A statement the server refuses changed nothing (the server undoes a statement whole): its
// rows are sent again one at a time with the single-row insert, so each refused row is found,
// counted and the rest still stored; the caller decides whether a refusal undoes everything.
class BatchInsert {
public:
    static constexpr int kRowsPerStatement = 5000;

    // `head`: "insert into T (c1, c2, ...) values"; `single`: the one-row statement with the
    // named parameters `names`, in the columns' order.
    BatchInsert(const QSqlDatabase &db, QString head, QString single, QStringList names);

    // Throws InsertFailed when the server is gone or undid the transaction.
    void store(const QList<QVariantList> &rows);

    int stored() const { return m_stored; }
    int refused() const { return m_refused; }
    QString firstRefusal() const { return m_firstRefusal; }

private:
    Sql::Query &statement(int rows);
    void storeOne(const QVariantList &row);

    QSqlDatabase m_db;
    QString m_head;
    QString m_single;
    QStringList m_names;
    std::map<int, Sql::Query> m_statements;
    std::optional<Sql::Query> m_singleQuery;
    int m_stored = 0;
    int m_refused = 0;
    QString m_firstRefusal;
};
