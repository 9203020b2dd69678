#include "AtOnce.h"
#include "WindowDriving.h"
#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/RegistryLists.h"
#include "registries/RouteStops.h"
#include "registries/TfmRoteiros.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

using Kind = MessageService::Kind;

// The routes window: the route's fields and reference, and the stops kept 001..N.
class TestRoutes : public QObject, public ProgramFixture {
    Q_OBJECT


    QStringList stops(int route) const { return routeStops(route, "nome_local"); }

    static ScriptedDialogRunner::Player pickLocation(int code)
    {
        return [code](QDialog *dlg) {
            auto *list = qobject_cast<TfmListaBase *>(dlg);
            list->query().locate("codigo_local", code);
            list->choose();
            return list->result();
        };
    }

    static ScriptedDialogRunner::Player pickEvent(const QString &description) { return WindowDriving::pick(description); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram());
        SystemServices::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(8, 0, 0)); });
        tdb->exec("insert into locais (codigo_local, nome_local) values (1,'L1'), (2,'L2'), "
                  "(3,'L3'), (4,'L4'), (12345, 'DEPOSITO')");
        tdb->exec("insert into eventos (codigo_evento, desc_evento, button_evento) values "
                  "(1, 'INICIO NOITE', 'E00001'), (2, 'INICIO DIA', 'E00002'), (3, 'SEM', '')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia) values "
                  "(1, 'NOTURNO', 'E00001'), (2, 'DIURNO', '')");
        tdb->exec("insert into descrot (codigo_roteiro, ordem, codigo_local, nome_local) values "
                  "(1,'001',1,'L1'), (1,'002',2,'L2'), (1,'003',3,'L3'), (1,'004',4,'L4')");
    }

    void cleanup() { stopProgram(); }

    void opensOnTheFirstRouteWithItsReferenceAndStops()
    {
        TfmRoteiros w;
        QCOMPARE(w.query().text("nome_roteiro"), QString("NOTURNO"));
        QCOMPARE(w.edDesc_eve->text(), QString("INICIO NOITE"));
        QCOMPARE(w.stops().recordCount(), 4);
        w.query().next();
        QCOMPARE(w.edDesc_eve->text(), QString());
        QCOMPARE(w.stops().recordCount(), 0);
    }

    void stopsAreAddedAtTheEnd()
    {
        ScriptedDialogRunner dialogs;
        TfmRoteiros w;
        w.query().locate("codigo_roteiro", 2);
        dialogs.expect("TfmListaLocais", pickLocation(3));
        w.btAdicionaLclick();
        QCOMPARE(stops(2), QStringList{"001:L3"});
        // Eight more to reach twelve, then the thirteenth.
        for (int i = 0; i < 11; ++i)
            tdb->exec(QStringLiteral("insert into descrot (codigo_roteiro, ordem, codigo_local, "
                                     "nome_local) values (2, '%1', 1, 'L1')")
                          .arg(TfmRoteiros::position(i + 2)));
        dialogs.expect("TfmListaLocais", pickLocation(12345));
        w.btAdicionaLclick();
        QCOMPARE(stops(2).size(), 13);
        QCOMPARE(stops(2).last(), QString("013:DEPOSITO"));
        // The whole location code is kept.
        QCOMPARE(scalar("select codigo_local from descrot where ordem = '013'").toInt(), 12345);
        QCOMPARE(scalar("select t_min from descrot where ordem = '013'").toInt(), 0);
        // A cancelled list adds nothing.
        dialogs.expect("TfmListaLocais", [](QDialog *) { return int(QDialog::Rejected); });
        w.btAdicionaLclick();
        QCOMPARE(stops(2).size(), 13);
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void removingAStopRenumbers()
    {
        TfmRoteiros w;
        w.stops().setRecNo(2);
        w.btApagaLclick();
        QCOMPARE(stops(1), (QStringList{"001:L1", "002:L3", "003:L4"}));
        QCOMPARE(w.stops().recordCount(), 3);
    }

    void movingStops()
    {
        TfmRoteiros w;
        w.btAcimaclick();  // on the first: nothing
        QCOMPARE(stops(1), (QStringList{"001:L1", "002:L2", "003:L3", "004:L4"}));
        w.stops().last();
        w.btAbaixoclick();  // on the last: nothing
        QCOMPARE(stops(1), (QStringList{"001:L1", "002:L2", "003:L3", "004:L4"}));
        // The moved stop stays selected, in the grid too, so a second press moves it again.
        w.btAcimaclick();
        QCOMPARE(stops(1), (QStringList{"001:L1", "002:L2", "003:L4", "004:L3"}));
        QCOMPARE(w.stops().text("nome_local"), QString("L4"));
        QCOMPARE(w.dbgLocais->currentIndex().row(), 2);
        w.btAcimaclick();
        QCOMPARE(stops(1), (QStringList{"001:L1", "002:L4", "003:L2", "004:L3"}));
        QCOMPARE(w.stops().text("nome_local"), QString("L4"));
        w.stops().setRecNo(1);
        w.btAbaixoclick();
        QCOMPARE(stops(1), (QStringList{"001:L4", "002:L1", "003:L2", "004:L3"}));
        QCOMPARE(w.stops().recNo(), 2);
        QCOMPARE(w.dbgLocais->currentIndex().row(), 1);
        QVERIFY(w.dbgLocais->selectionModel()->isRowSelected(1, {}));
    }

    // Two workstations add stops to the same route at the same moment: every stop gets a number
    // of its own, 001..N, none lost.
    void stopsAddedAtOnceGetTheirOwnNumbers()
    {
        constexpr int kEach = 15;
        const QStringList failures = atOnce({tdb->params(), tdb->params()}, [](const QSqlDatabase &db, int station) {
            for (int i = 0; i < kEach; ++i)
                RouteStops::add(db, 2, 1 + station, QStringLiteral("L%1").arg(1 + station));
        });
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
        QStringList expected;
        for (int i = 1; i <= 2 * kEach; ++i)
            expected << TfmRoteiros::position(i);
        QCOMPARE(scalar("select group_concat(ordem order by ordem separator ' ') from descrot where codigo_roteiro = 2")
                     .toString(),
                 expected.join(u' '));
    }

    // Two stops that came to share a number (two offices at once through two servers of a
    // cluster): removing one takes that one only, moving tells them apart, and the next stop
    // added numbers the route again.
    void sharedNumbersAreMended()
    {
        const QSqlDatabase db = tdb->db();
        const auto ordered = [&] {
            QSqlQuery q(db);
            q.exec("select concat(ordem, ':', nome_local) from descrot where codigo_roteiro = 1 order by ordem, cod");
            QStringList out;
            while (q.next())
                out << q.value(0).toString();
            return out;
        };
        const auto codOf = [&](const char *name) {
            return scalar(QStringLiteral("select cod from descrot where nome_local = '%1'").arg(QLatin1String(name))).toInt();
        };
        tdb->exec("insert into descrot (codigo_roteiro, ordem, codigo_local, nome_local) values "
                  "(1,'002',12345,'DEPOSITO'), (1,'003',1,'L1b')");
        QCOMPARE(ordered(), (QStringList{"001:L1", "002:L2", "002:DEPOSITO", "003:L3", "003:L1b", "004:L4"}));
        RouteStops::remove(db, codOf("DEPOSITO"));
        QCOMPARE(ordered(), (QStringList{"001:L1", "002:L2", "003:L3", "004:L1b", "005:L4"}));
        tdb->exec("update descrot set ordem = '002' where nome_local = 'L3'");
        QVERIFY(RouteStops::move(db, codOf("L3"), -1));
        QCOMPARE(ordered(), (QStringList{"001:L1", "002:L3", "003:L2", "004:L1b", "005:L4"}));
        QVERIFY(!RouteStops::move(db, codOf("L4"), +1));
        tdb->exec("update descrot set ordem = '001' where nome_local = 'L3'");
        QCOMPARE(RouteStops::add(db, 1, 12345, "DEPOSITO"), QStringLiteral("006"));
        QCOMPARE(ordered(), (QStringList{"001:L1", "002:L3", "003:L2", "004:L1b", "005:L4", "006:DEPOSITO"}));
        QVERIFY(!RouteStops::mend(db, 1));
    }

    // Esc (and the window's close button) ask about a pending change as "Retorna" does.
    void escapeAsksToSaveLikeRetorna()
    {
        ScriptedMessageService msgs;
        TfmRoteiros w;
        w.show();
        w.query().edit();
        w.query().setValue("empresa", "ACME");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(!w.isVisible());
        QCOMPARE(scalar("select empresa from roteiros where codigo_roteiro = 1").toString(),
                 QString("ACME"));

        // A refused save keeps the window open with what was typed.
        TfmRoteiros again;
        again.show();
        again.btadicionaclick();
        again.query().setValue("empresa", "BETA");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        msgs.expect(Kind::Error, "Favor informar o nome do roteiro.");
        again.close();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(again.isVisible());
        QCOMPARE(again.query().text("empresa"), QString("BETA"));

        // No: the change is dropped and the window closes.
        msgs.expectConfirm("Registro em edição. Salvar?", false);
        QTest::keyClick(&again, Qt::Key_Escape);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(!again.isVisible());
        QCOMPARE(scalar("select count(*) from roteiros").toInt(), 2);
    }

    void newRouteWithoutNameGetsNoStop()
    {
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        TfmRoteiros w;
        w.btadicionaclick();
        QCOMPARE(w.query().state(), DataSet::State::Insert);
        QCOMPARE(w.query().asInt("tempo_locais"), -1);
        QCOMPARE(w.query().text("t_rot_min"), QString("0"));
        QCOMPARE(w.query().text("data_cadastro"), QString("09/12/2026 08:00:00"));
        dialogs.expect("TfmListaLocais", pickLocation(1));
        msgs.expect(Kind::Error, "Favor informar o nome do roteiro.");
        w.btAdicionaLclick();
        QCOMPARE(scalar("select count(*) from roteiros").toInt(), 2);
        QCOMPARE(w.query().state(), DataSet::State::Insert);

        // Named, the route is saved first and the stop goes to it.
        w.query().setValue("nome_roteiro", "MADRUGADA");
        dialogs.expect("TfmListaLocais", pickLocation(1));
        w.btAdicionaLclick();
        const int route = scalar("select codigo_roteiro from roteiros where nome_roteiro = "
                                 "'MADRUGADA'")
                              .toInt();
        QCOMPARE(stops(route), QStringList{"001:L1"});
        QCOMPARE(scalar(QStringLiteral("select concat(tempo_locais, tempo_padrao, ordemvisitas, "
                                       "temporoteiro, t_min_padrao) from roteiros where "
                                       "codigo_roteiro = %1")
                            .arg(route))
                     .toString(),
                 QString("-1-1-1-10"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    // "Retorna" with Yes on a new route without a name: the save is refused, so the window
    // stays open with what was typed; once named, the same answer saves and closes.
    void retornaKeepsARefusedNewRouteOpen()
    {
        ScriptedMessageService msgs;
        TfmRoteiros w;
        w.show();
        w.btadicionaclick();
        w.query().setValue("empresa", "ACME");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        msgs.expect(Kind::Error, "Favor informar o nome do roteiro.");
        w.buRetorna->click();
        QVERIFY(w.isVisible());
        QCOMPARE(w.query().state(), DataSet::State::Insert);
        QCOMPARE(w.query().text("empresa"), QString("ACME"));
        QCOMPARE(scalar("select count(*) from roteiros").toInt(), 2);

        w.query().setValue("nome_roteiro", "MADRUGADA");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        w.buRetorna->click();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(scalar("select empresa from roteiros where nome_roteiro = 'MADRUGADA'").toString(),
                 QString("ACME"));
    }

    void choosingTheReference()
    {
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        TfmRoteiros w;
        // The reference the route already has is accepted.
        dialogs.expect("TfmListaButtonsRef", pickEvent("INICIO NOITE"));
        w.jvBitmapButton1click();
        QCOMPARE(w.query().state(), DataSet::State::Edit);
        w.btconfirmaclick();
        QCOMPARE(w.query().state(), DataSet::State::Browse);

        w.query().locate("codigo_roteiro", 2);
        dialogs.expect("TfmListaButtonsRef", pickEvent("INICIO NOITE"));
        msgs.expect(Kind::Information, QString::fromUtf8("Este evento já é referência do roteiro "
                                                         "NOTURNO!"));
        w.jvBitmapButton1click();
        dialogs.expect("TfmListaButtonsRef", pickEvent("SEM"));
        msgs.expect(Kind::Information, QString::fromUtf8("Nenhuma memória associada ao evento "
                                                         "SEM!"));
        w.jvBitmapButton1click();
        QCOMPARE(w.query().text("button_referencia"), QString());

        dialogs.expect("TfmListaButtonsRef", pickEvent("INICIO DIA"));
        w.jvBitmapButton1click();
        QCOMPARE(w.edDesc_eve->text(), QString("INICIO DIA"));
        QVERIFY(scalar("select button_referencia from roteiros where codigo_roteiro = 2")
                    .toString()
                    .isEmpty());  // only on Confirma
        w.btconfirmaclick();
        QCOMPARE(scalar("select button_referencia from roteiros where codigo_roteiro = 2")
                     .toString(),
                 QString("E00002"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void doubleClickClearsTheReferenceAtOnce()
    {
        TfmRoteiros w;
        QTest::mouseDClick(w.edDesc_eve, Qt::LeftButton);
        QCOMPARE(scalar("select button_referencia from roteiros where codigo_roteiro = 1")
                     .toString(),
                 QString());
        QCOMPARE(w.edDesc_eve->text(), QString("INICIO NOITE"));
        w.query().next();
        w.query().prior();
        QCOMPARE(w.edDesc_eve->text(), QString());
    }

    void deletingARouteTakesItsStops()
    {
        ScriptedMessageService msgs;
        TfmRoteiros w;
        msgs.expectConfirm("Deseja realmente excluir este registro?", false);
        w.btapagaclick();
        QCOMPARE(scalar("select count(*) from descrot").toInt(), 4);
        msgs.expectConfirm("Deseja realmente excluir este registro?", true);
        w.btapagaclick();
        QCOMPARE(scalar("select count(*) from descrot").toInt(), 0);
        QCOMPARE(scalar("select count(*) from roteiros").toInt(), 1);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void specificTimesAndDepartureAreSaved()
    {
        {
            TfmRoteiros w;
            w.show();
            w.stops().setRecNo(2);
            w.edTMin->setFocus();
            QTest::keyClicks(w.edTMin, "5");
            QTest::keyClicks(w.edTMax, "15");
            w.stops().setRecNo(3);  // moving to another stop saves it
            QCOMPARE(scalar("select concat(t_min, '-', t_max) from descrot where ordem = '002' "
                            "and codigo_roteiro = 1")
                         .toString(),
                     QString("5-15"));
            w.edHoraSaida->setFocus();
            w.edHoraSaida->setMaskedText("22:30");
            Q_EMIT w.edHoraSaida->editingFinished();
            w.btconfirmaclick();
        }
        QCOMPARE(scalar("select hora_saida from roteiros where codigo_roteiro = 1").toTime(),
                 QTime(22, 30));
    }

    void routeListTypingInTheGridSearches()
    {
        TfmListaRoteiros list;
        QCOMPARE(list.query().text("nome_roteiro"), QString("DIURNO"));
        list.show();
        QTest::keyClicks(list.dbgLista, "n");
        QCOMPARE(list.edPesquisa->text(), QString("N"));
        QCOMPARE(list.query().recordCount(), 1);
        QCOMPARE(list.query().text("nome_roteiro"), QString("NOTURNO"));
        TfmListEmp companies;
        QCOMPARE(companies.query().recordCount(), 1);  // both routes have no company
    }
};

QTEST_MAIN(TestRoutes)
#include "tst_routes.moc"
