#include "TestFiles.h"
#include "FaultProxy.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "collection/terminals/TerminalSimulators.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

// A download is stored once whatever fails around it, no touch is dropped or given to the wrong
// collector, and nothing hangs: torvelctl against a real server, directly and through a proxy
// that loses answers or never answers.
namespace {

const QDateTime kDownloaded(QDate(2024, 5, 6), QTime(7, 0));

struct Run {
    int exitCode = -1;
    QString out, err;
    qint64 ms = 0;
};

Run torvelctl(const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(TORVELCTL), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()),
            clock.elapsed()};
}

QList<TerminalSimulator::Touch> touches(int count)
{
    QList<TerminalSimulator::Touch> list;
    for (int i = 0; i < count; ++i)
        list.append({QStringLiteral("%1").arg(0xA00000 + i % 50, 6, 16).toUpper(),
                     QDateTime(QDate(2024, 5, 5), QTime(20, 0)).addSecs(37 * i)});
    return list;
}

// A Lumet dump of `count` touches under collector LUMET1.
QStringList lumetDump(const QString &folder, int count)
{
    TerminalSimulator::Terminal lumet(TerminalSimulator::Kind::Lumet, folder);
    lumet.setIdentifier("LUMET1");
    lumet.setMemory(touches(count));
    return lumet.lumetDump(kDownloaded);
}

using TestFiles::writeAll;

}  // namespace

class TestExactlyOnce : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TestDatabase> tdb;

    int stored() const { return tdb->scalar("select count(*) from desctot").toInt(); }
    QString dumpPath() const { return env->root() + "DATALM.TMD"; }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        tdb = std::make_unique<TestDatabase>();
        env->writeIniFor(tdb->params());
    }
    void cleanup()
    {
        tdb.reset();
        env.reset();
    }

    // The server commits, the answer is lost on the way: the ingest finds its record and says
    // the download is stored; a retry stores nothing again.
    void lostCommitAnswerIsSettledByTheRecord()
    {
        QVERIFY(TerminalSimulator::writeLines(dumpPath(), lumetDump(env->programFolder(), 2000)));
        FaultProxy proxy(quint16(tdb->params().port), FaultProxy::Mode::LoseCommitAnswer);
        proxy.startListening();
        ConnectionParams through = tdb->params();
        through.port = proxy.port();
        env->writeIniFor(through);

        const Run first = torvelctl({"ingest", "--model", "lumet", "--file", dumpPath()});
        QVERIFY2(proxy.commitsCut() >= 1, qPrintable(first.err));
        QCOMPARE(stored(), 2000);
        QVERIFY2(first.exitCode == 0, qPrintable(first.err));
        QVERIFY2(!first.err.contains(QStringLiteral("Nenhum dos")), qPrintable(first.err));
        QVERIFY(!QFile::exists(dumpPath()));

        // The same file again (as a terminal that was not erased would give it).
        env->writeIniFor(tdb->params());
        QVERIFY(TerminalSimulator::writeLines(dumpPath(), lumetDump(env->programFolder(), 2000)));
        const Run again = torvelctl({"ingest", "--model", "lumet", "--file", dumpPath()});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(stored(), 2000);
        QVERIFY2(again.err.contains(QStringLiteral("já foi gravada")), qPrintable(again.err));
        QVERIFY(!QFile::exists(dumpPath()));
    }

    // A crash after the commit leaves the dump behind: the next run finishes the clean-up.
    void dumpLeftByACrashIsNotStoredAgain_data()
    {
        QTest::addColumn<QString>("model");
        QTest::newRow("lumet") << "lumet";
        QTest::newRow("watch") << "watch";
        QTest::newRow("vigia") << "vigia";
    }
    void dumpLeftByACrashIsNotStoredAgain()
    {
        QFETCH(QString, model);
        TerminalSimulator::Terminal terminal(TerminalSimulator::Kind::Lumet, env->programFolder());
        terminal.setIdentifier("00000A");
        terminal.setMemory(touches(300));
        const QStringList lines = model == "lumet"   ? terminal.lumetDump(kDownloaded)
                                  : model == "watch" ? terminal.watchDump()
                                                     : terminal.vigiaFile();
        const QString path = env->root() + "dump.txt";
        QVERIFY(TerminalSimulator::writeLines(path, lines));
        QCOMPARE(torvelctl({"ingest", "--model", model, "--file", path, "--collector", "C1"}).exitCode, 0);
        QCOMPARE(stored(), 300);
        QVERIFY(TerminalSimulator::writeLines(path, lines));  // as the crash left it
        const Run again = torvelctl({"ingest", "--model", model, "--file", path, "--collector", "C1"});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(stored(), 300);
        QVERIFY(!QFile::exists(path));
    }

    void sameQ90ListingTwiceStoresOnce()
    {
        const QString listing = env->root() + "q90.tmd";
        QStringList lines{"DESCARGA DE DADOS - Coletor Q90", "VERSÃO .........: WEB 1.4",
                          "DATA DESCARGA ..: 06/05/24", "HORA DESCARGA ..: 07:00",
                          "ID COLETOR .....: 0012", "Nº REG DESCARGA : 3", "", "DATA     HORA  iButton",
                          "-------- ----- ------"};
        lines << "05/05/24 20:00 00A001" << "05/05/24 20:10 00A002" << "05/05/24 20:20 00A003";
        QVERIFY(TerminalSimulator::writeLines(listing, lines));
        QCOMPARE(torvelctl({"ingest", "--model", "q90", "--file", listing, "--collector", "Q1"}).exitCode, 0);
        QCOMPARE(stored(), 3);
        const Run again = torvelctl({"ingest", "--model", "q90", "--file", listing, "--collector", "Q1"});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(stored(), 3);
        QVERIFY(again.err.contains(QStringLiteral("já foi gravada")));
    }

    void sameImportTwiceNeedsAgain()
    {
        const QString file = env->root() + "externa.txt";
        writeAll(file, "H 04/03/2024 23:10:00 COL001\r\n 20240304221500 02 000000BBB002\r\n"
                         " 20240304221600 02 000000BBB003\r\n");
        QCOMPARE(torvelctl({"import", file}).exitCode, 0);
        QCOMPARE(stored(), 2);
        const Run refused = torvelctl({"import", file});
        QVERIFY(refused.exitCode != 0);
        QVERIFY2(refused.err.contains(QStringLiteral("já foi importado")), qPrintable(refused.err));
        QCOMPARE(stored(), 2);
        QCOMPARE(torvelctl({"import", file, "--again"}).exitCode, 0);
        QCOMPARE(stored(), 4);
    }

    // Damaged lines that begin with "H" or "T" are neither headers nor trailers: kept, counted,
    // never silently dropped and never taken as a collector.
    void damagedHeaderAndTrailerLookalikes_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QByteArray>("dump");
        QTest::addColumn<int>("storedTouches");
        QTest::addColumn<int>("unreadable");
        const QByteArray header = "H 20240506070000 00 LUMET1\r\n";
        const QByteArray good = " 20240505200000 01       A00111 LUMET1\r\n";
        QTest::newRow("lumet T-touch") << "lumet" << header + good + "T20240505200500 01       A00112 LUMET1\r\nT 000\r\n" << 1 << 1;
        QTest::newRow("lumet H-touch") << "lumet"
                                       << header + good + "H20240505201000 01       00000A0000\r\n" + good
                                       << 1 << 2;
        QTest::newRow("lumet 4-byte character")
            << "lumet" << header + " 20240505200000 01  \xF0\x9F\x98\x80    A00111 LUMET1\r\n" + good + "T 000\r\n" << 1 << 1;
        const QByteArray watchHeader = "H                   00000A\r\n";
        const QByteArray watchTouch = "000120240505200000 01       A00111\r\n";
        QTest::newRow("watch H-touch") << "watch" << watchHeader + watchTouch + "H00220240505200500 01       A00112\r\n" + watchTouch + "T\r\n"
                                       << 1 << 2;
        QTest::newRow("watch T-touch") << "watch" << watchHeader + watchTouch + "T00220240505200500 01       A00112\r\nT\r\n" << 1 << 1;
    }
    void damagedHeaderAndTrailerLookalikes()
    {
        QFETCH(QString, model);
        QFETCH(QByteArray, dump);
        QFETCH(int, storedTouches);
        QFETCH(int, unreadable);
        const QString path = env->root() + "dump.txt";
        writeAll(path, dump);
        const Run run = torvelctl({"ingest", "--model", model, "--file", path});
        QVERIFY2(run.exitCode != 0, qPrintable(run.err));
        QCOMPARE(stored(), storedTouches);
        QVERIFY2(run.err.contains(QStringLiteral("linhas não gravadas: %1").arg(unreadable)), qPrintable(run.err));
        QCOMPARE(tdb->scalar("select count(*) from desctot where coletor <> 'LUMET1' and coletor <> '00000A'").toInt(), 0);
        QCOMPARE(tdb->scalar("select count(*) from desctot where button <> 'A00111'").toInt(), 0);
        QVERIFY(!QFile::exists(path));  // set aside, not deleted
        QVERIFY2(run.err.contains(QStringLiteral("O arquivo foi guardado em")), qPrintable(run.err));
    }

    void importTouchesAfterAnUnreadableHeaderAreKept()
    {
        const QString file = env->root() + "externa.txt";
        writeAll(file, "H 04/03/2024 23:10:00 COL001\r\n 20240304221500 02 000000BBB002\r\n"
                         "H 31/02/2024 23:xx:00 COL002\r\n 20240304221600 02 000000BBB003\r\n"
                         " 20240304221700 02 000000BBB004\r\n"
                         "H 05/03/2024 01:00:00 COL003\r\nT20240305010000 02 000000BBB005\r\nT 000\r\n");
        const Run run = torvelctl({"import", file});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("Registros importados: 2")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("ignoradas (não são toques nem cabeçalhos legíveis): 3")),
                 qPrintable(run.out));
        QCOMPARE(tdb->scalar("select group_concat(concat(coletor, ':', button) order by button) from desctot").toString(),
                 QString("COL001:BBB002,COL003:BBB005"));
    }

    // A server that accepts and never answers ends the command with a message, in bounded time.
    void silentServerDoesNotHang()
    {
        FaultProxy silent(1, FaultProxy::Mode::Silent);
        silent.startListening();
        ConnectionParams dead = tdb->params();
        dead.port = silent.port();
        env->writeIni(QStringLiteral("[CONFIG]\nCNFBD=1\n[BANCO]\nDatabase=%1\nHostName=%2\nport=%3\n"
                                     "User=%4\nPassword=%5\nTempoLimite=3\n")
                          .arg(dead.database, dead.host, QString::number(dead.port), dead.user, dead.password));
        const Run run = torvelctl({"ping"}, 60000);
        QVERIFY(run.exitCode > 0);
        QVERIFY2(run.ms < 40000, qPrintable(QString::number(run.ms)));
        QVERIFY(run.err.contains(QStringLiteral("Não foi possível conectar")));
    }
};

QTEST_GUILESS_MAIN(TestExactlyOnce)
#include "tst_exactlyonce.moc"
