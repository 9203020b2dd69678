#include "TestEnvironment.h"
#include "collection/Q90Commands.h"
#include "collection/TfmComunicacao.h"
#include "collection/terminals/Q90Library.h"
#include "collection/terminals/Q90Simulator.h"
#include "collection/terminals/TfmComQ90.h"
#include "collection/terminals/TfmComunica.h"
#include "core/TdmzDados.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>

using Kind = MessageService::Kind;

namespace {

// A q90 library that answers with given texts and records the calls made to it.
struct FakeLibrary : Q90Library {
    QStringList *calls;
    QString open = "0", status, clock;
    std::function<void()> during;  // runs inside Status / AcertaDH

    explicit FakeLibrary(QStringList *c) : calls(c) {}
    QString AbreCom(int port, const QString &name, int speed, int mode) override
    {
        *calls << QStringLiteral("AbreCom(%1,%2,%3,%4)").arg(port).arg(name).arg(speed).arg(mode);
        return open;
    }
    QString Status(const QString &terminal, int flag) override
    {
        *calls << QStringLiteral("Status(%1,%2)").arg(terminal).arg(flag);
        if (during)
            during();
        return status;
    }
    QString AcertaDH(const QString &terminal) override
    {
        *calls << "AcertaDH(" + terminal + ")";
        if (during)
            during();
        return clock;
    }
    void FechaCom() override { *calls << "FechaCom"; }
};

}  // namespace

// The Q90 carrier: how it reads the library's texts, what it logs, and the bundled library
// against the simulated terminal.
class TestQ90Carrier : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TdmzDados> dm;
    QStringList calls;
    QString open, status, clock;
    std::function<void()> during;
    const QDateTime now{QDate(2026, 12, 9), QTime(18, 30, 5)};

    void useFake()
    {
        Terminals::setQ90Factory([this] {
            auto fake = std::make_unique<FakeLibrary>(&calls);
            fake->open = open;
            fake->status = status;
            fake->clock = clock;
            fake->during = during;
            return fake;
        });
    }

    QStringList runStatus()
    {
        TfmComunica carrier;
        carrier.btStatusQ90Click();
        return carrier.memo();
    }
    QStringList runClock()
    {
        TfmComunica carrier;
        carrier.btEnviaDHQ90Click();
        return carrier.memo();
    }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        dm = std::make_unique<TdmzDados>();
        SystemServices::setClock([this] { return now; });
        calls.clear();
        open = "0";
        status = "0,1234161108143500042";
        clock = "0,ok";
        during = {};
        useFake();
    }

    void cleanup()
    {
        Terminals::setQ90Factory({});
        dm.reset();
        env.reset();
    }

    void statusDataIsLogged()
    {
        dm->config().writeString("COM", "PORTACOM", "COM3");
        dm->config().writeString("COM", "Q90BAUD", "9600");
        QCOMPARE(runStatus(), (QStringList{"Status do coletor:", "Coletor: 1234",
                                           "Data/hora: 16/11/08 14:35",
                                           "Registros armazenados: 00042"}));
        QCOMPARE(calls, (QStringList{"AbreCom(3,COM3,9600,1)", "Status(0000,0)", "FechaCom"}));
    }

    void openResults()
    {
        // Code 2 with a message: the message only for the clock command.
        open = QString::fromUtf8("2,mensagem de erro");
        QCOMPARE(runStatus(), QStringList{"COM1 esta em uso em outro processo!"});
        QCOMPARE(runClock(), (QStringList{"COM1 esta em uso em outro processo!", "mensagem de erro"}));
        QCOMPARE(calls, (QStringList{"AbreCom(1,COM1,1200,1)", "FechaCom", "AbreCom(1,COM1,1200,1)",
                                     "FechaCom"}));
        open = "1,Porta";
        QCOMPARE(runStatus(), (QStringList{"COM1 nao existe!", "Porta"}));
        // Neither a number nor a comma; a number before the comma that is not one; a code no
        // library gives.
        for (const QString &text : {QStringLiteral("falhou"), QStringLiteral("x,y"), QStringLiteral("7")}) {
            open = text;
            QCOMPARE(runStatus(), QStringList{QString("Resposta invalida do coletor")});
        }
        open = "3,sem porta";
        QCOMPARE(runClock(), (QStringList{"Resposta invalida do coletor", "sem porta"}));
        open = " 0 ";
        QCOMPARE(runStatus().first(), QStringLiteral("Status do coletor:"));
    }

    void statusResults()
    {
        const QString problem = QStringLiteral("Problemas ao ler status do coletor");
        status = QString::fromUtf8("1,Coletor não encontrado");
        QCOMPARE(runStatus(), (QStringList{problem, "Coletor nao encontrado"}));
        status = "3,x";
        QCOMPARE(runStatus(), (QStringList{problem, "Problemas ao abrir COM1"}));
        for (const QString &text : {QStringLiteral("?,1234161108143500042"), QString(),
                                    QStringLiteral("0,12341611"), QStringLiteral("8,x")}) {
            status = text;
            QCOMPARE(runStatus(), (QStringList{problem, "Resposta invalida do coletor"}));
        }
    }

    void clockResults()
    {
        QCOMPARE(runClock(), QStringList{"Data/Hora enviada"});
        QCOMPARE(calls.mid(1, 1), QStringList{"AcertaDH(0000)"});
        const QString problem = QStringLiteral("Problemas ao acertar data/hora");
        clock = "2,relógio recusou";
        QCOMPARE(runClock(), (QStringList{problem, "relogio recusou"}));
        clock = "3";
        QCOMPARE(runClock(), (QStringList{problem, "Problemas ao abrir COM1"}));
        clock = "X";
        QCOMPARE(runClock(), (QStringList{problem, "Resposta invalida do coletor"}));
    }

    void accentsBecomePlainLetters()
    {
        QCOMPARE(TfmComunica::plainText(QString::fromUtf8(
                     "ÀÁÂÃÄ Ç ÈÉÊË ÌÍÎÏ ÒÓÔÕ ÙÚÛÜ àáâãä ç èéêë ìíîï òóôõ ùúûü Ö ñ")),
                 QString::fromUtf8("AAAAA C EEEE IIII OOOO UUUU aaaaa c eeee iiii oooo uuuu Ö ñ"));
    }

    void aSecondCommandWhileBusyOnlyWarns()
    {
        TfmComunica carrier;
        ScriptedMessageService msgs;
        msgs.expect(Kind::Warning, QString::fromUtf8("Aguarde a comunicação"));
        msgs.expect(Kind::Warning, QStringLiteral("Aguarde a comunicacao"));
        during = [&carrier] {
            carrier.btEnviaDHQ90Click();
            carrier.btColetaQ90Click();
        };
        useFake();
        carrier.btStatusQ90Click();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(calls, (QStringList{"AbreCom(1,COM1,1200,1)", "Status(0000,0)", "FechaCom"}));
        QVERIFY(!carrier.busy());
    }

    void theDialogIsReleasedByItsTimerWhenTheCarrierCloses()
    {
        installQ90Commands();
        TfmComunicacao dialog;
        dialog.setModel(TfmComunicacao::Q90);
        dialog.btStatusclick();
        QVERIFY(dialog.mDescarga->toPlainText().contains("Registros armazenados: 00042"));
        QVERIFY(dialog.busy());
        QVERIFY(dialog.tmLibera->isActive());
        QCOMPARE(dialog.tmLibera->interval(), 1000);
        dialog.btEnviaDHclick();  // ignored while the guard is held
        QCOMPARE(calls.count("FechaCom"), 1);
        QVERIFY(QMetaObject::invokeMethod(dialog.tmLibera, "timeout"));
        QVERIFY(!dialog.busy());
        dialog.btEnviaDHclick();
        QCOMPARE(dialog.mDescarga->toPlainText(), QStringLiteral("Data/Hora enviada"));
    }

    void aVendorLibraryThatCannotBeLoaded()
    {
        Terminals::setQ90Factory({});
        dm->config().writeString("COM", "Q90DLL", env->root() + "nao-existe.so");
        const QStringList memo = runClock();
        QCOMPARE(memo.size(), 2);
        QCOMPARE(memo[0], QStringLiteral("Resposta invalida do coletor"));
        QVERIFY(memo[1].startsWith("Nao foi possivel carregar a biblioteca do coletor"));
    }

    void theBundledLibraryOverTheSerialLine()
    {
        Terminals::setQ90Factory({});
        Q90Simulator sim;
        sim.setTerminalCode("00ABCD1234");
        QList<TerminalSimulator::Touch> touches;
        for (int i = 0; i < 42; ++i)
            touches.append({QStringLiteral("B%1").arg(i, 5, 10, QChar('0')),
                            QDateTime(QDate(2026, 12, 1), QTime(8, i))});
        sim.load(touches);
        sim.setClock(QDateTime(QDate(2008, 11, 16), QTime(14, 35, 0)));
        QVERIFY(sim.start());
        dm->config().writeString("COM", "PORTACOM", sim.slavePath());

        const QStringList memo = runStatus();
        QCOMPARE(memo.size(), 4);
        QCOMPARE(memo[1], QStringLiteral("Coletor: 00AB"));
        QVERIFY2(memo[2].startsWith("Data/hora: 16/11/08 14:3"), qPrintable(memo[2]));
        QCOMPARE(memo[3], QStringLiteral("Registros armazenados: 00042"));

        // The clock goes by our extension command, from the computer's clock.
        QCOMPARE(runClock(), QStringList{"Data/Hora enviada"});
        QVERIFY(qAbs(sim.clock().secsTo(now)) < 60);

        // A terminal that does not answer.
        Q90Simulator::Faults silent;
        silent.silent = -1;
        sim.setFaults(silent);
        QCOMPARE(runStatus(), (QStringList{"Problemas ao ler status do coletor",
                                           "Coletor nao encontrado"}));
        sim.stop();
        dm->config().writeString("COM", "PORTACOM", env->root() + "sem-porta");
        const QStringList missing = runStatus();
        QCOMPARE(missing.size(), 2);
        QCOMPARE(missing[0], QStringLiteral("COM1 nao existe!"));
    }

    void aFailedDownloadIngestsNothing()
    {
        Q90Simulator sim;
        Q90Simulator::Faults nothing;
        nothing.echo = false;
        nothing.silent = -1;
        sim.setFaults(nothing);
        QVERIFY(sim.start());
        const QString previous = QDir::currentPath();
        QDir::setCurrent(env->root());
        Q90Download::setTickInterval(2);
        TfmComQ90::setCloseDelay(0);
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Erro na comunicação com a Interface.*"));
        bool ingested = false;
        TfmComunica carrier;
        carrier.setPortName(sim.slavePath());
        carrier.setIngestor({[] { return true; },
                             [&ingested](const QString &, const auto &) { return ingested = true; }});
        carrier.btColetaQ90Click();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(carrier.downloadOutcome(), Q90Download::Outcome::InterfaceFailure);
        QVERIFY(!ingested);
        QVERIFY(!carrier.busy());
        Q90Download::setTickInterval(0);
        TfmComQ90::setCloseDelay(-1);
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(TestQ90Carrier)
#include "tst_q90carrier.moc"
