#include "TestDatabase.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

// torvelctl as a script would run it: the built program, its exit status and its output.
class TestTorvelctl : public QObject {
    Q_OBJECT

    struct Run {
        int status;
        QString out;
        QString err;
    };

    static Run run(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(TORVEL_BINARY_DIR "/src/cli/torvelctl"), args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static QStringList server()
    {
        const ConnectionParams s = TestDatabase::server();
        return {"--host", s.host, "--port", QString::number(s.port), "--user", s.user,
                "--password", s.password};
    }

private Q_SLOTS:
    void helpAndUnknownCommands()
    {
        TestEnvironment env;
        const Run help = run({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("create-database"));
        const Run unknown = run({"nada"});
        QCOMPARE(unknown.status, 2);
        QVERIFY(unknown.err.contains("Comando desconhecido"));
        const Run missing = run({"create-database", "--host"});
        QCOMPARE(missing.status, 2);
    }

    void createDatabaseBuildsTheSchema()
    {
        TestEnvironment env;
        const QString name = QStringLiteral("tst_ctl_%1").arg(QCoreApplication::applicationPid());
        const Run created = run(QStringList{"create-database", name} + server());
        QCOMPARE(created.status, 0);
        QVERIFY(created.out.contains("Banco de dados criado!"));
        TestDatabase admin(false);
        // The system's fourteen tables, and the program's own record of downloads.
        QCOMPARE(admin.scalar("select count(*) from information_schema.tables where table_schema "
                              "= '" + name + "' and table_name not like 'tv\\_%'")
                     .toInt(),
                 14);
        QCOMPARE(admin.scalar("select count(*) from `" + name + "`.tv_descargas").toInt(), 0);
        QCOMPARE(admin.scalar("select count(*) from `" + name + "`.modem").toInt(), 12);
        // A second time the server refuses: the status says so.
        const Run again = run(QStringList{"create-database", name} + server());
        QCOMPARE(again.status, 1);
        QVERIFY(again.err.contains(QString::fromUtf8("Não foi possível criar o banco ") + name));
        admin.exec("drop database `" + name + "`");
    }

    void unsafeNamesNeverReachTheServer()
    {
        TestEnvironment env;
        const Run r = run(QStringList{"create-database", "x`; drop database mysql; --"} + server());
        QCOMPARE(r.status, 1);
        TestDatabase admin(false);
        QCOMPARE(admin.scalar("select count(*) from information_schema.schemata where "
                              "schema_name = 'mysql'")
                     .toInt(),
                 1);
    }

    void connectionFromTheProgramFolderIni()
    {
        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        QCOMPARE(run({"ping"}).status, 0);
        QCOMPARE(run({"ini-get", "BANCO", "Database"}).out.trimmed(), tdb.name());
        QCOMPARE(run({"ini-set", "CONFIG", "EXCEL", "1"}).status, 0);
        QCOMPARE(run({"ini-get", "CONFIG", "EXCEL"}).out.trimmed(), QString("1"));
        QCOMPARE(run({"ping", "--port", "1"}).status, 1);
    }
};

QTEST_GUILESS_MAIN(TestTorvelctl)
#include "tst_torvelctl.moc"
