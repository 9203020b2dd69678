#include "TestDatabase.h"
#include "core/db/DataSet.h"
#include "core/db/FieldLink.h"
#include "platform/MessageService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QtTest>

// Widgets bound to fields: what they show as the dataset moves, and what the user's typing does
// to the dataset.
class TestFieldLink : public QObject {
    Q_OBJECT

    TestDatabase *m_tdb = nullptr;

    // keyClicks() takes only ASCII; the users type Portuguese.
    static void type(QWidget *widget, const QString &text)
    {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    DataSet *openFuncs(QObject *owner)
    {
        auto *ds = new DataSet(m_tdb->db(), owner);
        ds->setSql("select * from funcs order by codigo_func");
        ds->open();
        return ds;
    }

private Q_SLOTS:
    void init()
    {
        m_tdb = new TestDatabase;
        m_tdb->exec("insert into funcs (nome_func, uf, obs) values ('ANA', 'PE', 'primeira'), "
                    "('BETO', 'RN', null)");
    }
    void cleanup()
    {
        delete m_tdb;
        m_tdb = nullptr;
    }

    void typingUpperCasesAndStartsTheEdit()
    {
        QObject owner;
        DataSet *ds = openFuncs(&owner);
        QLineEdit edit;
        FieldLink::bind(&edit, *ds, "NOME_FUNC", {.upperCase = true});
        QCOMPARE(edit.text(), QString("ANA"));
        QCOMPARE(edit.maxLength(), 40);

        edit.setCursorPosition(1);
        type(&edit, "ção");
        QCOMPARE(edit.text(), QString("AÇÃONA"));
        QCOMPARE(edit.cursorPosition(), 4);
        QCOMPARE(ds->state(), DataSet::State::Edit);
        QCOMPARE(ds->text("nome_func"), QString("AÇÃONA"));  // at once, not on leaving the field

        ds->post();
        QCOMPARE(m_tdb->scalar("select nome_func from funcs where codigo_func = 1").toString(),
                 QString("AÇÃONA"));
    }

    void lengthLimitFromTheFieldOrGiven()
    {
        QObject owner;
        DataSet *ds = openFuncs(&owner);
        QLineEdit uf, fone, free;
        FieldLink::bind(&uf, *ds, "uf");
        FieldLink::bind(&fone, *ds, "fone", {.maxLength = 5});
        FieldLink::bind(&free, *ds, "fone", {.maxLength = -1});
        QCOMPARE(uf.maxLength(), 2);
        QTest::keyClicks(&fone, "12345678");
        QCOMPARE(fone.text(), QString("12345"));
        QCOMPARE(ds->text("fone"), QString("12345"));
        QCOMPARE(free.maxLength(), 32767);
        QCOMPARE(free.text(), QString("12345"));  // the other widget on the field follows

        QPlainTextEdit obs;
        FieldLink::bind(&obs, *ds, "obs", {.upperCase = true, .maxLength = 10});
        QCOMPARE(obs.toPlainText(), QString("primeira"));
        obs.moveCursor(QTextCursor::End);
        QTest::keyClicks(&obs, "xyz");
        QCOMPARE(obs.toPlainText(), QString("PRIMEIRAXY"));
        QCOMPARE(ds->text("obs"), QString("PRIMEIRAXY"));
    }

    void widgetsFollowTheDataset()
    {
        QObject owner;
        DataSet *ds = openFuncs(&owner);
        QLineEdit edit;
        FieldLink::bind(&edit, *ds, "nome_func");

        ds->next();
        QCOMPARE(edit.text(), QString("BETO"));
        QTest::keyClicks(&edit, "X");
        QVERIFY(ds->cancel());
        QCOMPARE(edit.text(), QString("BETO"));
        ds->setValue("nome_func", "CARLOS");  // a rule changing the field
        QCOMPARE(edit.text(), QString("CARLOS"));
        ds->cancel();

        ds->insert();
        QVERIFY(edit.isEnabled());
        QCOMPARE(edit.text(), QString());
        ds->cancel();
        QCOMPARE(edit.text(), QString("BETO"));

        ds->setSql("select * from funcs where codigo_func < 0");
        ds->open();
        QVERIFY(!edit.isEnabled());
        ds->append();
        QVERIFY(edit.isEnabled());
        ds->close();
        QVERIFY(!edit.isEnabled());
        QCOMPARE(edit.text(), QString());
    }

    void refusedEditRevertsTheWidget()
    {
        QObject owner;
        DataSet *ds = openFuncs(&owner);
        QLineEdit edit;
        FieldLink::bind(&edit, *ds, "nome_func");
        ds->on(DataSet::Event::BeforeEdit, [](DataSet &) { throw DataSetAbort(); });
        QTest::keyClicks(&edit, "Z");
        QCOMPARE(edit.text(), QString("ANA"));
        QCOMPARE(ds->state(), DataSet::State::Browse);

        ScriptedMessageService messages;
        messages.expect(MessageService::Kind::Error, "Registro bloqueado.");
        DataSet other(m_tdb->db());
        other.setSql("select * from funcs");
        other.open();
        other.on(DataSet::Event::BeforeEdit, [](DataSet &) { throw DbError("Registro bloqueado."); });
        QLineEdit second;
        FieldLink::bind(&second, other, "nome_func");
        QTest::keyClicks(&second, "Z");
        QCOMPARE(second.text(), QString("ANA"));
        QVERIFY2(messages.done(), qPrintable(messages.problems().join("; ")));
    }

    void checkBoxIsCheckedForZero()
    {
        TestDatabase &tdb = *m_tdb;
        tdb.exec("insert into control (login, senha, cadastros, relatorios) values ('ANA', '1', 0, -1)");
        DataSet ds(tdb.db());
        ds.setSql("select * from control where login = 'ANA'");
        ds.open();
        QCheckBox cadastros, relatorios;
        FieldLink::bind(&cadastros, ds, "cadastros");
        FieldLink::bind(&relatorios, ds, "relatorios");
        QVERIFY(cadastros.isChecked());
        QVERIFY(!relatorios.isChecked());

        relatorios.click();
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QCOMPARE(ds.asInt("relatorios"), 0);
        cadastros.click();
        QCOMPARE(ds.asInt("cadastros"), -1);
        ds.post();
        QCOMPARE(tdb.scalar("select concat(cadastros, '/', relatorios) from control where login = 'ANA'")
                     .toString(), QString("-1/0"));
    }

    void comboAndSpinBoxWriteOnlyWhatTheUserDoes()
    {
        QObject owner;
        DataSet *ds = openFuncs(&owner);
        QComboBox uf;
        FieldLink::bind(&uf, *ds, "uf");
        uf.addItems({"PB", "PE", "RN"});  // filling the list starts no edit
        QCOMPARE(ds->state(), DataSet::State::Browse);
        ds->next();
        QCOMPARE(uf.currentText(), QString("RN"));
        uf.setCurrentIndex(0);
        Q_EMIT uf.activated(0);
        QCOMPARE(ds->text("uf"), QString("PB"));
        ds->cancel();
        QCOMPARE(uf.currentText(), QString("RN"));

        QSpinBox code;
        code.setRange(0, 999);
        FieldLink::bind(&code, *ds, "codigo_func", {.readOnly = true});
        QCOMPARE(code.value(), 2);
        QVERIFY(code.isReadOnly());
        ds->first();
        QCOMPARE(code.value(), 1);
        QCOMPARE(ds->state(), DataSet::State::Browse);
    }
};

QTEST_MAIN(TestFieldLink)
#include "tst_fieldlink.moc"
