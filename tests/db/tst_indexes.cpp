#include "TestDatabase.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Schema.h"

#include <QtTest>

// The tv_ indexes: added to an existing database once, never twice, and used by the statements
// they were chosen for.
class TestIndexes : public QObject {
    Q_OBJECT

    static QStringList indexNames(const QSqlDatabase &db)
    {
        QSqlQuery q = Sql::exec(db, "select distinct index_name from information_schema.statistics "
                                    "where table_schema = database() order by index_name");
        QStringList names;
        while (q.next())
            if (q.value(0).toString().startsWith("tv_"))
                names << q.value(0).toString();
        return names;
    }

private Q_SLOTS:
    void addedOnceAndUsed()
    {
        TestDatabase tdb;  // the system's schema alone, as an older installation has it
        QCOMPARE(DatabaseSetup::missingIndexes(tdb.db()).size(), DatabaseSetup::indexes().size());
        QStringList steps;
        const int created = DatabaseSetup::addIndexes(tdb.db(), [&](int, int, const QString &text) {
            steps << text;
        });
        QCOMPARE(created, int(DatabaseSetup::indexes().size()));
        QCOMPARE(steps.first(), QString::fromUtf8("Criando o índice tv_desctot_coletor_descarga (1 de 7)"));
        QCOMPARE(indexNames(tdb.db()).size(), 7);
        // The server's statistics of the touches are sampled widely, kept with the table.
        QVERIFY(tdb.scalar("select create_options from information_schema.tables where table_schema = "
                           "database() and table_name = 'desctot'")
                    .toString()
                    .contains("stats_sample_pages=2000"));
        // Again: nothing to do.
        QCOMPARE(DatabaseSetup::addIndexes(tdb.db()), 0);
        QVERIFY(DatabaseSetup::missingIndexes(tdb.db()).isEmpty());

        // The statements they serve read through them (a few rows, so the server has a choice).
        for (int i = 0; i < 200; ++i)
            tdb.exec(QStringLiteral("insert into desctot (coletor, data_descarga, data_toque, button, "
                                    "codigo_roteiro, codigo_func) values ('C%1', '2026-12-0%2 10:00:00', "
                                    "'2026-12-0%2 0%3:00:00', 'B%4', %5, %6)")
                         .arg(i % 20).arg(1 + i % 9).arg(i % 10).arg(i % 40).arg(i % 7).arg(i % 30));
        tdb.exec("analyze table desctot");
        const auto keyOf = [&](const QString &sql) {
            QSqlQuery q = Sql::exec(tdb.db(), "explain " + sql);
            return q.next() ? q.value("key").toString() : QString();
        };
        QCOMPARE(keyOf("select * from desctot where coletor = 'C1' and data_descarga = '2026-12-02 10:00:00' order by cod"),
                 QString("tv_desctot_coletor_descarga"));
        QCOMPARE(keyOf("select * from desctot where button = 'B3' and data_toque between "
                       "'2026-12-01' and '2026-12-31'"),
                 QString("tv_desctot_button_toque"));
        QCOMPARE(keyOf("select * from desctot where codigo_roteiro = 3 and data_toque between "
                       "'2026-12-02' and '2026-12-03'"),
                 QString("tv_desctot_roteiro_toque"));
        QCOMPARE(keyOf("select distinct coletor, data_descarga from desctot where data_descarga >= "
                       "'0001-01-01' and data_descarga <= '9999-12-31' and codigo_func = 4"),
                 QString("tv_desctot_func_descarga"));
    }

    void aNewDatabaseGetsThemAfterTheSchema()
    {
        const ConnectionParams server = TestDatabase::server();
        const QString name = QStringLiteral("tv_idx_%1").arg(QCoreApplication::applicationPid());
        QStringList steps;
        DatabaseSetup::createDatabase(server, name, [&](const QString &s) { steps << s; });
        QCOMPARE(steps.mid(steps.size() - 2), (QStringList{"Criando tabelas", QString::fromUtf8("Criando índices")}));
        ConnectionParams p = server;
        p.database = name;
        QVERIFY(Sql::open("tv_idx", p).isEmpty());
        QVERIFY(DatabaseSetup::missingIndexes(QSqlDatabase::database("tv_idx", false)).isEmpty());
        Sql::exec(QSqlDatabase::database("tv_idx", false), "drop database `" + name + "`");
        Sql::close("tv_idx");
    }
};

QTEST_GUILESS_MAIN(TestIndexes)
#include "tst_indexes.moc"
