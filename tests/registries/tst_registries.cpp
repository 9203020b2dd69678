#include "WindowDriving.h"
#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/TfmQ90ini.h"
#include "core/db/DataSet.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/Commands.h"
#include "registries/IdentifierLists.h"
#include "registries/RegistryLists.h"
#include "registries/RegistryWindows.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSqlQuery>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using Kind = MessageService::Kind;

// The registration windows of collaborators, events, locations, job functions and collectors.
class TestRegistries : public QObject, public ProgramFixture {
    Q_OBJECT


    static ScriptedDialogRunner::Player pick(const QString &search) { return WindowDriving::pick(search); }

    static ScriptedDialogRunner::Player pickFree(const QString &code) { return WindowDriving::pickWhere("codigo_button", code); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram());
        SystemServices::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(9, 30, 15)); });
        tdb->exec("insert into buttons (codigo_button, referencia) values ('L00001','L'), "
                  "('FREE01',''), ('FREE02','')");
        tdb->exec("insert into locais (codigo_local, nome_local, button_local) values "
                  "(1, 'PORTARIA', 'L00001'), (2, 'GARAGEM', ''), (3, 'PATIO', '')");
        tdb->exec("insert into funcs (codigo_func, nome_func) values (1, 'CARLOS'), (2, 'ANA')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro) values (1,'A'), (2,'B')");
        tdb->exec("insert into descrot (codigo_roteiro, ordem, codigo_local, nome_local) values "
                  "(1,'001',2,'GARAGEM'), (1,'002',3,'PATIO'), (2,'001',2,'GARAGEM')");
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('C1','COLETOR UM')");
        tdb->exec("insert into desctot (coletor, button) values ('C1','L00001'), ('C1','X')");
    }

    void cleanup() { stopProgram(); }

    void jobFunctionCodeIsPaddedToFiveDigits()
    {
        ScriptedMessageService msgs;
        TfmFuncao w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Função"));
        w.show();
        w.btadicionaclick();
        QTest::keyClicks(w.edCodigo, "42");
        w.btadicionaclick();  // a code typed: the row is saved and another begins
        w.btadicionaclick();  // still empty: nothing
        w.btcancelaclick();
        QCOMPARE(scalar("select count(*) from funcao").toInt(), 1);
        QCOMPARE(scalar("select codigo from funcao").toString(), QString("00042"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void renamedLocationReachesEveryRouteStopWhenTheWindowCloses()
    {
        {
            TfmLocais w;
            QVERIFY(w.query().locate("codigo_local", 2));
            w.show();
            w.edNome->selectAll();
            QTest::keyClicks(w.edNome, "garagem norte");
            QCOMPARE(w.edNome->text(), QString("GARAGEM NORTE"));
            w.btconfirmaclick();
            QCOMPARE(scalar("select nome_local from descrot where codigo_roteiro = 2").toString(),
                     QString("GARAGEM"));  // not before closing
            w.buRetornaClick();
        }
        QCOMPARE(scalar("select count(*) from descrot where nome_local = 'GARAGEM NORTE'").toInt(),
                 2);
        QCOMPARE(scalar("select nome_local from descrot where codigo_local = 3").toString(),
                 QString("PATIO"));
    }

    // The server's collation takes these names for equal; the stops must still get them
    // exactly, since the consistency analysis matches stops to touched locations by name.
    void renameByAccentOrCaseReachesTheRouteStops()
    {
        tdb->exec("insert into locais (codigo_local, nome_local) values (4, 'PORTAO')");
        tdb->exec("insert into descrot (codigo_roteiro, ordem, codigo_local, nome_local) values "
                  "(2,'002',4,'PORTAO'), (1,'003',3,'patio')");
        {
            TfmLocais w;
            QVERIFY(w.query().locate("codigo_local", 4));
            w.query().setValue("nome_local", QString::fromUtf8("PORTÃO"));
            w.btconfirmaclick();
            QCOMPARE(scalar("select nome_local from locais where codigo_local = 4").toString(),
                     QString::fromUtf8("PORTÃO"));
            w.buRetornaClick();
        }
        QCOMPARE(scalar("select nome_local from descrot where codigo_local = 4").toString(),
                 QString::fromUtf8("PORTÃO"));
        QCOMPARE(scalar("select nome_local from descrot where codigo_roteiro = 1 and ordem = '003'")
                     .toString(),
                 QString("PATIO"));
    }

    void localizaSavesInLocationsAndDiscardsElsewhere()
    {
        ScriptedDialogRunner dialogs;
        {
            TfmLocais w;
            QVERIFY(w.query().locate("codigo_local", 3));
            w.query().setValue("cidade", "SANTOS");
            dialogs.expect("TfmListaLocais", pick("GAR"));
            w.btLocalizaclick();
            QCOMPARE(w.query().asInt("codigo_local"), 2);
            QCOMPARE(scalar("select cidade from locais where codigo_local = 3").toString(),
                     QString("SANTOS"));
        }
        {
            TfmFuncs w;
            QVERIFY(w.query().locate("codigo_func", 1));
            w.query().setValue("cidade", "SANTOS");
            dialogs.expect("TfmListaFuncs", pick("AN"));
            w.btLocalizaclick();
            QCOMPARE(w.query().text("nome_func"), QString("ANA"));
            QVERIFY(scalar("select cidade from funcs where codigo_func = 1").isNull());
            // A search that finds nothing: OK, and the window stays on its row.
            dialogs.expect("TfmListaFuncs", pick("ZZZ"));
            w.btLocalizaclick();
            QCOMPARE(w.query().text("nome_func"), QString("ANA"));
        }
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void locationsQueryKeepsItsPendingChangeBetweenOpenings()
    {
        {
            TfmLocais w;
            QVERIFY(w.query().locate("codigo_local", 3));
            w.query().setValue("fone", "1234");
            // Ended without "Retorna" (Esc and the close box ask first, like "Retorna").
            static_cast<QDialog &>(w).done(QDialog::Rejected);
        }
        QCOMPARE(dm->qyLocais->state(), DataSet::State::Edit);
        TfmLocais again;
        QCOMPARE(again.query().text("fone"), QString("1234"));
        again.btcancelaclick();
        QVERIFY(scalar("select fone from locais where codigo_local = 3").isNull());
    }

    void collaboratorNeedsANameAndGetsTheRegistrationTime()
    {
        ScriptedMessageService msgs;
        TfmFuncs w;
        w.show();
        w.btadicionaclick();
        QCOMPARE(w.query().text("data_cadastro"), QString("09/12/2026 09:30:15"));
        msgs.expect(Kind::Information, QString::fromUtf8("Informe o nome do funcionário"));
        w.btadicionaclick();
        QTest::keyClicks(w.edNome, "joana d'arc");
        w.btconfirmaclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(scalar("select data_cadastro from funcs where nome_func = 'JOANA D''ARC'")
                     .toDateTime(),
                 QDateTime(QDate(2026, 12, 9), QTime(9, 30, 15)));
    }

    void obsIsLimitedTo200Characters()
    {
        TfmLocais w;
        w.show();
        w.edObs->setFocus();
        QTest::keyClicks(w.edObs, QString(210, 'x'));
        QCOMPARE(w.edObs->toPlainText().size(), 200);
        w.btcancelaclick();
    }

    void identifierForLocationRefusedWhenAnotherLocationHoldsIt()
    {
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        TfmLocais w;
        QVERIFY(w.query().locate("codigo_local", 2));
        // The free list would not offer L00001; a stale choice still is refused.
        dialogs.expect("TfmListaButtonsR", [](QDialog *dlg) {
            auto *list = qobject_cast<TfmListaBase *>(dlg);
            list->query().close();
            list->query().setSql("select codigo_button from buttons where codigo_button = 'L00001'");
            list->query().open();
            list->choose();
            return list->result();
        });
        msgs.expect(Kind::Information, QString::fromUtf8("Memória já associado a determinado local!"));
        w.btIdentificadorclick();
        QCOMPARE(w.query().state(), DataSet::State::Browse);
        QCOMPARE(w.edIdentificador->text(), QString());

        dialogs.expect("TfmListaButtonsR", pickFree("FREE02"));
        w.btIdentificadorclick();
        QCOMPARE(w.edIdentificador->text(), QString("FREE02"));
        w.btconfirmaclick();
        QCOMPARE(scalar("select referencia from buttons where codigo_button = 'FREE02'").toString(),
                 QString("L"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void eventsAndCollectorsAreStampedByTheDataModule()
    {
        {
            TfmEventos w;
            w.btadicionaclick();
            w.query().setValue("desc_evento", "INICIO");
            w.btconfirmaclick();
        }
        QCOMPARE(scalar("select data_cadastro from eventos").toDateTime(),
                 QDateTime(QDate(2026, 12, 9), QTime(9, 30, 15)));
        TfmColetores w;
        w.show();
        w.btadicionaclick();
        QTest::keyClicks(w.edCodigo, "c2");
        w.btconfirmaclick();
        QCOMPARE(scalar("select data_cadastro from coletor where codigo_coletor = 'C2'").toDateTime(),
                 QDateTime(QDate(2026, 12, 9), QTime(9, 30, 15)));
    }

    void deletingCollectorLeavesItsDownloads()
    {
        ScriptedMessageService msgs;
        TfmColetores w;
        QVERIFY(w.query().locate("codigo_coletor", "C1"));
        msgs.expectConfirm("Deseja realmente excluir este registro?", true);
        w.btapagaclick();
        QCOMPARE(scalar("select count(*) from coletor").toInt(), 0);
        QCOMPARE(scalar("select count(*) from desctot where coletor = 'C1'").toInt(), 2);
    }

    void deletingCollaboratorFreesItsIdentifier()
    {
        tdb->exec("update buttons set referencia = 'F' where codigo_button = 'FREE01'");
        tdb->exec("update funcs set memoria = 'FREE01' where codigo_func = 1");
        ScriptedMessageService msgs;
        TfmFuncs w;
        QVERIFY(w.query().locate("codigo_func", 1));
        msgs.expectConfirm("Deseja realmente excluir este registro?", true);
        w.btapagaclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(scalar("select count(*) from funcs").toInt(), 1);
        QCOMPARE(scalar("select referencia from buttons where codigo_button = 'FREE01'").toString(),
                 QString(""));
    }

    void searchListsShowTheirRowsInOrder()
    {
        TfmListaLocais locais;
        QCOMPARE(locais.query().textAt(0, "nome_local"), QString("GARAGEM"));
        locais.edPesquisa->setText("PA");
        QCOMPARE(locais.query().recordCount(), 1);
        TfmListaColetores coletores;
        QCOMPARE(coletores.windowTitle(), QString("Lista de Coletores"));
        QCOMPARE(coletores.query().text("codigo_coletor"), QString("C1"));
        coletores.edPesquisa->setText("COLETOR");
        QCOMPARE(coletores.query().recordCount(), 1);
        TfmListaFuncs funcs;
        QCOMPARE(funcs.query().text("nome_func"), QString("ANA"));
        TfmListaFuncao funcao;
        QCOMPARE(funcao.windowTitle(), QString::fromUtf8("Lista de funções"));
    }

    // The name gets the room: a long name is shown whole while the code column is only as
    // wide as its contents, in the size the list opens with and when the list is widened.
    void searchListsGiveTheNameItsRoom()
    {
        const QString longName = QStringLiteral("DEPOSITO DE MATERIAIS DO BLOCO C NORTE");
        tdb->exec("insert into locais (codigo_local, nome_local, button_local) values "
                  "(4, '" + longName + "', 'FREE01')");
        TfmListaLocais list;
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTableView *grid = list.dbgLista;
        const QFontMetrics metrics(grid->font());
        for (int width : {list.width(), list.width() + 300}) {
            list.resize(width, list.height());
            QCoreApplication::processEvents();
            QVERIFY2(grid->columnWidth(0) > metrics.horizontalAdvance(longName),
                     qPrintable(QString::number(grid->columnWidth(0))));
            QVERIFY(grid->columnWidth(1) < grid->columnWidth(0));
            QVERIFY(grid->columnWidth(1) >= grid->horizontalHeader()->sectionSizeHint(1));
            QVERIFY(grid->columnWidth(1) < metrics.horizontalAdvance(QString(16, 'W')));
        }
    }

    void tilesOpenTheirWindowsWhateverThePermissions()
    {
        ScriptedDialogRunner dialogs;
        TfmQ90ini main;
        Registries::registerCommands(main);
        main.applyPermissions({{"cadastros", -1}});
        dialogs.expect("TfmFuncs", [](QDialog *d) { return d->result(); });
        dialogs.expect("TfmLocais", [](QDialog *d) { return d->result(); });
        main.tile("Colaboradores")->click();
        main.tile("Local")->click();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY(!main.menu("mnCadastros")->menuAction()->isEnabled());
        for (const char *handler : {"Coletores1Click", "FuncionriosClick", "EventosClick",
                                    "LocaisClick", "Funo1Click", "Memrias1Click"})
            QVERIFY2(main.hasCommand(handler), handler);
    }
};

QTEST_MAIN(TestRegistries)
#include "tst_registries.moc"
