#include "WindowDriving.h"
#include "ProgramFixture.h"
#include "collection/DumpFormats.h"
#include "collection/TfmComunicacao.h"
#include "collection/TfmDescarga.h"
#include "collection/terminals/TerminalLibraries.h"
#include "collection/terminals/TerminalSimulators.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/SearchList.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

using Kind = MessageService::Kind;
using TerminalSimulator::Terminal;
using TerminalSimulator::Touch;

namespace {

// Records the calls made to a terminal library, passing them on to the simulator.
struct Calls {
    QStringList made;
    std::function<void()> during;  // runs inside the download call
};

class RecordingLumet : public LumetLibrary {
public:
    RecordingLumet(Calls &calls, std::unique_ptr<LumetLibrary> real)
        : m_calls(calls), m_real(std::move(real)) {}
    int isAnswering(int port, const QString &name) override
    {
        m_calls.made << QStringLiteral("1(%1,%2)").arg(port).arg(name);
        return m_real->isAnswering(port, name);
    }
    int download(int port, const QString &name, const QString &path) override
    {
        m_calls.made << QStringLiteral("2(%1)").arg(QFileInfo(path).fileName());
        if (m_calls.during)
            m_calls.during();
        return m_real->download(port, name, path);
    }
    int afterDownload(int port, const QString &name) override
    {
        m_calls.made << "4";
        return m_real->afterDownload(port, name);
    }
    int setClock(int port, const QString &name, const QString &when) override
    {
        m_calls.made << "5(" + when + ")";
        return m_real->setClock(port, name, when);
    }

private:
    Calls &m_calls;
    std::unique_ptr<LumetLibrary> m_real;
};

class RecordingWatch : public WatchLibrary {
public:
    RecordingWatch(Calls &calls, std::unique_ptr<WatchLibrary> real)
        : m_calls(calls), m_real(std::move(real)) {}
    int AwakenTX(int p, const QString &n) override { return log("AwakenTX", m_real->AwakenTX(p, n)); }
    int InquirID(int p, const QString &n) override { return log("InquirID", m_real->InquirID(p, n)); }
    int SetWatchTime(int p, const QString &n, int y, int mo, int d, int h, int mi, int s) override
    {
        return log(QStringLiteral("SetWatchTime(%1,%2,%3,%4,%5,%6)").arg(y).arg(mo).arg(d).arg(h).arg(mi).arg(s),
                   m_real->SetWatchTime(p, n, y, mo, d, h, mi, s));
    }
    int GetWatchData(int p, const QString &n) override { return log("GetWatchData", m_real->GetWatchData(p, n)); }
    int DeleteData(int p, const QString &n) override { return log("DeleteData", m_real->DeleteData(p, n)); }

private:
    int log(const QString &call, int result)
    {
        m_calls.made << call;
        return result;
    }
    Calls &m_calls;
    std::unique_ptr<WatchLibrary> m_real;
};

// The Vigia Bastão program played in-process by the simulator's own rules.
class SimulatedVigia : public VigiaProgram {
public:
    SimulatedVigia(Calls &calls, bool installed) : m_calls(calls), m_installed(installed) {}
    bool isInstalled() const override { return m_installed; }
    int runAndWait(const QStringList &args) override
    {
        m_calls.made << "mvigia " + args.join(' ');
        Terminal t(TerminalSimulator::Kind::Vigia, TdmzDados::instance()->programFolder());
        if (!t.connected())
            return 1;
        return TerminalSimulator::writeLines(DumpFormats::vigiaFilePath(), t.vigiaFile()) ? 0 : 1;
    }
    bool startScript(const QString &path) override
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        m_calls.made << "script:" + QString::fromUtf8(f.readAll()).split('\n').last(2).first();
        return true;
    }
    QString path() const override { return "mvigia"; }

private:
    Calls &m_calls;
    bool m_installed;
};

}  // namespace

// The collection dialog against the simulated terminals, end to end into the database.
class TestComunicacao : public QObject, public ProgramFixture {
    Q_OBJECT

    Calls calls;
    const QDateTime now{QDate(2026, 12, 9), QTime(18, 30, 0)};

    QList<Touch> round() const
    {
        return {{"A00001", QDateTime(QDate(2026, 12, 9), QTime(8, 0, 0))},
                {"A00002", QDateTime(QDate(2026, 12, 9), QTime(8, 10, 30))},
                {"FFFFFF", QDateTime(QDate(2026, 12, 9), QTime(8, 20, 0))}};
    }
    int stored() const { return tdb->scalar("select count(*) from desctot").toInt(); }

    static ScriptedDialogRunner::Player pickCollector(const QString &code) { return WindowDriving::pickWhere("codigo_coletor", code); }
    static ScriptedDialogRunner::Player closeReview(int *rows = nullptr)
    {
        return [rows](QDialog *dlg) {
            if (rows)
                *rows = qobject_cast<TfmDescarga *>(dlg)->dbgDescarga->rowCount();
            return int(QDialog::Accepted);
        };
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = now}));
        calls = {};
        const QString folder = dm->programFolder();
        Terminals::setLumetFactory([this, folder] {
            return std::make_unique<RecordingLumet>(calls, TerminalSimulator::lumet(folder));
        });
        Terminals::setWatchFactory([this, folder] {
            return std::make_unique<RecordingWatch>(calls, TerminalSimulator::watch(folder));
        });
        Terminals::setVigiaFactory([this] { return std::make_unique<SimulatedVigia>(calls, true); });
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('VB0001', 'BASTAO')");
    }

    void cleanup()
    {
        Terminals::setLumetFactory({});
        Terminals::setWatchFactory({});
        Terminals::setVigiaFactory({});
        stopProgram();
    }

    void portNumberFromPortacom()
    {
        QCOMPARE(Terminals::portNumber("COM10"), 10);
        QCOMPARE(Terminals::portNumber("COM3"), 3);
        QCOMPARE(Terminals::portNumber(""), 1);
        QCOMPARE(Terminals::portNumber("/dev/ttyUSB0"), 1);
        ScriptedMessageService msgs;
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Lumet);
        msgs.expect(Kind::Information, QString::fromUtf8("Relógio está respondendo!"));
        d.btStatusclick();
        dm->config().writeString("COM", "PORTACOM", "COM10");
        msgs.expect(Kind::Information, QString::fromUtf8("Relógio está respondendo!"));
        d.btStatusclick();
        QCOMPARE(calls.made, (QStringList{"1(1,COM1)", "1(10,COM10)"}));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void modelIsRememberedAtOnce()
    {
        dm->config().writeInteger("COM", "TIPOREL", 3);
        TfmComunicacao d;
        QCOMPARE(d.model(), int(TfmComunicacao::VigiaNovo));
        d.rbModelos[1]->click();
        QCOMPARE(dm->config().readInteger("COM", "TIPOREL", -1), 1);
    }

    void lumetCollectStoresThenRunsThePostDownloadStep()
    {
        Terminal lumet(TerminalSimulator::Kind::Lumet, dm->programFolder());
        lumet.setIdentifier("LUMET01");
        lumet.setMemory(round());
        ScriptedDialogRunner dialogs;
        int reviewed = -1;
        dialogs.expect("TfmDescarga", closeReview(&reviewed));
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Lumet);
        d.btColetarclick();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QCOMPARE(calls.made, (QStringList{"2(DATALM.TMD)", "4"}));
        QCOMPARE(stored(), 3);
        QCOMPARE(reviewed, 3);
        QCOMPARE(tdb->scalar("select count(*) from desctot where coletor = 'LUMET01' and button = "
                             "'A00002' and data_toque = '2026-12-09 08:10:30'")
                     .toInt(),
                 1);
        QVERIFY(lumet.memory().isEmpty());  // the terminal's post-download step erased it
        QVERIFY(!d.busy());
        QVERIFY(!d.mDescarga->toPlainText().isEmpty());
    }

    // A terminal with nothing in it: the log says so after the download's header line, for
    // each model whose dump has a header, and only then.
    void emptyTerminalIsSaidInTheLog()
    {
        const QString empty = QString::fromUtf8("Nenhum toque no coletor.");
        Terminal lumet(TerminalSimulator::Kind::Lumet, dm->programFolder());
        lumet.setIdentifier("LUMET01");
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmDescarga", closeReview());
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Lumet);
        d.btColetarclick();
        const QStringList lines = d.mDescarga->toPlainText().split('\n');
        const int header = lines.indexOf(QRegularExpression("^Coletor: LUMET01 Descarga: .*"));
        QVERIFY2(header >= 0, qPrintable(lines.join('|')));
        QCOMPARE(lines.value(header + 1), empty);
        QCOMPARE(stored(), 0);

        Terminal watch(TerminalSimulator::Kind::Watch, dm->programFolder());
        watch.setIdentifier("000101");
        d.setModel(TfmComunicacao::VigiaNovo);
        d.btColetarclick();
        QCOMPARE(d.mDescarga->toPlainText().count(empty), 1);

        lumet.setMemory(round());
        d.setModel(TfmComunicacao::Lumet);
        d.btColetarclick();
        QVERIFY(!d.mDescarga->toPlainText().contains(empty));
        QCOMPARE(stored(), 3);
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void lumetDownloadRefusedStoresNothingAndReleases()
    {
        Terminal lumet(TerminalSimulator::Kind::Lumet, dm->programFolder());
        lumet.setMemory(round());
        lumet.setConnected(false);
        ScriptedMessageService msgs;
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Lumet);
        d.btColetarclick();  // a non-zero result ends the command without a message
        QCOMPARE(stored(), 0);
        QVERIFY(!d.busy());
        msgs.expect(Kind::Error, QString::fromUtf8("Relógio NÃO está respondendo!"));
        d.btStatusclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void watchCollectWithoutClearNeverErases()
    {
        Terminal watch(TerminalSimulator::Kind::Watch, dm->programFolder());
        watch.setIdentifier("000101");
        watch.setMemory(round());
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmDescarga", closeReview());
        TfmComunicacao d;
        d.setModel(TfmComunicacao::VigiaNovo);
        d.btColetarclick();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QCOMPARE(calls.made, (QStringList{"AwakenTX", "GetWatchData"}));
        QCOMPARE(stored(), 3);
        QCOMPARE(watch.memory().size(), 3);

        // With CLEAR the terminal is erased once the download is stored.
        dm->config().writeBool("COM", "CLEAR", true);
        calls.made.clear();
        dialogs.expect("TfmDescarga", closeReview());
        d.btColetarclick();
        QCOMPARE(calls.made, (QStringList{"AwakenTX", "GetWatchData", "AwakenTX", "DeleteData"}));
        QVERIFY(watch.memory().isEmpty());
    }

    void watchStatusAndClock()
    {
        Terminal watch(TerminalSimulator::Kind::Watch, dm->programFolder());
        watch.setIdentifier("101");
        ScriptedMessageService msgs;
        TfmComunicacao d;
        d.setModel(TfmComunicacao::VigiaNovo);
        msgs.expect(Kind::Information, QString::fromUtf8("Coletor está respondendo. ID do coletor: 000101"));
        d.btStatusclick();
        msgs.expect(Kind::Information, "Data/Hora enviada!");
        d.btEnviaDHclick();
        QCOMPARE(calls.made.last(), QString("SetWatchTime(26,12,9,18,30,0)"));
        watch.setConnected(false);
        d.btEnviaDHclick();  // asleep: nothing shown
        msgs.expect(Kind::Error, QString::fromUtf8("Coletor NÃO está respondendo!"));
        d.btStatusclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void vigiaCollectStoresAndOffersToErase()
    {
        Terminal vigia(TerminalSimulator::Kind::Vigia, dm->programFolder());
        vigia.setMemory(round());
        ScriptedDialogRunner dialogs;
        ScriptedMessageService msgs;
        dialogs.expect("TfmListaColetores", pickCollector("VB0001"));
        dialogs.expect("TfmDescarga", closeReview());
        msgs.expectConfirm("Deseja apagar os registros?", true);
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Vigia);
        d.btColetarclick();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(calls.made, (QStringList{"mvigia 1 0 USB", "script:./mvigia 1 1 USB"}));
        QCOMPARE(tdb->scalar("select count(*) from desctot where coletor = 'VB0001'").toInt(), 3);
        QVERIFY(!QFile::exists(DumpFormats::vigiaFilePath()));
        QVERIFY(d.mDescarga->toPlainText().contains("Acao executada"));
        QFile script(dm->programFolder() + "exec.sh");
        QVERIFY(script.open(QIODevice::ReadOnly));
        QVERIFY(script.readAll().contains("Preparando para apagar os dados"));
    }

    void vigiaReturnStoresALeftoverFileBeforeClosing()
    {
        QVERIFY(TerminalSimulator::writeLines(DumpFormats::vigiaFilePath(),
                                              {"000000A00001 09/12/2026 08:00",
                                               "000000A00002 09/12/2026 08:10"}));
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmDescarga", closeReview());
        TfmComunicacao d;
        d.btRetornaclick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(stored(), 2);
    }

    void vigiaWithoutProgramOrCollector()
    {
        ScriptedDialogRunner dialogs;
        ScriptedMessageService msgs;
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Vigia);
        d.btStatusclick();  // nothing at all
        QVERIFY(!d.busy());
        dialogs.expect("TfmListaColetores", [](QDialog *) { return int(QDialog::Rejected); });
        d.btColetarclick();
        QVERIFY(calls.made.isEmpty());
        QVERIFY(!d.busy());
        Terminals::setVigiaFactory([this] { return std::make_unique<SimulatedVigia>(calls, false); });
        dialogs.expect("TfmListaColetores", pickCollector("VB0001"));
        msgs.expect(Kind::Error, "Instale o MVIGIA.EXE antes de coletar os dados!");
        d.btColetarclick();
        msgs.expect(Kind::Error, "Instale o MVIGIA.EXE antes de enviar data/hora!");
        d.btEnviaDHclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void vigiaProgramEndingInErrorIsReported()
    {
        Terminal vigia(TerminalSimulator::Kind::Vigia, dm->programFolder());
        vigia.setMemory(round());
        vigia.setConnected(false);
        ScriptedDialogRunner dialogs;
        ScriptedMessageService msgs;
        dialogs.expect("TfmListaColetores", pickCollector("VB0001"));
        msgs.expect(Kind::Error, QString::fromUtf8("O programa do coletor terminou com erro (código 1)."));
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Vigia);
        d.btColetarclick();
        // A download that ended in error is never followed by the offer to erase.
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(stored(), 0);
        QVERIFY(d.mDescarga->toPlainText().contains(QString::fromUtf8("O coletor não foi apagado.")));
        QVERIFY(!d.busy());
    }

    void vigiaAfterAFailedIngestNeitherRunsTheProgramNorErases()
    {
        Terminal vigia(TerminalSimulator::Kind::Vigia, dm->programFolder());
        vigia.setMemory(round());
        const QByteArray leftover = "000000A00001 09/12/2026 08:00\r\n";
        QVERIFY(TerminalSimulator::writeLines(DumpFormats::vigiaFilePath(), {"000000A00001 09/12/2026 08:00"}));
        tdb->exec("create trigger desctot_refuse before insert on desctot for each row "
                  "signal sqlstate '45000' set message_text = 'recusado'");
        ScriptedDialogRunner dialogs;
        ScriptedMessageService msgs;
        dialogs.expect("TfmListaColetores", pickCollector("VB0001"));
        msgs.expect(Kind::Error, "");
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Vigia);
        d.btColetarclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        // The program never ran, so the file that was not stored is still the one left over.
        QVERIFY(calls.made.isEmpty());
        QFile file(DumpFormats::vigiaFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), leftover);
        QCOMPARE(stored(), 0);
        QVERIFY(!d.busy());
    }

    void q90CollectWithNoCollectorRegistered()
    {
        tdb->exec("delete from coletor");
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;  // no window may open
        msgs.expect(Kind::Warning, "Favor cadastrar um coletor antes de coletar os registros");
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Q90);
        d.btColetarclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY(!d.busy());
    }

    void aSecondClickWhileBusyIsIgnored()
    {
        Terminal lumet(TerminalSimulator::Kind::Lumet, dm->programFolder());
        lumet.setMemory(round());
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmDescarga", closeReview());
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Lumet);
        calls.during = [&d] {
            d.btColetarclick();
            d.btStatusclick();
        };
        d.btColetarclick();
        QCOMPARE(calls.made, (QStringList{"2(DATALM.TMD)", "4"}));
        QCOMPARE(stored(), 3);  // stored once
    }

    void libraryThatCannotBeLoaded()
    {
        Terminals::setLumetFactory({});
        dm->config().writeString("COM", "LUMETDRV", "/nao/existe/liblumet.so");
        ScriptedMessageService msgs;
        TfmComunicacao d;
        d.setModel(TfmComunicacao::Lumet);
        msgs.expect(Kind::Error, QString::fromUtf8("Não foi possível carregar a biblioteca do coletor*"));
        d.btColetarclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(!d.busy());
        QCOMPARE(stored(), 0);
    }

    void simulatorsAnswerOnlyWhenChosenAndSaySo()
    {
        Terminals::setLumetFactory({});
        Terminals::setWatchFactory({});
        Terminals::setVigiaFactory({});
        Terminal lumet(TerminalSimulator::Kind::Lumet, dm->programFolder());
        lumet.setConnected(true);
        lumet.setMemory(round());
        TfmComunicacao d;
        ScriptedMessageService msgs;
        // Nothing configured: no terminal answers, and the user is told what to configure.
        d.setModel(TfmComunicacao::Lumet);
        msgs.expect(Kind::Error, QString::fromUtf8("Nenhuma biblioteca do coletor Lumet foi configurada. "
                                                   "Informe o caminho da biblioteca do fabricante na "
                                                   "chave LUMETDRV da seção COM do TORVEL.INI."));
        d.btColetarclick();
        d.setModel(TfmComunicacao::VigiaNovo);
        msgs.expect(Kind::Error, QString::fromUtf8("Nenhuma biblioteca do coletor Vigia Bastão Novo foi*"));
        d.btStatusclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(stored(), 0);
        QCOMPARE(lumet.memory().size(), round().size());

        // Chosen: the simulator answers and the log names it.
        dm->config().writeBool("COM", "SIMULADORES", true);
        d.setModel(TfmComunicacao::Lumet);
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmDescarga", closeReview());
        d.btColetarclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(d.mDescarga->toPlainText().contains(
            QString::fromUtf8("Atenção: quem responde é o simulador do Lumet, não um coletor real.")));
        QCOMPARE(stored(), round().size());
    }

    void vigiaSimulatorNeverStandsForTheRealProgram()
    {
        Terminals::setVigiaFactory({});
        IniFile &ini = dm->config();
        const QString folder = dm->programFolder();
        QDir().mkpath(folder + "simuladores");
        QVERIFY(TerminalSimulator::writeLines(folder + "simuladores/mvigia", {"#!/bin/sh"}));
        // Not chosen: the program folder's own program, which is not installed.
        auto vigia = Terminals::createVigia(folder, ini);
        QVERIFY(!vigia->isInstalled());
        QVERIFY(vigia->simulator().isEmpty());
        // Chosen: the simulator, named as such.
        ini.writeBool("COM", "SIMULADORES", true);
        vigia = Terminals::createVigia(folder, ini);
        QVERIFY(vigia->isInstalled());
        QVERIFY(vigia->simulator().startsWith(QString::fromUtf8("simulador do Vigia Bastão")));
        // A real program installed always wins.
        QVERIFY(TerminalSimulator::writeLines(folder + "mvigia", {"#!/bin/sh"}));
        vigia = Terminals::createVigia(folder, ini);
        QCOMPARE(vigia->path(), folder + "mvigia");
        QVERIFY(vigia->simulator().isEmpty());
    }

    void logDoubleClickEmptiesIt()
    {
        TfmComunicacao d;
        d.show();
        d.log("linha");
        QTest::mouseDClick(d.mDescarga->viewport(), Qt::LeftButton);
        QCOMPARE(d.mDescarga->toPlainText(), QString());
        const QImage shot = d.grab().toImage();
        QVERIFY(shot.width() > 300);
        QDir().mkpath(TORVEL_BINARY_DIR "/artifacts");
        QVERIFY(shot.save(TORVEL_BINARY_DIR "/artifacts/comunicacao.png"));
    }
};

QTEST_MAIN(TestComunicacao)
#include "tst_comunicacao.moc"
