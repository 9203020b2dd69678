#include "TestDatabase.h"

#include "core/db/Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <cstdlib>

#ifndef TORVEL_TEST_DB_DIR
#define TORVEL_TEST_DB_DIR ""
#endif

namespace {

QString readFirstLine(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readLine()).trimmed();
}

[[noreturn]] void die(const QString &what)
{
    std::fprintf(stderr, "TestDatabase: %s\n", qPrintable(what));
    std::abort();
}

}  // namespace

ConnectionParams TestDatabase::server()
{
    ConnectionParams p;
    const QString dir = QStringLiteral(TORVEL_TEST_DB_DIR);
    p.host = qEnvironmentVariable("TORVEL_TEST_DB_HOST", QStringLiteral("127.0.0.1"));
    p.port = qEnvironmentVariableIsSet("TORVEL_TEST_DB_PORT")
                 ? qEnvironmentVariableIntValue("TORVEL_TEST_DB_PORT")
                 : readFirstLine(dir + "/port").toInt();
    p.user = qEnvironmentVariable("TORVEL_TEST_DB_USER", QStringLiteral("torvel"));
    p.password = qEnvironmentVariableIsSet("TORVEL_TEST_DB_PASSWORD")
                     ? qEnvironmentVariable("TORVEL_TEST_DB_PASSWORD")
                     : readFirstLine(dir + "/password");
    if (p.port <= 0)
        die("no test server: start it with ctest (fixture) or set TORVEL_TEST_DB_PORT");
    return p;
}

TestDatabase::TestDatabase(bool withSchema)
{
    static int counter = 0;
    m_name = QStringLiteral("tst_%1_%2_%3")
                 .arg(QCoreApplication::applicationPid())
                 .arg(++counter)
                 .arg(QRandomGenerator::global()->bounded(100000));
    m_connection = "testdb_" + m_name;

    const QString admin = m_connection + "_admin";
    const QString err = Sql::open(admin, server());
    if (!err.isEmpty())
        die("cannot reach the test server: " + err);
    {
        QSqlQuery q(QSqlDatabase::database(admin));
        if (!q.exec("create database `" + m_name + "`"))
            die(q.lastError().text());
    }
    Sql::close(admin);

    const QString err2 = Sql::open(m_connection, params());
    if (!err2.isEmpty())
        die("cannot open the test database: " + err2);
    if (withSchema)
        for (const QString &statement : Schema::statements())
            exec(statement);
}

TestDatabase::~TestDatabase()
{
    {
        QSqlQuery q(db());
        q.exec("drop database if exists `" + m_name + "`");
    }
    Sql::close(m_connection);
}

QSqlDatabase TestDatabase::db() const { return QSqlDatabase::database(m_connection); }

ConnectionParams TestDatabase::params() const
{
    ConnectionParams p = server();
    p.database = m_name;
    return p;
}

void TestDatabase::exec(const QString &sql) const
{
    QSqlQuery q(db());
    if (!q.exec(sql))
        die(sql + ": " + q.lastError().text());
}

QVariant TestDatabase::scalar(const QString &sql) const
{
    QSqlQuery q(db());
    if (!q.exec(sql))
        die(sql + ": " + q.lastError().text());
    return q.next() ? q.value(0) : QVariant();
}
