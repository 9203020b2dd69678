#include "ProgramFixture.h"
#include "collection/terminals/TfmLerButton.h"
#include "core/TdmzDados.h"
#include "core/TfmQ90ini.h"
#include "core/db/DataSet.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/Commands.h"
#include "registries/IdentifierLists.h"
#include "registries/TfmButtons.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using Kind = MessageService::Kind;

// The identifiers window and the identifier pick lists, driven as a user would.
class TestIdentifiers : public QObject, public ProgramFixture {
    Q_OBJECT

    int count(const QString &sql) const { return tdb->scalar(sql).toInt(); }

    static QStringList column(TfmListaBase &list, const QString &field)
    {
        QStringList out;
        DataSet &q = list.query();
        for (int r = 0; r < q.recordCount(); ++r)
            out << q.textAt(r, field);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram());
        tdb->exec("insert into buttons (codigo_button, referencia, data_cadastro) values "
                  "('0A0B0C','', '2026-01-02 10:00:00'), ('1B2C3D','F', '2026-01-01 09:00:00'), "
                  "('A%B\\\\C', '', '2026-01-03 08:00:00'), ('A\"Z', '', '2026-01-04 08:00:00'), "
                  "('AXBC', '', '2026-01-05 08:00:00'), ('FF0001', '', '2025-12-31 23:00:00')");
        tdb->exec("insert into funcs (nome_func, memoria) values ('BRUNO', '1B2C3D')");
        tdb->exec("insert into eventos (desc_evento) values ('RONDA \"A\"'), ('RONDA B'), "
                  "('ALMOCO')");
    }

    void cleanup() { stopProgram(); }

    void typedCodeIsCutAndRegisteredFree()
    {
        ScriptedMessageService msgs;
        TfmButtons w;
        QCOMPARE(w.windowTitle(), QString("Identificadores"));
        QCOMPARE(w.edCodigo->maxLength(), 6);
        w.show();
        w.btadicionaclick();
        QTest::keyClicks(w.edCodigo, "abc123");
        QCOMPARE(w.edCodigo->text(), QString("ABC123"));
        QVERIFY(!w.edDataCadastro->text().isEmpty());
        // Adiciona with a code typed saves the pending row and starts another.
        w.btadicionaclick();
        QCOMPARE(count("select count(*) from buttons where codigo_button = 'ABC123' and "
                       "referencia = ''"),
                 1);
        // Adiciona again with the new row still empty does nothing.
        w.btadicionaclick();
        QCOMPARE(w.query().state(), DataSet::State::Insert);
        w.btcancelaclick();
        QCOMPARE(w.query().state(), DataSet::State::Browse);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void duplicateCodeIsShownAndTheRowStaysOpen()
    {
        ScriptedMessageService msgs;
        TfmButtons w;
        w.btadicionaclick();
        w.query().setValue("codigo_button", "0A0B0C");
        msgs.expect(Kind::Error, QString::fromUtf8("Já existe um registro com esta chave.*"));
        w.btconfirmaclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(w.query().state(), DataSet::State::Insert);
        w.query().setValue("codigo_button", "0A0B0D");
        w.btconfirmaclick();
        QCOMPARE(w.query().state(), DataSet::State::Browse);
    }

    void deleteAsksTheWindowQuestionThenTheOwnershipOne()
    {
        ScriptedMessageService msgs;
        TfmButtons w;
        QVERIFY(w.query().locate("codigo_button", "1B2C3D"));
        QCOMPARE(w.cbReferencia->currentText(), QString("Colaborador"));
        msgs.expectConfirm("Deseja realmente excluir este registro?", true);
        msgs.expectConfirm(QString::fromUtf8("Memória já associada ao colaborador BRUNO. Confirma?"),
                           true);
        w.btapagaclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(count("select count(*) from buttons where codigo_button = '1B2C3D'"), 0);
        QCOMPARE(count("select count(*) from funcs where memoria = ''"), 1);

        msgs.expectConfirm("Deseja realmente excluir este registro?", false);
        const int before = w.query().recordCount();
        w.btapagaclick();
        QCOMPARE(w.query().recordCount(), before);
    }

    void registrationDateAsDayNumber()
    {
        ScriptedMessageService msgs;
        TfmButtons w;
        QVERIFY(w.query().locate("codigo_button", "0A0B0C"));
        // 02/01/2026 10:00 is day 46024 and 10/24 of a day.
        QCOMPARE(w.dataCadastroAsNumber(), QString("46024,4166666667"));
        msgs.expect(Kind::Information, "46024,4166666667");
        QTest::mouseDClick(w.lbDataCadastro, Qt::LeftButton);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void searchListFindsTextsWithQuotesPercentAndBackslash()
    {
        TfmListaButtons list;
        QCOMPARE(column(list, "codigo_button").size(), 6);
        QTest::keyClicks(list.edPesquisa, "a%");
        QCOMPARE(list.edPesquisa->text(), QString("A%"));
        QCOMPARE(column(list, "codigo_button"), QStringList{"A%B\\C"});
        list.edPesquisa->setText("A\"");
        QCOMPARE(column(list, "codigo_button"), QStringList{"A\"Z"});
        list.edPesquisa->setText("A%B\\");
        QCOMPARE(column(list, "codigo_button"), QStringList{"A%B\\C"});
        list.edPesquisa->setText("A_");
        QCOMPARE(column(list, "codigo_button"), QStringList());
        list.edPesquisa->setText("A");
        QCOMPARE(column(list, "codigo_button"), (QStringList{"A\"Z", "A%B\\C", "AXBC"}));
        // Arrow keys in the search field move the grid; Enter chooses.
        QTest::keyClick(list.edPesquisa, Qt::Key_Down);
        QCOMPARE(list.chosen("codigo_button").toString(), QString("A%B\\C"));
        QTest::keyClick(list.edPesquisa, Qt::Key_Left);
        QCOMPARE(list.chosen("codigo_button").toString(), QString("A\"Z"));
        QTest::keyClick(list.edPesquisa, Qt::Key_Return);
        QCOMPARE(list.result(), int(QDialog::Accepted));
    }

    void localizaMovesToTheChosenCodeAndStaysWhenNothingMatches()
    {
        ScriptedDialogRunner dialogs;
        TfmButtons w;
        QVERIFY(w.query().locate("codigo_button", "0A0B0C"));
        dialogs.expect("TfmListaButtons", [](QDialog *dlg) {
            auto *list = qobject_cast<TfmListaButtons *>(dlg);
            list->edPesquisa->setText("FF");
            QTest::keyClick(list->dbgLista, Qt::Key_Return);  // Enter on the grid chooses
            return list->result();
        });
        w.btLocalizaclick();
        QCOMPARE(w.query().text("codigo_button"), QString("FF0001"));
        dialogs.expect("TfmListaButtons", [](QDialog *dlg) {
            auto *list = qobject_cast<TfmListaButtons *>(dlg);
            list->edPesquisa->setText("NADA");
            list->choose();
            return list->result();
        });
        w.btLocalizaclick();
        QCOMPARE(w.query().text("codigo_button"), QString("FF0001"));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void freeIdentifierListOrders()
    {
        TfmListaButtonsR list;
        QCOMPARE(column(list, "codigo_button"),
                 (QStringList{"FF0001", "0A0B0C", "A%B\\C", "A\"Z", "AXBC"}));
        QVERIFY(!list.edPesquisa);
        list.rbAlfabetica->click();
        QCOMPARE(column(list, "codigo_button"),
                 (QStringList{"0A0B0C", "A\"Z", "A%B\\C", "AXBC", "FF0001"}));
        list.rbCadastro->click();
        QCOMPARE(column(list, "codigo_button").first(), QString("FF0001"));
    }

    void eventListForRouteReferences()
    {
        TfmListaButtonsRef list;
        QCOMPARE(list.windowTitle(), QString("Lista de Eventos"));
        QCOMPARE(column(list, "desc_evento"), (QStringList{"ALMOCO", "RONDA \"A\"", "RONDA B"}));
        list.edPesquisa->setText("RONDA \"");
        QCOMPARE(column(list, "desc_evento"), QStringList{"RONDA \"A\""});
        QTest::keyClick(list.edPesquisa, Qt::Key_Escape);
        QCOMPARE(list.result(), int(QDialog::Rejected));
    }

    void readerFillsTheCodeOfTheCurrentRow()
    {
        ScriptedDialogRunner dialogs;
        TfmButtons w;
        QVERIFY(w.query().locate("codigo_button", "FF0001"));
        dialogs.expect("TfmLerButton", [](QDialog *dlg) {
            auto *reader = qobject_cast<TfmLerButton *>(dlg);
            reader->lbCodigo->setText("1B2C3E");
            return int(QDialog::Accepted);
        });
        w.btLerclick();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QCOMPARE(w.query().state(), DataSet::State::Edit);
        QCOMPARE(w.edCodigo->text(), QString("1B2C3E"));
    }

    // Closing "Ler identificador" with nothing read leaves the row alone: not put in edit,
    // its code not emptied, whether OK was pressed or the window was cancelled.
    void readerClosedWithNothingReadChangesNothing()
    {
        ScriptedDialogRunner dialogs;
        TfmButtons w;
        QVERIFY(w.query().locate("codigo_button", "FF0001"));
        dialogs.expect("TfmLerButton", [](QDialog *dlg) {
            auto *reader = qobject_cast<TfmLerButton *>(dlg);
            reader->btOKclick();
            return reader->result();
        });
        dialogs.expect("TfmLerButton", [](QDialog *) { return int(QDialog::Accepted); });
        dialogs.expect("TfmLerButton", [](QDialog *dlg) {
            qobject_cast<TfmLerButton *>(dlg)->btCancelarclick();
            return dlg->result();
        });
        for (int i = 0; i < 3; ++i) {
            w.btLerclick();
            QCOMPARE(w.query().state(), DataSet::State::Browse);
            QCOMPARE(w.edCodigo->text(), QString("FF0001"));
        }
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }

    void openedFromTheMenu()
    {
        ScriptedDialogRunner dialogs;
        TfmQ90ini main;
        Registries::registerCommands(main);
        dialogs.expect("TfmButtons", [](QDialog *dlg) {
            auto *w = qobject_cast<TfmButtons *>(dlg);
            [&] { QCOMPARE(w->query().recordCount(), 6); }();
            w->buRetornaClick();
            return w->result();
        });
        QVERIFY(main.action("Memrias1Click")->isEnabled());
        main.action("Memrias1Click")->trigger();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY(!dm->qyButtons->isActive());  // closing closes the query
    }
};

QTEST_MAIN(TestIdentifiers)
#include "tst_identifiers.moc"
