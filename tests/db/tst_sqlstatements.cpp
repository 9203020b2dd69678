#include "FaultProxy.h"
#include "TestDatabase.h"
#include "core/db/Sql.h"

#include <QDateTime>
#include <QSqlError>
#include <QtTest>

// Statements carry their values in their text, written by the client library: whatever a user
// types comes back exactly as typed and never changes the statement, and each statement costs
// one round trip to the server.
class TestSqlStatements : public QObject {
    Q_OBJECT

    static QStringList awkwardTexts()
    {
        return {QStringLiteral("O'Brien"),
                QStringLiteral("a\\b\\'c\\"),
                QStringLiteral("\"aspas\" e `crases`"),
                QStringLiteral("x'; drop table valores; --"),
                QStringLiteral("? e :pvalor e :: e ?"),
                QString::fromUtf8("ação ÁÇÜ € ñ 中"),
                QStringLiteral("tab\there\nline\rreturn"),
                QString(QStringLiteral("nul")) + QChar(0) + QStringLiteral("after") + QChar(0x1a),
                QStringLiteral("/* not a comment */ -- nor this # nor that")};
    }

    static void roundTrip(const TestDatabase &tdb)
    {
        tdb.exec("create table valores (id int primary key, texto varchar(200)) default charset=utf8mb4");
        const QStringList texts = awkwardTexts();
        for (int i = 0; i < texts.size(); ++i)
            Sql::exec(tdb.db(), QStringLiteral("insert into valores (id, texto) values (:pid, :ptexto)"),
                      {{":pid", i}, {":ptexto", texts[i]}});
        for (int i = 0; i < texts.size(); ++i) {
            Sql::Query q(tdb.db());
            q.prepare(QStringLiteral("select texto, texto = ? from valores where id = ?"));
            q.addBindValue(texts[i]);
            q.addBindValue(i);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), texts[i]);
            QCOMPARE(q.value(1).toInt(), 1);
        }
        QCOMPARE(tdb.scalar("select count(*) from valores").toInt(), texts.size());
        tdb.exec("drop table valores");
    }

private Q_SLOTS:
    void typedTextComesBackExactlyAndNeverChangesTheStatement()
    {
        TestDatabase tdb(false);
        roundTrip(tdb);
        // With backslashes read as plain characters the client library escapes differently.
        tdb.exec("set session sql_mode = concat(@@sql_mode, ',NO_BACKSLASH_ESCAPES')");
        roundTrip(tdb);
    }

    void placeholdersOnlyOutsideQuotesAndComments()
    {
        TestDatabase tdb(false);
        Sql::Query q(tdb.db());
        q.prepare(QStringLiteral("select '?' as a, ':pnome' as b, 'it''s ?' as c, ? as d, :pnome as e, "
                                 "\"?\" as f /* ? :pnome */, ? as g -- ?\n"));
        q.addBindValue(QStringLiteral("primeiro"));
        q.addBindValue(7);
        q.bindValue(QStringLiteral(":pnome"), QStringLiteral("NOME"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("?"));
        QCOMPARE(q.value(1).toString(), QStringLiteral(":pnome"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("it's ?"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("primeiro"));
        QCOMPARE(q.value(4).toString(), QStringLiteral("NOME"));
        QCOMPARE(q.value(5).toString(), QStringLiteral("?"));
        QCOMPARE(q.value(6).toInt(), 7);
    }

    void valuesOfEveryKind()
    {
        TestDatabase tdb(false);
        tdb.exec("create table tipos (id int primary key, t varchar(20), n bigint, d double, "
                 "m datetime, dia date, hora time, b varbinary(8))");
        const QDateTime moment(QDate(2018, 11, 4), QTime(0, 30, 15));
        Sql::exec(tdb.db(),
                  QStringLiteral("insert into tipos values (1, :t, :n, :d, :m, :dia, :hora, :b)"),
                  {{":t", QString()}, {":n", Q_INT64_C(-9007199254740993)}, {":d", 0.1},
                   {":m", moment}, {":dia", QDate(2024, 2, 29)}, {":hora", QTime(23, 59, 59)},
                   {":b", QByteArray("\x00\x01'\\", 4)}});
        Sql::exec(tdb.db(), QStringLiteral("insert into tipos (id, t, m) values (2, :t, :m)"),
                  {{":t", QStringLiteral("")}, {":m", QVariant()}});
        QSqlQuery q = Sql::exec(tdb.db(), QStringLiteral("select t is null, n, d, date_format(m, '%d/%m/%Y %H:%i:%s'), "
                                                         "dia, hora, hex(b) from tipos order by id"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);  // a null text is NULL
        QCOMPARE(q.value(1).toLongLong(), Q_INT64_C(-9007199254740993));
        QCOMPARE(q.value(2).toDouble(), 0.1);
        QCOMPARE(q.value(3).toString(), QStringLiteral("04/11/2018 00:30:15"));
        QCOMPARE(q.value(4).toDate(), QDate(2024, 2, 29));
        QCOMPARE(q.value(5).toTime(), QTime(23, 59, 59));
        QCOMPARE(q.value(6).toString(), QStringLiteral("0001275C"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);  // an empty text is a text
        QVERIFY(q.isNull(3));
    }

    void oneRoundTripPerStatement()
    {
        TestDatabase tdb(false);
        tdb.exec("create table contagem (id int primary key, nome varchar(20))");
        ConnectionParams params = tdb.params();
        FaultProxy proxy(quint16(params.port));
        proxy.startListening();
        params.host = QStringLiteral("127.0.0.1");
        params.port = proxy.port();
        const QString name = QStringLiteral("contagem");
        QCOMPARE(Sql::open(name, params), QString());
        {
            const QSqlDatabase db = QSqlDatabase::database(name);
            // A statement answered first: whatever the connection's opening sent has been
            // counted by the proxy before the count starts again.
            Sql::scalar(db, QStringLiteral("select 1"));
            proxy.resetRoundTrips();
            Sql::exec(db, QStringLiteral("insert into contagem values (:pid, :pnome)"), {{":pid", 1}, {":pnome", "UM"}});
            QCOMPARE(proxy.roundTrips(), 1);

            proxy.resetRoundTrips();
            Sql::Query insert = Sql::prepare(db, QStringLiteral("insert into contagem values (?, ?)"));
            for (int id = 2; id <= 4; ++id) {
                insert.bindValue(0, id);
                insert.bindValue(1, QStringLiteral("N%1").arg(id));
                Sql::run(insert);
            }
            QCOMPARE(proxy.roundTrips(), 3);
            QCOMPARE(Sql::scalar(db, QStringLiteral("select group_concat(nome order by id) from contagem")).toString(),
                     QStringLiteral("UM,N2,N3,N4"));
        }
        Sql::close(name);
        proxy.stop();
    }
};

QTEST_MAIN(TestSqlStatements)
#include "tst_sqlstatements.moc"
