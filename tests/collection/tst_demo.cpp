#include "CollectionDriving.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "collection/Demo.h"
#include "collection/DumpFormats.h"
#include "collection/TfmComunicacao.h"
#include "collection/terminals/TerminalSimulators.h"
#include "core/TdmzDados.h"
#include "platform/IniFile.h"
#include "platform/LocalTable.h"
#include "reports/ConsistencyAnalysis.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

// The demonstration company and the shipped simulator programs, as a newcomer meets them.
class TestDemo : public QObject {
    Q_OBJECT

    static int run(const QString &program, const QStringList &args, const QByteArray &input = {},
                   QString *out = nullptr)
    {
        QProcess p;
        p.start(program, args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(30000);
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private Q_SLOTS:
    void demoFillsANewDatabaseAndTheTerminals()
    {
        TestEnvironment env;
        TestDatabase tdb;
        TdmzDados dm;
        QVERIFY(dm.connectTo(tdb.params()).isEmpty());
        QString error;
        QVERIFY2(Demo::install(dm, QDate(2026, 12, 9), &error), qPrintable(error));
        QCOMPARE(tdb.scalar("select count(*) from locais").toInt(), 12);
        QCOMPARE(tdb.scalar("select count(*) from roteiros").toInt(), 2);
        QCOMPARE(tdb.scalar("select count(*) from descrot").toInt(), 11);
        QCOMPARE(tdb.scalar("select count(*) from coletor").toInt(), 4);
        // Every owned identifier is held by its owner.
        QCOMPARE(tdb.scalar("select count(*) from buttons b where referencia = 'L' and not exists "
                            "(select 1 from locais l where l.button_local = b.codigo_button)")
                     .toInt(),
                 0);
        QVERIFY(!Demo::install(dm, QDate(2026, 12, 9), &error));
        QVERIFY(error.contains(QString::fromUtf8("já tem locais")));

        // The Lumet download brings the night's rounds, the stranger among them.
        const QStringList problems = collectThroughWindow(TfmComunicacao::Lumet);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QCOMPARE(tdb.scalar("select count(*) from desctot where coletor = 'LUMET1'").toInt(), 25);
        QCOMPARE(tdb.scalar("select count(*) from desctot where button = 'BEEF01'").toInt(), 1);
        QVERIFY(tdb.scalar("select count(*) from desctot where codigo_roteiro > 0").toInt() > 0);

        // The night judged as a supervisor would: three rounds and their deliberate faults, no
        // empty round made of a closing reference (each would show six false "Não visitado").
        ConsistencyInputs in;
        in.collector = "LUMET1";
        in.periodGiven = true;
        in.periodStart = "08/12/2026 00:00";
        in.periodEnd = "09/12/2026 23:59";
        ScriptedMessageService msgs;
        const ConsistencyResult result = ConsistencyAnalysis(dm).run(in);
        QVERIFY(result.produced() && result.inconsistent);
        LocalTable temp(dm.tempFolder(), "temp");
        QVERIFY(temp.open());
        QStringList cycles, remarks;
        for (const QVariantList &row : temp.rows()) {
            const QString first = row.value(1).toString();
            if (first.startsWith("CICLO"))
                cycles << first;
            else if (first.startsWith("- "))
                remarks << first;
        }
        QCOMPARE(cycles.size(), 3);
        QCOMPARE(remarks, (QStringList{QString::fromUtf8("- Ocorreu Inversão"),
                                       QString::fromUtf8("- Não Visitados: 1"),
                                       QString::fromUtf8("- Não Programados: 1"),
                                       QString::fromUtf8("- Ocorreu Inversão")}));
        QVERIFY(QFile::exists(env.programFolder() + "simuladores/q90-toques.txt"));
        QCOMPARE(dm.config().readString("CONFIG", "INSTALACAO", {}), QString("VIGILANCIA DEMONSTRACAO"));
        QVERIFY(dm.config().readBool("COM", "SIMULADORES", false));
    }

    void mvigiaSimulatorAndTheLoadingCommand()
    {
        TestEnvironment env;
        const QString tools = QStringLiteral(TORVEL_BINARY_DIR "/tools/");
        QString out;
        QCOMPARE(run(tools + "torvel-carregar-terminal", {"--modelo", "vigia", "--limpar"},
                     "A00001 09/12/2026 08:00\nlixo\nA00002 09/12/2026 08:10:30 02\n", &out),
                 1);  // one bad line, reported
        QVERIFY(out.contains("linha 2"));
        TerminalSimulator::Terminal t(TerminalSimulator::Kind::Vigia, env.programFolder());
        QCOMPARE(t.memory().size(), 2);
        QCOMPARE(run(tools + "mvigia", {"1", "0", "USB"}), 0);
        QFile novos(env.root() + "docs/MVIGIA/NOVOS.TXT");
        QVERIFY(novos.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = novos.readAll().split('\n');
        QCOMPARE(lines.value(0).trimmed(), QByteArray("000000A00001 09/12/2026 08:00"));
        const auto parsed = DumpFormats::parseVigiaTouch(QString::fromLatin1(lines.value(1).trimmed()));
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->identifier, QString("A00002"));
        QCOMPARE(run(tools + "mvigia", {"1", "1", "USB"}), 0);
        QVERIFY(t.memory().isEmpty());
        QCOMPARE(run(tools + "torvel-carregar-terminal", {"--modelo", "vigia", "--desconectado"}, ""), 0);
        QCOMPARE(run(tools + "mvigia", {"1", "0", "USB"}), 1);
        QCOMPARE(run(tools + "torvel-carregar-terminal", {"--modelo", "nenhum"}), 2);
    }

    void simulatedDumpsReadBackAtTheirPositions()
    {
        TestEnvironment env;
        TerminalSimulator::Terminal lumet(TerminalSimulator::Kind::Lumet, env.programFolder());
        lumet.setIdentifier("LUMET1");
        const QDateTime when(QDate(2026, 12, 9), QTime(8, 15, 42));
        lumet.setMemory({{"1B2C3D", when, "02"}});
        const QStringList dump = lumet.lumetDump(QDateTime(QDate(2026, 12, 9), QTime(18, 0, 1)));
        const auto header = DumpFormats::parseTerminalHeader(dump[0]);
        QCOMPARE(header.downloaded, QDateTime(QDate(2026, 12, 9), QTime(18, 0, 1)));
        QCOMPARE(header.terminal.trimmed(), QString("LUMET1"));
        const auto touch = DumpFormats::parseTerminalTouch(dump[1]);
        QVERIFY(touch.has_value());
        QCOMPARE(touch->touched, when);
        QCOMPARE(touch->type, QString("02"));
        QCOMPARE(touch->identifier, QString("1B2C3D"));
        QCOMPARE(dump.last(), QString("T 000"));

        TerminalSimulator::Terminal watch(TerminalSimulator::Kind::Watch, env.programFolder());
        watch.setIdentifier("101");
        watch.setMemory({{"0A0B0C", when}});
        const QStringList w = watch.watchDump();
        QCOMPARE(DumpFormats::watchHeaderCollector(w[0]), QString("000101"));
        const auto wt = DumpFormats::parseWatchTouch(w[1]);
        QVERIFY(wt.has_value());
        QCOMPARE(wt->touched, when);
        QCOMPARE(wt->identifier, QString("0A0B0C"));
        // The clock keeps its offset across sessions.
        SystemServices::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(10, 0)); });
        watch.setClock(QDateTime(QDate(2026, 12, 9), QTime(10, 5)));
        QCOMPARE(TerminalSimulator::Terminal(TerminalSimulator::Kind::Watch, env.programFolder()).now(),
                 QDateTime(QDate(2026, 12, 9), QTime(10, 5)));
        SystemServices::setClock({});
    }
};

QTEST_MAIN(TestDemo)
#include "tst_demo.moc"
