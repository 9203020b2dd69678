#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "collection/Q90Commands.h"
#include "collection/TfmComunicacao.h"
#include "collection/TfmDescarga.h"
#include "collection/terminals/Q90Download.h"
#include "collection/terminals/Q90Simulator.h"
#include "collection/terminals/TfmComQ90.h"
#include "core/TdmzDados.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/SearchList.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

using Kind = MessageService::Kind;
using TerminalSimulator::Touch;

namespace {

const QString kInterfaceMissing = QString::fromUtf8(
    "Erro na comunicação com a Interface.\n"
    "Verifique os cabos de energia elétrica e de comunicação da\n"
    "interface ou ainda a porta de comunicação selecionada.");
const QString kTerminalMissing = QString::fromUtf8(
    "Erro na comunicação com o coletor. Coletor não encontrado.\n"
    "Verifique se o coletor foi colocado corretamente na interface.");
const QString kSuccess = QStringLiteral("Descarga efetuada com sucesso.");

// `count` touches a minute apart from 09/12/2026 06:00, codes A00000 on.
QList<Touch> touches(int count)
{
    QList<Touch> list;
    const QDateTime start(QDate(2026, 12, 9), QTime(6, 0));
    for (int i = 0; i < count; ++i)
        list.append({QStringLiteral("%1").arg(0xA00000 + i, 6, 16).toUpper(), start.addSecs(60 * i)});
    return list;
}

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

}  // namespace

// The serial download against the simulated terminal on a real pseudo-terminal pair.
class TestQ90Serial : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TdmzDados> dm;
    std::unique_ptr<Q90Simulator> sim;
    QString previousFolder;
    const QDateTime now{QDate(2026, 12, 9), QTime(18, 30, 5)};

    // Runs one download to its end.
    Q90Download::Outcome download(bool erase = false)
    {
        Q90Download d({sim->slavePath(), 1200});
        QSignalSpy finished(&d, &Q90Download::finished);
        erase ? d.startErase() : d.start();
        if (finished.isEmpty() && !finished.wait(120000))
            return Q90Download::Outcome::Running;
        return d.outcome();
    }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        previousFolder = QDir::currentPath();
        QDir::setCurrent(env->root());
        dm = std::make_unique<TdmzDados>();
        SystemServices::setClock([this] { return now; });
        Q90Download::setTickInterval(5);
        TfmComQ90::setCloseDelay(0);
        sim = std::make_unique<Q90Simulator>();
        sim->setTerminalCode(QStringLiteral("00ABCD1234"));
        QVERIFY2(sim->start(), qPrintable(sim->error()));
    }

    void cleanup()
    {
        sim.reset();
        dm.reset();
        QDir::setCurrent(previousFolder);
        env.reset();
        Q90Download::setTickInterval(0);
        TfmComQ90::setCloseDelay(-1);
    }

    void fullDownloadOf4000RecordsIntoDesctot()
    {
        TestDatabase tdb;
        QVERIFY(dm->connectTo(tdb.params()).isEmpty());
        tdb.exec("insert into coletor (codigo_coletor, nome_coletor) values ('Q1', 'PORTARIA')");
        dm->config().writeString("COM", "PORTACOM", sim->slavePath());
        sim->load(touches(4000), 4000, 0x3F20);
        QCOMPARE(sim->records(), 4000);

        installQ90Commands();
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, kSuccess);
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmListaColetores", [](QDialog *dlg) {
            auto *list = qobject_cast<TfmListaBase *>(dlg);
            list->choose();
            return list->result();
        });
        dialogs.expect("TfmComQ90", [](QDialog *dlg) { return dlg->exec(); });
        int reviewed = -1;
        dialogs.expect("TfmDescarga", [&reviewed](QDialog *dlg) {
            reviewed = qobject_cast<TfmDescarga *>(dlg)->dbgDescarga->rowCount();
            return int(QDialog::Accepted);
        });
        TfmComunicacao dialog;
        dialog.setModel(TfmComunicacao::Q90);
        dialog.btColetarclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY(!dialog.busy());

        QCOMPARE(tdb.scalar("select count(*) from desctot").toInt(), 4000);
        QCOMPARE(tdb.scalar("select count(distinct button) from desctot").toInt(), 4000);
        QCOMPARE(tdb.scalar("select min(data_toque) from desctot").toDateTime(),
                 QDateTime(QDate(2026, 12, 9), QTime(6, 0)));
        QCOMPARE(tdb.scalar("select max(coletor) from desctot").toString(), QStringLiteral("Q1"));
        QCOMPARE(reviewed, 4000);

        const QStringList listing = readLines(Q90Download::listingPath());
        QCOMPARE(listing.size(), 9 + 4000);
        QCOMPARE(listing[2], QStringLiteral("DATA DESCARGA ..: 09/12/26"));
        QCOMPARE(listing[3], QStringLiteral("HORA DESCARGA ..: 18:30:05"));
        QCOMPARE(listing[4], QStringLiteral("ID COLETOR .....: 00ABCD1234"));
        QCOMPARE(listing[5], QString::fromUtf8("Nº REG DESCARGA : 4000"));
        QCOMPARE(listing[9], QStringLiteral("09/12/26 06:00 A00000"));
        QCOMPARE(listing.last(), touches(4000).last().touched.toString("dd/MM/yy hh:mm") + " A00F9F");
        // The first block request went to 3F20, the next to 0020 and 0120.
        const QStringList requests = readLines(Q90Download::requestLogPath());
        QCOMPARE(requests.mid(0, 6), (QStringList{"12341234D3F20 ", "", "12341234D0020 ", "",
                                                  "12341234D0120 ", ""}));
        QVERIFY(dialog.mDescarga->toPlainText().contains("Fim da comunicacao"));
    }

    void silenceIsTheInterfaceAndEchoOrGarbageTheTerminal()
    {
        sim->load(touches(10));
        struct Case {
            Q90Simulator::Faults faults;
            QString message;
            Q90Download::Outcome outcome;
        };
        Q90Simulator::Faults nothing;
        nothing.echo = false;
        nothing.silent = -1;
        Q90Simulator::Faults echoOnly;
        echoOnly.silent = -1;
        Q90Simulator::Faults garbage;
        garbage.garbage = true;
        Q90Simulator::Faults unknownModel;
        unknownModel.modelCode = 0x77;
        for (const Case &c : {Case{nothing, kInterfaceMissing, Q90Download::Outcome::InterfaceFailure},
                              Case{echoOnly, kTerminalMissing, Q90Download::Outcome::TerminalFailure},
                              Case{garbage, kTerminalMissing, Q90Download::Outcome::TerminalFailure},
                              Case{unknownModel, kTerminalMissing, Q90Download::Outcome::TerminalFailure}}) {
            const int before = sim->counters().requests;
            sim->setFaults(c.faults);
            ScriptedMessageService msgs;
            msgs.expect(Kind::Error, c.message);
            QCOMPARE(download(), c.outcome);
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
            QCOMPARE(sim->counters().requests - before, 5);
            QVERIFY(!QFile::exists(Q90Download::listingPath()));
        }
    }

    void aPortThatCannotOpenIsAMissingInterface()
    {
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, kInterfaceMissing);
        Q90Download d({env->root() + "no-such-port", 1200});
        QSignalSpy finished(&d, &Q90Download::finished);
        d.start();
        QVERIFY(finished.wait(60000));
        QCOMPARE(d.outcome(), Q90Download::Outcome::InterfaceFailure);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void aChangedByteRepeatsTheRequest()
    {
        sim->load(touches(70));
        Q90Simulator::Faults corrupt;
        corrupt.corrupt = 1;               // the status reply
        corrupt.corruptBlocks = {0x0020};  // and the first block's, once
        sim->setFaults(corrupt);
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, kSuccess);
        QCOMPARE(download(), Q90Download::Outcome::Succeeded);
        QCOMPARE(sim->counters().requests, 2 + 2 + 1);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(readLines(Q90Download::listingPath()).size(), 9 + 70);
        // The repeated block request is in the request log twice.
        QCOMPARE(readLines(Q90Download::requestLogPath()).count("12341234D0020 "), 2);
    }

    void zeroRecords()
    {
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Não há registros para serem descarregados."));
        QCOMPARE(download(), Q90Download::Outcome::NoRecords);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(!QFile::exists(Q90Download::listingPath()));
        QCOMPARE(sim->counters().blockReads, 0);
    }

    void aShortBlockIsSkippedAndTheDownloadGoesOn()
    {
        // 150 touches from 0x1F20: the last block holds the 06 h marker and 55 touches, 0x0020
        // the next 5, the 07 h marker and 58 more, 0x0120 07:58, 07:59 and the 08 h hour.
        sim->load(touches(150), 2000, 0x1F20);
        Q90Simulator::Faults faults;
        faults.shortBlocks = {0x0020};
        sim->setFaults(faults);
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QStringLiteral("Bloco Descarga < 514"));
        msgs.expect(Kind::Warning, QString::fromUtf8("A memória do coletor tem *"));
        QCOMPARE(download(), Q90Download::Outcome::Incomplete);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        // One full pass, nothing erased. The short block's touches are lost, and the two after
        // it, whose hour marker was in that block, are not given the 06 h of the last one read.
        QCOMPARE(sim->counters().blockReads, 32);
        QCOMPARE(sim->counters().erases, 0);
        const QStringList listing = readLines(Q90Download::listingPath());
        QCOMPARE(listing.size(), 9 + 150 - 63 - 2);
        QVERIFY(listing.contains("09/12/26 06:00 A00000"));
        QVERIFY(listing.contains("09/12/26 08:29 A00095"));
        QVERIFY(!listing.join('\n').contains("A00076"));
    }

    void fewerValidTouchesThanTheCountEndAfterOnePass()
    {
        int records = 0;
        const QByteArray image = Q90Simulator::buildImage(touches(10), 0x2000, 0x0020, &records);
        sim->setImage(image, 25, 0x0020);
        ScriptedMessageService msgs;
        msgs.expect(Kind::Warning, QString::fromUtf8(
                                       "A memória do coletor tem 10 dos 25 registros informados. "
                                       "Os registros lidos foram gravados e o coletor não foi apagado."));
        QCOMPARE(download(), Q90Download::Outcome::Incomplete);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(sim->counters().blockReads, 32);
        QCOMPARE(sim->counters().erases, 0);
        QCOMPARE(readLines(Q90Download::listingPath()).size(), 9 + 10);
    }

    void theEraseIsARunOfItsOwnAndTheBlockLogRolls()
    {
        sim->load(touches(5));
        QFile old(Q90Download::blockLogPath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous\r\n");
        old.close();
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, kSuccess);
        QCOMPARE(download(), Q90Download::Outcome::Succeeded);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        // The download alone never erases: that waits until its touches are stored.
        QCOMPARE(sim->counters().erases, 0);
        QCOMPARE(readLines(Q90Download::oldBlockLogPath()), QStringList{"previous"});
        const QStringList blocks = readLines(Q90Download::blockLogPath());
        QCOMPARE(blocks.size(), 4);
        QCOMPARE(blocks[0], QStringLiteral("0020"));
        QVERIFY(blocks[1].startsWith("0086091226") && blocks[1].size() == 514);
        QCOMPARE(blocks[2], QStringLiteral("Tam : 514"));
        QCOMPARE(download(true), Q90Download::Outcome::Succeeded);
        QCOMPARE(sim->counters().erases, 1);
        QCOMPARE(sim->records(), 0);
        // The erased terminal has nothing left.
        msgs.expect(Kind::Error, QString::fromUtf8("Não há registros para serem descarregados."));
        QCOMPARE(download(), Q90Download::Outcome::NoRecords);
    }

    void clearErasesOnlyOnceEveryTouchIsStored()
    {
        TestDatabase tdb;
        tdb.exec("insert into coletor (codigo_coletor, nome_coletor) values ('Q7', 'PORTARIA')");
        tdb.exec("create trigger desctot_refuse before insert on desctot for each row "
                 "signal sqlstate '45000' set message_text = 'recusado'");
        QVERIFY(dm->connectTo(tdb.params()).isEmpty());
        dm->config().writeBool("COM", "CLEAR", true);
        sim->load(touches(5));
        QStringList log;
        const auto collect = [&] {
            TfmComunica carrier([&log](const QString &line) { log << line; });
            carrier.setPortName(sim->slavePath());
            carrier.setCollector("Q7");
            carrier.setIngestor(q90Ingestor({}));
            carrier.btColetaQ90Click();
            return carrier.collected();
        };

        // The server refuses: nothing stored, the terminal kept, the listing kept and marked.
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, kSuccess);
        msgs.expect(Kind::Error, "");
        QVERIFY(!collect());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(sim->counters().erases, 0);
        QCOMPARE(sim->records(), 5);
        QVERIFY(Q90Download::listingPending());
        QCOMPARE(tdb.scalar("select count(*) from desctot").toInt(), 0);
        QVERIFY(log.contains("O coletor nao foi apagado."));

        // No download may replace a listing that was not stored.
        msgs.expect(Kind::Error, "");
        QCOMPARE(download(), Q90Download::Outcome::ListingNotStored);
        QVERIFY(QFileInfo::exists(Q90Download::listingPath()));

        // With the server back, the next collection stores the pending listing first, then
        // downloads, stores and erases.
        tdb.exec("drop trigger desctot_refuse");
        sim->load(touches(3));
        msgs.expect(Kind::Information, kSuccess);
        QVERIFY(collect());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(!Q90Download::listingPending());
        QCOMPARE(tdb.scalar("select count(*) from desctot").toInt(), 5 + 3);
        QCOMPARE(sim->counters().erases, 1);
        QCOMPARE(sim->records(), 0);
        dm->disconnect();
    }

    void torvelctlDownloadsAndPrintsTheWorkingTable()
    {
        TestDatabase tdb;
        tdb.exec("insert into coletor (codigo_coletor, nome_coletor) values ('Q7', 'PORTARIA')");
        sim->load(touches(3));
        const ConnectionParams p = tdb.params();
        QProcess status;
        status.start(TORVELCTL, {"q90", "status", "--port", sim->slavePath()});
        QVERIFY(status.waitForFinished(60000));
        QCOMPARE(status.exitCode(), 0);
        QVERIFY(status.readAllStandardOutput().contains("Registros armazenados: 00003"));

        QProcess download;
        download.start(TORVELCTL, {"q90", "download", "--port", sim->slavePath(), "--collector", "Q7",
                                   "--host", p.host, "--db-port", QString::number(p.port), "--user",
                                   p.user, "--password", p.password, "--database", p.database});
        QVERIFY(download.waitForFinished(60000));
        QCOMPARE(download.exitCode(), 0);
        const QStringList rows = QString::fromUtf8(download.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[0].startsWith("000001\tQ7\t"), qPrintable(rows[0]));
        QVERIFY(rows[0].contains("\tF00000\t"));
        QCOMPARE(tdb.scalar("select count(*) from desctot").toInt(), 3);
    }

    void theWindowShowsProgressAndClosesItself()
    {
        sim->load(touches(3));
        dm->config().writeString("COM", "PORTACOM", sim->slavePath());
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, kSuccess);
        TfmComQ90 window;
        QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(window.lbMensagem->text(), QStringLiteral("Comunicando..."));
        QStringList shown;
        connect(&window.download(), &Q90Download::progress, this,
                [&shown](const QString &text) { shown << text; });
        window.btnDescargaClick();
        QCOMPARE(window.exec(), int(QDialog::Accepted));
        QCOMPARE(shown, (QStringList{"Q90 - Descarregando... 0%", "Q90 - Descarregando... 100%",
                                     QString::fromUtf8("Finalizando comunicação")}));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }
};

QTEST_MAIN(TestQ90Serial)
#include "tst_q90serial.moc"
