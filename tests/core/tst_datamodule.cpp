#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QtTest>

using Kind = MessageService::Kind;

// The data module's lookups and the pending-edit confirmation every registration window uses.
class TestDataModule : public QObject, public ProgramFixture {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram());
        tdb->exec("insert into buttons (codigo_button, referencia) values ('2B3C4D', 'F'), "
                  "('0A0B0C', '')");
        tdb->exec("insert into funcs (nome_func, memoria) values ('ANA', '2B3C4D')");
    }

    void cleanup() { stopProgram(); }

    void countByFieldBindsText()
    {
        QCOMPARE(dm->CountByField("2B3C4D", "codigo_button", "buttons"), 1);
        QCOMPARE(dm->CountByField("2b3c4d", "codigo_button", "buttons"), 1);  // server collation
        QCOMPARE(dm->CountByField("ZZZZZZ", "codigo_button", "buttons"), 0);
        // A numeric column compared with a text value still counts.
        QCOMPARE(dm->CountByField("1", "codigo_func", "funcs"), 1);
        QCOMPARE(dm->qySQL->param("pcampo").typeId(), QMetaType::QString);
        QCOMPARE(dm->qySQL->asInt("total"), 1);
        // Text that would break a pasted statement is just a value.
        QCOMPARE(dm->CountByField("x' or '1'='1", "codigo_button", "buttons"), 0);
    }

    void findByFieldWithAndWithoutMatch()
    {
        QVERIFY(dm->FindByField("2B3C4D", "memoria", "funcs"));
        QCOMPARE(dm->qyProcura->text("nome_func"), QString("ANA"));
        QVERIFY(!dm->FindByField("000000", "memoria", "funcs"));
        QCOMPARE(dm->qyProcura->text("nome_func"), QString());
        QCOMPARE(dm->qyProcura->asInt("codigo_func"), 0);
    }

    void confirmPendingEditPostsOrCancels()
    {
        DataSet &q = *dm->qyButtons;
        q.open();
        ScriptedMessageService msgs;
        QVERIFY(dm->ConfirmPendingEdit(q));  // browsing: nothing asked
        QVERIFY(msgs.done());

        q.append();
        q.setValue("codigo_button", "ABCDEF");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        QVERIFY(dm->ConfirmPendingEdit(q));
        QCOMPARE(q.state(), DataSet::State::Browse);
        QCOMPARE(tdb->scalar("select count(*) from buttons where codigo_button = 'ABCDEF'").toInt(),
                 1);

        q.append();
        q.setValue("codigo_button", "FEDCBA");
        msgs.expectConfirm("Registro em edição. Salvar?", false);
        QVERIFY(dm->ConfirmPendingEdit(q));
        QCOMPARE(q.state(), DataSet::State::Browse);
        QCOMPARE(tdb->scalar("select count(*) from buttons where codigo_button = 'FEDCBA'").toInt(),
                 0);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    // Yes with a save that does not happen: the caller is told not to go on, and the row
    // stays in edit with what was typed.
    void confirmPendingEditReportsARefusedSave()
    {
        DataSet &q = *dm->qyButtons;
        q.open();
        ScriptedMessageService msgs;

        // A rule refuses.
        const DataSet::HookId rule = q.on(DataSet::Event::BeforePost, [](DataSet &) {
            Msg::error("recusado");
            throw DataSetAbort();
        });
        q.append();
        q.setValue("codigo_button", "111111");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        msgs.expect(Kind::Error, "recusado");
        QVERIFY(!dm->ConfirmPendingEdit(q));
        QCOMPARE(q.state(), DataSet::State::Insert);
        QCOMPARE(q.text("codigo_button"), QString("111111"));
        q.removeHook(rule);
        q.cancel();

        // The server refuses: a code already registered.
        q.append();
        q.setValue("codigo_button", "2B3C4D");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        msgs.expect(Kind::Error, "*");
        QVERIFY(!dm->ConfirmPendingEdit(q));
        QCOMPARE(q.state(), DataSet::State::Insert);
        QCOMPARE(q.text("codigo_button"), QString("2B3C4D"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        q.cancel();
    }

    void sharedQueriesOpenOnTheirTables()
    {
        for (DataSet *q : {dm->qyButtons, dm->qyControl, dm->qyRoteiros, dm->qyEventos,
                           dm->qyFuncs, dm->qyLocais, dm->qyColetores, dm->qyFuncao,
                           dm->qyDescTot, dm->qyDistancia, dm->qyPrecoKM}) {
            q->open();
            QVERIFY2(q->isActive(), qPrintable(q->sql()));
            q->close();
        }
        dm->qyDescRot->setParam("roteiro", 1);
        dm->qyDescRot->open();
        QCOMPARE(dm->qyDescRot->fieldNames(),
                 (QStringList{"codigo_roteiro", "ordem", "codigo_local"}));
        QCOMPARE(dm->qyControl->primaryKey(), (QStringList{"login", "senha"}));
    }

    void shutdownClosesEverything()
    {
        int paused = 0;
        SystemServices::setPause([&](int ms) { paused += ms; });
        dm->shutdown();
        QCOMPARE(paused, 600);
        QVERIFY(!dm->isConnected());
        QVERIFY(dm->config().isClosed());
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
