#include "WindowDriving.h"
#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/TfmQ90ini.h"
#include "core/db/DataSet.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "registries/Commands.h"
#include "registries/RegistryLists.h"
#include "registries/TfmDistancias.h"
#include "registries/TfmPrecoKm.h"

#include <QAction>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>
#include <QApplication>
#include <QDir>
#include <QtTest>

using Kind = MessageService::Kind;

using WindowDriving::snapshot;

// Distances between locations and prices per km: the points by identifier, the numbers,
// dates and money as typed, and what their search lists do.
class TestDistances : public QObject, public ProgramFixture {
    Q_OBJECT


    static ScriptedDialogRunner::Player pickLocation(const QString &name) { return WindowDriving::pick(name); }

    static void activate(QWidget &w)
    {
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }

    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram());
        tdb->exec("insert into locais (codigo_local, nome_local, button_local) values "
                  "(1, 'PORTARIA', 'L00001'), (2, 'GARAGEM', 'L00002'), (3, 'PATIO', '')");
    }

    void cleanup() { stopProgram(); }

    void pointsAreChosenByLocationAndNeverTheSameTwice()
    {
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        TfmDistancias w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Distâncias entre locais"));
        activate(w);
        w.btadicionaclick();
        QVERIFY(w.edDescricao->hasFocus());
        QTest::keyClicks(w.edDescricao, "portaria a garagem");
        dialogs.expect("TfmListaLocais", pickLocation("PORT"));
        w.btPontoAclick();
        QCOMPARE(w.edPontoA->text(), QString("L00001"));
        QCOMPARE(w.lbLocalA->text(), QString("PORTARIA"));
        dialogs.expect("TfmListaLocais", pickLocation("PORT"));
        msgs.expect(Kind::Warning, QString::fromUtf8("Escolha um outro local, pois esse local já "
                                                     "está associado ao ponto A"));
        w.btPontoBclick();
        QCOMPARE(w.edPontoB->text(), QString());
        // Cancelling the list changes nothing.
        dialogs.expect("TfmListaLocais", [](QDialog *) { return int(QDialog::Rejected); });
        w.btPontoBclick();
        QCOMPARE(w.edPontoB->text(), QString());
        // A point typed shows its location too.
        w.edPontoB->setFocus();
        QTest::keyClicks(w.edPontoB, "l00002");
        QCOMPARE(w.lbLocalB->text(), QString("GARAGEM"));
        retype(w.edKm, "12,5");
        w.btconfirmaclick();
        QCOMPARE(scalar("select concat(descricao, '|', pontoA, '|', pontoB, '|', km) from "
                        "distancia").toString(),
                 QString("PORTARIA A GARAGEM|L00001|L00002|12.50"));
        w.edDescricao->setFocus();
        QCOMPARE(w.edKm->text(), QString("12,50"));
        snapshot(w, "distancias");

        // A location without identifier: an empty point that names no location, not even
        // another location registered without one.
        dialogs.expect("TfmListaLocais", pickLocation("PATIO"));
        w.btPontoBclick();
        QCOMPARE(w.query().state(), DataSet::State::Edit);
        QCOMPARE(w.edPontoB->text(), QString());
        QCOMPARE(w.lbLocalB->text(), QString());
        w.btconfirmaclick();
        QCOMPARE(scalar("select pontoB from distancia").toString(), QString());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        w.buRetornaClick();
    }

    void kmTypedWronglyIsRefusedByNameAndNothingIsSaved()
    {
        ScriptedMessageService msgs;
        TfmDistancias w;
        activate(w);
        w.btadicionaclick();
        QTest::keyClicks(w.edDescricao, "x");
        retype(w.edKm, "1,2,3");
        msgs.expect(Kind::Error, QString::fromUtf8("'1,2,3' não é um valor válido para o campo KM."));
        w.btconfirmaclick();
        QCOMPARE(w.query().state(), DataSet::State::Insert);
        QCOMPARE(w.edKm->text(), QString("1,2,3"));  // kept as typed, for correction
        QCOMPARE(scalar("select count(*) from distancia").toInt(), 0);
        retype(w.edKm, "3");
        w.btconfirmaclick();
        QCOMPARE(scalar("select km from distancia").toDouble(), 3.0);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        w.buRetornaClick();
    }

    void localizaSavesThePendingChangeByMoving()
    {
        tdb->exec("insert into distancia (descricao, pontoA, pontoB, km) values "
                  "('ALFA', 'L00001', 'L00002', 1), ('BETA', 'L00002', 'L00001', 2)");
        ScriptedDialogRunner dialogs;
        TfmDistancias w;
        QVERIFY(w.query().locate("descricao", "ALFA"));
        w.query().setValue("km", 7.25);
        dialogs.expect("TfmListaDistancias", [](QDialog *dlg) {
            auto *list = qobject_cast<TfmListaBase *>(dlg);
            // The text is a bound pattern: a quote or a wildcard is just a character.
            list->edPesquisa->setText("B\"%");
            if (list->query().recordCount() != 0)
                return int(QDialog::Rejected);
            list->edPesquisa->setText("BE");
            list->choose();
            return list->result();
        });
        w.btLocalizaclick();
        QCOMPARE(w.query().text("descricao"), QString("BETA"));
        QCOMPARE(w.lbLocalA->text(), QString("GARAGEM"));
        QCOMPARE(scalar("select km from distancia where descricao = 'ALFA'").toDouble(), 7.25);
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void closingKeepsThePendingChangeForTheNextOpening()
    {
        tdb->exec("insert into distancia (descricao, km) values ('ALFA', 1)");
        {
            TfmDistancias w;
            w.query().setValue("descricao", "ALFA NOVA");
            static_cast<QDialog &>(w).done(QDialog::Rejected);
        }
        QCOMPARE(dm->qyDistancia->state(), DataSet::State::Edit);
        TfmDistancias again;
        QCOMPARE(again.edDescricao->text(), QString("ALFA NOVA"));
        again.btcancelaclick();
        QCOMPARE(scalar("select descricao from distancia").toString(), QString("ALFA"));
    }

    void impossibleDateIsRefusedByNameAndTheRowStaysOpen()
    {
        ScriptedMessageService msgs;
        TfmPrecoKm w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Preço por km"));
        activate(w);
        w.btadicionaclick();
        QVERIFY(w.edInicio->hasFocus());
        QCOMPARE(w.edInicio->delphiMask(), QString("!99/99/0000;1;_"));
        QTest::keyClicks(w.edInicio, "31022026");
        w.edFim->setFocus();
        QTest::keyClicks(w.edFim, "3112202");  // one digit short
        w.edValor->setFocus();
        QTest::keyClicks(w.edValor, "1,5");
        msgs.expect(Kind::Error,
                    QString::fromUtf8("'31/02/2026' não é uma data válida para o campo Início."));
        w.btconfirmaclick();
        QCOMPARE(w.query().state(), DataSet::State::Insert);
        QCOMPARE(w.edInicio->maskedText(), QString("31/02/2026"));
        w.btadicionaclick();  // a new price not saved yet: nothing
        QCOMPARE(w.edInicio->maskedText(), QString("31/02/2026"));
        retype(w.edInicio, "01022026");
        msgs.expect(Kind::Error,
                    QString::fromUtf8("'31/12/202' não é uma data válida para o campo Fim."));
        w.btconfirmaclick();
        QCOMPARE(scalar("select count(*) from precokm").toInt(), 0);
        retype(w.edFim, "28022026");
        w.btconfirmaclick();
        QCOMPARE(scalar("select concat(datainicio, '|', datafim, '|', custo) from precokm")
                     .toString(),
                 QString("2026-02-01|2026-02-28|1.50"));
        w.edInicio->setFocus();
        QCOMPARE(w.edValor->text(), QString("R$ 1,50"));
        w.edValor->setFocus();
        QCOMPARE(w.edValor->text(), QString("1,50"));
        snapshot(w, "precokm");
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void valueTakesSixCharactersAndOverlappingRangesAreBothStored()
    {
        ScriptedMessageService msgs;
        TfmPrecoKm w;
        activate(w);
        for (const auto &[start, end, value] : {std::tuple{"01012026", "31032026", "1234567"},
                                                 std::tuple{"01032026", "30062026", "2,75"}}) {
            w.btadicionaclick();
            QTest::keyClicks(w.edInicio, start);
            w.edFim->setFocus();
            QTest::keyClicks(w.edFim, end);
            w.edValor->setFocus();
            QTest::keyClicks(w.edValor, value);
            w.btconfirmaclick();
        }
        QCOMPARE(scalar("select group_concat(custo order by datainicio separator ' ') from "
                        "precokm").toString(),
                 QString("123456.00 2.75"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void priceListMovesWithTheArrowsAndChoosesByItsKey()
    {
        tdb->exec("insert into precokm (datainicio, datafim, custo) values "
                  "('2025-01-01', '2025-12-31', 1.2), ('2026-01-01', '2026-12-31', 1.45)");
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        TfmPrecoKm w;
        QVERIFY(w.query().locate("custo", 1.45));
        w.query().setValue("custo", 9.0);  // "Localiza" discards this
        dialogs.expect("TfmListaPrecokm", [](QDialog *dlg) {
            auto *list = qobject_cast<TfmListaBase *>(dlg);
            // The latest range first, the price as money; typing filters nothing.
            if (list->dbgLista->model()->index(0, 2).data().toString() != "R$ 1,45")
                return int(QDialog::Rejected);
            QTest::keyClicks(list->edPesquisa, "2025");
            snapshot(*list, "lista-precokm");
            if (list->query().recordCount() != 2)
                return int(QDialog::Rejected);
            QTest::keyClick(list->edPesquisa, Qt::Key_Down);
            QTest::keyClick(list->edPesquisa, Qt::Key_Return);
            return list->result();
        });
        w.btLocalizaclick();
        QCOMPARE(w.query().text("datainicio"), QString("01/01/2025"));
        QCOMPARE(scalar("select max(custo) from precokm").toDouble(), 1.45);
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void menusOpenTheWindows()
    {
        ScriptedDialogRunner dialogs;
        TfmQ90ini main;
        Registries::registerCommands(main);
        for (const char *handler : {"Distnciasentrelocais1Click", "Preosporkm1Click"})
            QVERIFY2(main.action(handler)->isEnabled(), handler);
        dialogs.expect("TfmDistancias", [](QDialog *d) { return d->result(); });
        dialogs.expect("TfmPrecoKm", [](QDialog *d) { return d->result(); });
        main.action("Distnciasentrelocais1Click")->trigger();
        main.action("Preosporkm1Click")->trigger();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }
};

QTEST_MAIN(TestDistances)
#include "tst_distances.moc"
