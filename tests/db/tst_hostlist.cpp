#include "TestDatabase.h"
#include "core/db/Cluster.h"
#include "core/db/Sql.h"

#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <functional>

// TORVEL.INI's HostName as a list of a cluster's nodes: how it is read, which server a
// connection opens on, and that a connection lost inside a transaction is never carried on
// elsewhere.
class TestHostList : public QObject {
    Q_OBJECT

    // A port on this computer where nothing listens.
    static int deadPort()
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        return s.serverPort();  // closed again when s goes
    }

    // `lighter` runs on a connection of its own while `a`, in a heavier transaction (it adds the
    // rows `heavyRows` gives to `heavy`), holds k = 1 of t; once `lighter` holds k = 2 and waits
    // for k = 1, `a` asks for k = 2 and the cycle closes. Whichever closes it, the server undoes
    // the lighter transaction. Returns what `lighter` threw, empty when it finished.
    static QString deadlockAgainst(const QSqlDatabase &a, const ConnectionParams &params, const char *heavyRows,
                                   const std::function<void(const QSqlDatabase &)> &lighter)
    {
        QString failure;
        QThread *light = QThread::create([&] {
            failure = Sql::open("tst_retry_light", params);
            if (failure.isEmpty()) {
                try {
                    lighter(QSqlDatabase::database("tst_retry_light", false));
                } catch (const DbError &e) {
                    failure = e.text();
                }
            }
            Sql::close("tst_retry_light");
        });
        {
            Sql::Transaction transaction(a);
            Sql::exec(a, QStringLiteral("insert into heavy select seq from %1").arg(QLatin1String(heavyRows)));
            Sql::exec(a, "update t set v = v + 1 where k = 1");
            light->start();
            QThread::msleep(300);
            Sql::exec(a, "update t set v = v + 1 where k = 2");
            transaction.commit();
        }
        if (!light->wait(30000))
            failure = QStringLiteral("still waiting");
        delete light;
        return failure;
    }

private Q_SLOTS:
    void entriesAreReadWithTheirPorts()
    {
        const auto text = [](const QList<Sql::Endpoint> &list) {
            QStringList parts;
            for (const Sql::Endpoint &e : list)
                parts << e.text();
            return parts.join(u' ');
        };
        QCOMPARE(text(Sql::parseHosts("db.escritorio", 3307)), QStringLiteral("db.escritorio:3307"));
        QCOMPARE(text(Sql::parseHosts(" 10.0.0.1:3306 , node-2,10.0.0.3:4000", 3310)),
                 QStringLiteral("10.0.0.1:3306 node-2:3310 10.0.0.3:4000"));
        QCOMPARE(text(Sql::parseHosts("[::1]:3307,[fe80::2],::1", 3306)),
                 QStringLiteral("::1:3307 fe80::2:3306 ::1:3306"));
        QVERIFY(Sql::parseHosts("  ", 3306).isEmpty());
    }

    void malformedEntriesAreNamed()
    {
        for (const char *bad : {"a,,b", "a,", "host:", "host:0", "host:70000", "host:33o6", "host:+3306",
                                "dois nomes", "[::1", "[::1]3306", "a;b"}) {
            QString error;
            QVERIFY2(Sql::parseHosts(QString::fromLatin1(bad), 3306, &error).isEmpty(), bad);
            QVERIFY2(error.startsWith(QString::fromUtf8("Servidor inválido na lista de servidores")), bad);
        }
        QString error;
        Sql::parseHosts("ok:3306, ruim:x", 3306, &error);
        QVERIFY2(error.contains(QStringLiteral("\"ruim:x\"")), qPrintable(error));
        // And Sql::open refuses it without reaching a server.
        ConnectionParams p = TestDatabase::server();
        p.host = QStringLiteral("127.0.0.1:x");
        QVERIFY(Sql::open("tst_hostlist_bad", p).startsWith(QString::fromUtf8("Servidor inválido")));
        Sql::close("tst_hostlist_bad");
    }

    void opensOnTheFirstServerThatAnswers()
    {
        const ConnectionParams server = TestDatabase::server();
        const QString live = QStringLiteral("%1:%2").arg(server.host).arg(server.port);
        const int dead = deadPort();

        ConnectionParams p = server;
        p.host = QStringLiteral("127.0.0.1:%1, %2").arg(dead).arg(live);
        QCOMPARE(Sql::open("tst_hostlist", p), QString());
        QCOMPARE(Sql::serverOf(QSqlDatabase::database("tst_hostlist", false)), live);
        QCOMPARE(Sql::scalar(QSqlDatabase::database("tst_hostlist", false), "select 1").toInt(), 1);

        // A single host with the port key, as always.
        p.host = server.host;
        QCOMPARE(Sql::open("tst_hostlist", p), QString());
        QCOMPARE(Sql::serverOf(QSqlDatabase::database("tst_hostlist", false)), live);

        // None answers: each is named with its failure.
        p.host = QStringLiteral("127.0.0.1:%1,127.0.0.1:%2").arg(dead).arg(dead);
        const QString error = Sql::open("tst_hostlist", p);
        QCOMPARE(error.count(QStringLiteral("127.0.0.1:%1: ").arg(dead)), 2);
        Sql::close("tst_hostlist");
    }

    // The server ends the session in the middle of a transaction: the statements after fail,
    // none runs on a new session (where it would be committed on its own), nothing is kept.
    void connectionLostInATransactionIsNotCarriedOnElsewhere()
    {
        TestDatabase tdb(false);
        tdb.exec("create table t (id int primary key) engine=InnoDB");
        ConnectionParams p = tdb.params();
        const QString live = QStringLiteral("%1:%2").arg(p.host).arg(p.port);
        p.host = live + u',' + live;
        QCOMPARE(Sql::open("tst_hostlist_trx", p), QString());
        {
            const QSqlDatabase db = QSqlDatabase::database("tst_hostlist_trx", false);
            {
                Sql::Transaction transaction(db);
                QVERIFY(transaction.active());
                Sql::exec(db, "insert into t values (1)");
                tdb.exec(QStringLiteral("kill connection %1").arg(Sql::connectionId(db).toLongLong()));
                QVERIFY_THROWS_EXCEPTION(Sql::ConnectionLost, Sql::exec(db, "insert into t values (2)"));
                // Not run on a new session, where it would be committed alone.
                QVERIFY_THROWS_EXCEPTION(DbError, Sql::exec(db, "insert into t values (3)"));
                QVERIFY_THROWS_EXCEPTION(DbError, transaction.commit());
            }
            QCOMPARE(tdb.scalar("select count(*) from t").toInt(), 0);
            // Outside the transaction the connection is usable again (the first statement
            // may still meet the dead session and report it).
            try {
                Sql::scalar(db, "select 2");
            } catch (const Sql::ConnectionLost &) {
            }
            QCOMPARE(Sql::scalar(db, "select 2").toInt(), 2);
        }
        Sql::close("tst_hostlist_trx");
    }

    // The server undoes a transaction to break a deadlock (a cluster reports its certification
    // conflicts the same way): retrying() runs it again whole and it is stored once; the other
    // transaction is untouched, and a transaction inside another is left to its owner.
    void aTransactionTheServerUndidIsRunAgain()
    {
        TestDatabase tdb(false);
        tdb.exec("create table t (k int primary key, v int) engine=InnoDB");
        tdb.exec("create table heavy (id int primary key) engine=InnoDB");
        tdb.exec("insert into t values (1, 0), (2, 0)");
        QCOMPARE(Sql::open("tst_retry_a", tdb.params()), QString());
        const QSqlDatabase a = QSqlDatabase::database("tst_retry_a", false);

        std::atomic<int> runs{0};
        const QString failure = deadlockAgainst(a, tdb.params(), "seq_1_to_200", [&](const QSqlDatabase &b) {
            Sql::retrying(b, [&] {
                ++runs;
                Sql::Transaction transaction(b);
                Sql::exec(b, "update t set v = v + 10 where k = 2");
                Sql::exec(b, "update t set v = v + 10 where k = 1");  // waits for a
                transaction.commit();
            });
        });
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(runs.load(), 2);
        QCOMPARE(tdb.scalar("select group_concat(v order by k) from t").toString(), QStringLiteral("11,11"));
        QCOMPARE(tdb.scalar("select count(*) from heavy").toInt(), 200);

        // A statement sent on its own that the server undid is sent again by itself.
        const QString lone = deadlockAgainst(a, tdb.params(), "seq_201_to_400", [](const QSqlDatabase &c) {
            // Takes k = 2, then waits for k = 1.
            Sql::exec(c, "update t set v = v + 100 where k in (1, 2) order by k desc");
        });
        QVERIFY2(lone.isEmpty(), qPrintable(lone));
        QCOMPARE(tdb.scalar("select group_concat(v order by k) from t").toString(), QStringLiteral("112,112"));

        // Inside a transaction already open, it runs once: the outer one is its owner's to run
        // again.
        int inner = 0;
        {
            Sql::Transaction outer(a);
            QVERIFY_THROWS_EXCEPTION(Sql::Conflict, Sql::retrying(a, [&] {
                                         ++inner;
                                         throw Sql::Conflict(QStringLiteral("desfeita"));
                                     }));
        }
        QCOMPARE(inner, 1);
        Sql::close("tst_retry_a");
    }
};

QTEST_GUILESS_MAIN(TestHostList)
#include "tst_hostlist.moc"
