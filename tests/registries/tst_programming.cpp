#include "WindowDriving.h"
#include "ProgramFixture.h"
#include "collection/Ingest.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"
#include "core/TfmQ90ini.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/Commands.h"
#include "registries/RegistryLists.h"
#include "registries/TfmProgramacao.h"

#include <QAction>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QDir>
#include <QtTest>

using WindowDriving::snapshot;

// Collector programming: each choice written to the collector at once, and the next download
// of a programmed collector attributed to its collaborator and route.
class TestProgramming : public QObject, public ProgramFixture {
    Q_OBJECT


    static ScriptedDialogRunner::Player pick(const QString &search) { return WindowDriving::pick(search); }

    static QStringList grid(const TfmProgramacao &w)
    {
        QStringList rows;
        for (int r = 0; r < w.tmp->rowCount(); ++r)
            rows << QStringList{w.tmp->item(r, 0)->text(), w.tmp->item(r, 1)->text(),
                                w.tmp->item(r, 2)->text()}.join('|');
        return rows;
    }

    static void select(TfmProgramacao &w, int row)
    {
        w.dbgProgramacao->setCurrentIndex(w.tmp->index(row, 0));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram());
        tdb->exec("insert into funcs (codigo_func, nome_func) values (7, 'CARLOS'), (8, 'ANA')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro) values (3, 'NOTURNA'), "
                  "(4, 'DIURNA')");
        tdb->exec("insert into locais (codigo_local, nome_local, button_local) values "
                  "(1, 'PORTARIA', 'CCC003')");
        tdb->exec("insert into buttons (codigo_button, referencia) values ('CCC003', 'L')");
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor, codigo_func, "
                  "codigo_roteiro) values ('LUM01', 'B LUMET', NULL, NULL), "
                  "('LUM02', 'A LUMET', 8, 99)");
    }

    void cleanup() { stopProgram(); }

    void choicesAreWrittenAtOnceAndClearingStoresNull()
    {
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        TfmProgramacao w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Programação"));
        // By name; a route that no longer exists shows no name; never programmed: empty.
        QCOMPARE(grid(w), QStringList({"A LUMET|ANA|", "B LUMET||"}));
        QCOMPARE(w.edColaborador->text(), QString("ANA"));

        select(w, 1);
        dialogs.expect("TfmListaFuncs", pick("AN"));  // the same collaborator as A LUMET
        w.btColaboradorclick();
        dialogs.expect("TfmListaRoteiros", pick("NOT"));
        w.btRoteiroclick();
        QCOMPARE(grid(w), QStringList({"A LUMET|ANA|", "B LUMET|ANA|NOTURNA"}));
        snapshot(w, "programacao");
        QCOMPARE(scalar("select concat(codigo_func, '|', codigo_roteiro) from coletor where "
                        "codigo_coletor = 'LUM01'").toString(),
                 QString("8|3"));
        QCOMPARE(scalar("select count(*) from coletor where codigo_func = 8").toInt(), 2);

        // Cancelling a list changes nothing.
        dialogs.expect("TfmListaRoteiros", [](QDialog *) { return int(QDialog::Rejected); });
        w.btRoteiroclick();
        QCOMPARE(scalar("select codigo_roteiro from coletor where codigo_coletor = 'LUM01'")
                     .toInt(),
                 3);

        w.edRoteiroDblClick();
        QCOMPARE(w.edRoteiro->text(), QString());
        QVERIFY(scalar("select codigo_roteiro from coletor where codigo_coletor = 'LUM01'")
                    .isNull());
        QCOMPARE(w.tmp->item(1, TfmProgramacao::NomeRot)->data(TfmProgramacao::CodRot).toInt(), 0);
        // A real double-click does the same on the collaborator.
        w.show();
        QTest::mouseDClick(w.edColaborador, Qt::LeftButton);
        QVERIFY(scalar("select codigo_func from coletor where codigo_coletor = 'LUM01'").isNull());
        QCOMPARE(scalar("select codigo_func from coletor where codigo_coletor = 'LUM02'").toInt(),
                 8);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void nextDownloadCarriesTheProgrammedCollaboratorAndRoute()
    {
        SystemServices::setClock(
            [] { return QDateTime(QDate(2026, 3, 5), QTime(10, 20, 30)); });
        ScriptedDialogRunner dialogs;
        {
            TfmProgramacao w;
            select(w, 1);
            dialogs.expect("TfmListaFuncs", pick("CAR"));
            w.btColaboradorclick();
            dialogs.expect("TfmListaRoteiros", pick("DIU"));
            w.btRoteiroclick();
        }
        QVERIFY(TmpDesc::recreate(*dm));
        QDir().mkpath(env->root() + "backup");
        const QString dump = env->programFolder() + "DATALM.TMD";
        QFile file(dump);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("H 20260305101500 00 LUM01\r\n"
                   " 20260305063000 02 000000CCC003 LUM01\r\n"
                   "T 000\r\n");
        file.close();
        ScriptedMessageService msgs;
        const IngestResult result = Ingest(*dm, {[](const QString &) {}, [] {}})
                                        .IngestTerminalDump(dump);
        QVERIFY(result.complete());
        QCOMPARE(scalar("select concat(coletor, '|', button, '|', codigo_func, '|', "
                        "codigo_roteiro) from desctot").toString(),
                 QString("LUM01|CCC003|7|4"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void menuOpensTheWindow()
    {
        ScriptedDialogRunner dialogs;
        TfmQ90ini main;
        Registries::registerCommands(main);
        dialogs.expect("TfmProgramacao", [](QDialog *d) { return d->result(); });
        main.action("Programao1Click")->trigger();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }
};

QTEST_MAIN(TestProgramming)
#include "tst_programming.moc"
