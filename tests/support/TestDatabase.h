#pragma once

#include "core/db/Sql.h"

#include <QSqlDatabase>
#include <QString>

// A throw-away database on the test server, created with the full schema and dropped again.
// The server comes from TORVEL_TEST_DB_HOST/PORT/USER/PASSWORD, or else from the private
// server that the CTest fixture started in the build tree.
class TestDatabase {
public:
    // withSchema = false creates an empty database.
    explicit TestDatabase(bool withSchema = true);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // Parameters of the test server, without a database.
    static ConnectionParams server();

    QString name() const { return m_name; }
    QString connectionName() const { return m_connection; }
    QSqlDatabase db() const;
    ConnectionParams params() const;

    // Runs a statement on the test database and fails the test's process on error.
    void exec(const QString &sql) const;
    QVariant scalar(const QString &sql) const;

private:
    QString m_name;
    QString m_connection;
};
