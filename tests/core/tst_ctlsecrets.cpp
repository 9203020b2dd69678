#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "platform/IniFile.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

// torvelctl takes the database password without it showing in the process list (environment,
// standard input), and writes TORVEL.INI only under names that read back as themselves.
class TestCtlSecrets : public QObject {
    Q_OBJECT

    struct Run {
        int status;
        QString out;
        QString err;
    };

    static Run run(const QStringList &args, const QByteArray &input = {},
                   const QString &passwordVariable = {}, bool setVariable = false)
    {
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("TORVEL_DB_PASSWORD");
        if (setVariable)
            environment.insert("TORVEL_DB_PASSWORD", passwordVariable);
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(TORVELCTL), args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private Q_SLOTS:
    void passwordFromTheEnvironment()
    {
        TestEnvironment env;
        TestDatabase tdb(false);
        ConnectionParams wrong = tdb.params();
        const QString right = wrong.password;
        wrong.password = "errada";
        env.writeIniFor(wrong);

        QCOMPARE(run({"ping"}).status, 1);
        QCOMPARE(run({"ping"}, {}, right, true).status, 0);
        // --password still wins over the environment.
        QCOMPARE(run({"ping", "--password", "errada"}, {}, right, true).status, 1);
        QCOMPARE(run({"ping", "--password", right}, {}, "errada", true).status, 0);
        QVERIFY(run({"--help"}).out.contains("TORVEL_DB_PASSWORD"));
    }

    void iniSetTakesTheValueFromStandardInput()
    {
        TestEnvironment env;
        const Run set = run({"ini-set", "BANCO", "Password", "--stdin"}, "s3 cr=t;[x]\nresto\n");
        QCOMPARE(set.status, 0);
        QCOMPARE(IniFile(env.iniPath()).readString("BANCO", "Password"), QString("s3 cr=t;[x]"));
        QCOMPARE(run({"ini-set", "BANCO", "Password", "--stdin"}, "windows\r\n").status, 0);
        QCOMPARE(IniFile(env.iniPath()).readString("BANCO", "Password"), QString("windows"));
        QCOMPARE(run({"ini-set", "BANCO", "Password", "--stdin"}).status, 0);  // empty input
        QCOMPARE(IniFile(env.iniPath()).readString("BANCO", "Password", "def"), QString());
        // A value on the command line besides --stdin is a usage error.
        QCOMPARE(run({"ini-set", "BANCO", "Password", "x", "--stdin"}, "y\n").status, 2);
        QCOMPARE(IniFile(env.iniPath()).readString("BANCO", "Password", "def"), QString());
    }

    void iniSetRefusesNamesThatWouldWriteAnotherEntry_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::newRow("line break in the key") << "BANCO" << "Password\n[CONFIG]\nCNFBD";
        QTest::newRow("carriage return in the key") << "BANCO" << "a\rb";
        QTest::newRow("line break in the section") << "BANCO]\nPassword=x\n[Y" << "k";
        QTest::newRow("bracket in the section") << "A[B" << "k";
        QTest::newRow("closing bracket in the section") << "A]B" << "k";
        QTest::newRow("equals in the key") << "BANCO" << "Password=x";
        QTest::newRow("equals in the section") << "A=B" << "k";
        QTest::newRow("bracket in the key") << "BANCO" << "[CONFIG]";
        QTest::newRow("empty key") << "BANCO" << "";
    }

    void iniSetRefusesNamesThatWouldWriteAnotherEntry()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        TestEnvironment env;
        env.writeIni("[BANCO]\nPassword=antiga\n");
        const Run r = run({"ini-set", section, key, "nova"});
        QVERIFY(r.status != 0);
        QVERIFY2(r.err.contains("inválido"), qPrintable(r.err));
        QFile ini(env.iniPath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[BANCO]\nPassword=antiga\n"));
    }
};

QTEST_MAIN(TestCtlSecrets)
#include "tst_ctlsecrets.moc"
