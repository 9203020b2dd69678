#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "collection/terminals/TerminalSimulators.h"

#include <QProcess>
#include <QtTest>

// torvelctl ingest as a batch job runs it: the dump in, the records stored, tmpdesc out.
class TestIngestCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lumetDumpIngestedFromTheCommandLine()
    {
        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        TerminalSimulator::Terminal lumet(TerminalSimulator::Kind::Lumet, env.programFolder());
        lumet.setIdentifier("LUMET1");
        lumet.setMemory({{"1B2C3D", QDateTime(QDate(2026, 12, 9), QTime(8, 0, 5))},
                         {"0A0B0C", QDateTime(QDate(2026, 12, 9), QTime(8, 9, 0))}});
        const QString dump = env.root() + "dump.tmd";
        QVERIFY(TerminalSimulator::writeLines(
            dump, lumet.lumetDump(QDateTime(QDate(2026, 12, 9), QTime(18, 0)))));

        QProcess p;
        p.start(QStringLiteral(TORVELCTL), {"ingest", "--model", "lumet", "--file", dump});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 0);
        const QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 2);
        const QStringList first = rows[0].split('\t');
        QCOMPARE(first.size(), 7);
        QCOMPARE(first[1], QString("LUMET1"));
        QCOMPARE(first[3], QString("1B2C3D"));
        QCOMPARE(first[4], QString("09/12/2026 08:00:05"));
        QCOMPARE(first[6], QString::fromUtf8("Não cadastrado"));
        QCOMPARE(tdb.scalar("select count(*) from desctot").toInt(), 2);
        QVERIFY(!QFile::exists(dump));  // every touch stored: the dump goes
        QVERIFY2(!err.isEmpty(), "the log goes to stderr");

        QProcess missing;
        missing.start(QStringLiteral(TORVELCTL), {"ingest", "--model", "lumet", "--file", dump});
        QVERIFY(missing.waitForFinished(60000));
        QCOMPARE(missing.exitCode(), 1);
        QProcess unknown;
        unknown.start(QStringLiteral(TORVELCTL), {"ingest", "--model", "x"});
        QVERIFY(unknown.waitForFinished(60000));
        QCOMPARE(unknown.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestIngestCli)
#include "tst_ingestcli.moc"
