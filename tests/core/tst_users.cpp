#include "WindowDriving.h"
#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/TfmAcesso.h"
#include "core/TfmQ90ini.h"
#include "core/TfmSenha.h"
#include "core/TorvelApplication.h"
#include "core/db/DataSet.h"
#include "platform/MessageService.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QApplication>
#include <QDir>
#include <QtTest>

using Kind = MessageService::Kind;

using WindowDriving::snapshot;

// The users editor: its rows, its messages and what the flags do at the next login.
class TestUsers : public QObject, public ProgramFixture {
    Q_OBJECT


    static void choose(TfmAcesso &w, const QString &login)
    {
        const QList<QListWidgetItem *> items = w.lvUsuarios->findItems(login, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(login));
        w.lvUsuariosClick(items.first());
    }

    // Adds a user as the user does: "Adiciona", the two fields typed, "Confirma".
    static void add(TfmAcesso &w, const QString &login, const QString &senha)
    {
        w.btadicionaclick();
        type(w.edLogin, login);
        w.edLoginExit();
        type(w.edSenha, senha);
    }

    // The users window shown and active, with the messages it gives scripted.
    struct ActiveWindow {
        ScriptedMessageService msgs;
        TfmAcesso w;
        ActiveWindow() { activate(w); }
    };

    // The window opened with the user ANA, password UM, saved already.
    ActiveWindow overSavedAna()
    {
        tdb->exec("insert into control (login, senha) values ('ANA', 'UM')");
        return ActiveWindow();
    }

    // Adds a user whose login is taken: the login warns so as it is left.
    static void addTaken(TfmAcesso &w, ScriptedMessageService &msgs, const QString &login,
                         const QString &senha)
    {
        msgs.expect(Kind::Information, QString::fromUtf8("Nome de usuário já existente!"));
        add(w, login, senha);
    }

    // "Confirma", answered by the message `text` of `kind`.
    static void confirmWith(TfmAcesso &w, ScriptedMessageService &msgs, Kind kind, const QString &text)
    {
        msgs.expect(kind, text);
        w.btconfirmaclick();
    }

    // Key by key, accents included (QTest::keyClicks takes ASCII only).
    static void type(QWidget *widget, const QString &text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_A, QString(c), Qt::NoModifier);
    }

    static void activate(QWidget &w)
    {
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }

    // Logs in through the main window's start and tells whether the reports of collections
    // are enabled for that user.
    bool collectionReportsEnabledFor(const QString &login, const QString &senha)
    {
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmSenha", [=](QDialog *dlg) {
            auto *d = qobject_cast<TfmSenha *>(dlg);
            d->edLogin->setText(login);
            d->edSenha->setText(senha);
            d->btconfirmaclick();
            return d->result();
        });
        TfmQ90ini main;
        if (!main.FormCreate())
            return false;
        return main.menu("mnRelColetas")->menuAction()->isEnabled();
    }

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }

    void init() { QVERIFY(startProgram()); }

    void cleanup() { stopProgram(); }

    void opensOnTheInitialUserWithEverythingDisabled()
    {
        ScriptedMessageService msgs;
        TfmAcesso w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Usuários do Sistema"));
        QCOMPARE(w.captions(), QStringList({"(sem login)"}));  // the initial user has no login
        QVERIFY(!w.gbAcessos->isEnabled());
        QCOMPARE(w.edLogin->toolTip(), QString::fromUtf8("Nome do usuário"));
        QCOMPARE(w.edSenha->toolTip(), QString::fromUtf8("Senha do usuário"));
        QCOMPARE(w.edSenha->echoMode(), QLineEdit::Password);
        QCOMPARE(w.lvUsuarios->toolTip(),
                 QString::fromUtf8("Clique no usuário para realizar as alterações"));
        // The indented flags sit to the right of the flag they belong to.
        w.show();
        const auto left = [&](const char *column) {
            return w.flag(column)->mapTo(&w, QPoint()).x();
        };
        QVERIFY(left("relcad") > left("relatorios"));
        QCOMPARE(left("reldesc"), left("relcad"));
        QVERIFY(left("utilsen") > left("utilitarios"));
        QCOMPARE(left("descarga"), left("cadastros"));
        // "Exclui" with no user chosen deletes nobody.
        w.btapagaclick();
        QCOMPARE(scalar("select count(*) from control").toInt(), 1);
        choose(w, "(sem login)");
        QVERIFY(w.gbAcessos->isEnabled());
        QVERIFY(w.flag("reldesc")->isChecked());
        snapshot(w, "usuarios");
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void uncheckingDescarregamentoActsAtTheNextLoginOnly()
    {
        ScriptedMessageService msgs;
        {
            TfmAcesso w;
            activate(w);
            add(w, "vigia", "ronda1");
            for (const char *column : {"cadastros", "reldesc", "utilsen"})
                QVERIFY(w.flag(column)->isChecked());  // a new user may do everything
            w.flag("reldesc")->click();
            confirmWith(w, msgs, Kind::Information, QString::fromUtf8("Informações gravadas com sucesso!"));
            QVERIFY(!w.gbAcessos->isEnabled());
            QCOMPARE(w.captions(), QStringList({"(sem login)", "VIGIA"}));
            w.buRetornaclick();
            QCOMPARE(w.result(), int(QDialog::Accepted));
        }
        QCOMPARE(scalar("select reldesc from control where login = 'VIGIA'").toInt(), -1);
        QCOMPARE(scalar("select descarga from control where login = 'VIGIA'").toInt(), 0);
        QCOMPARE(scalar("select senha from control where login = 'VIGIA'").toString(),
                 QString("RONDA1"));
        QVERIFY(!collectionReportsEnabledFor("VIGIA", "RONDA1"));
        QVERIFY(collectionReportsEnabledFor("", ""));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void repeatedLoginWarnsAndTheSamePairIsRefusedByTheKey()
    {
        ActiveWindow window = overSavedAna();
        auto &[msgs, w] = window;
        addTaken(w, msgs, "ana", "um");
        QVERIFY(w.edLogin->hasFocus());
        confirmWith(w, msgs, Kind::Error, QString::fromUtf8("Já existe um registro com esta chave.*"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        // Still usable: the row is as typed, and another password saves it.
        QCOMPARE(dm->qyControl->state(), DataSet::State::Insert);
        QVERIFY(w.gbAcessos->isEnabled());
        w.edSenha->selectAll();
        type(w.edSenha, "dois");
        confirmWith(w, msgs, Kind::Information, QString::fromUtf8("Informações gravadas com sucesso!"));
        QCOMPARE(scalar("select count(*) from control where login = 'ANA'").toInt(), 2);
        QCOMPARE(w.captions(), QStringList({"(sem login)", "ANA", "ANA"}));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void withoutPasswordNothingIsSaved()
    {
        ActiveWindow window;
        auto &[msgs, w] = window;
        add(w, "BIA", "");
        confirmWith(w, msgs, Kind::Warning, "Informe a senha!");
        QVERIFY(w.edSenha->hasFocus());
        QCOMPARE(scalar("select count(*) from control").toInt(), 1);
        // "Retorna" offers the row; a refused save keeps the window open.
        msgs.expectConfirm("Registro em edição. Salvar?", false);
        w.buRetornaclick();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(scalar("select count(*) from control").toInt(), 1);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void retornaStaysOpenWhenTheSaveIsRefused()
    {
        ActiveWindow window = overSavedAna();
        auto &[msgs, w] = window;
        addTaken(w, msgs, "ANA", "UM");
        msgs.expectConfirm("Registro em edição. Salvar?", true);
        msgs.expect(Kind::Error, QString::fromUtf8("Já existe um registro com esta chave.*"));
        w.buRetornaclick();
        QVERIFY(w.result() != QDialog::Accepted);
        QCOMPARE(dm->qyControl->state(), DataSet::State::Insert);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    // Two users with one login: the one clicked is the one shown and deleted.
    void theUserPointedAtIsTheOneActedOn()
    {
        tdb->exec("insert into control (login, senha, reldesc) values ('ANA', 'UM', -1), ('ANA', 'DOIS', 0)");
        ScriptedMessageService msgs;
        TfmAcesso w;
        QCOMPARE(w.captions(), QStringList({"(sem login)", "ANA", "ANA"}));
        // Listed by login, the two ANAs come in either order; each click shows its own.
        w.lvUsuariosClick(w.lvUsuarios->item(2));
        const QString second = dm->qyControl->text("senha");
        const QString first = second == "DOIS" ? "UM" : "DOIS";
        QCOMPARE(w.flag("reldesc")->isChecked(), second == "DOIS");
        w.lvUsuariosClick(w.lvUsuarios->item(1));
        QCOMPARE(dm->qyControl->text("senha"), first);
        QCOMPARE(w.flag("reldesc")->isChecked(), first == "DOIS");
        w.lvUsuariosClick(w.lvUsuarios->item(2));
        w.btapagaclick();
        QCOMPARE(scalar("select senha from control where login = 'ANA'").toString(), first);
        QCOMPARE(w.captions(), QStringList({"(sem login)", "ANA"}));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    // Leaving a new user by clicking another, or by "Adiciona", checks it as "Confirma" does;
    // a saved one shows in the list.
    void leavingANewUserChecksItAsConfirmaDoes()
    {
        tdb->exec("insert into control (login, senha) values ('CAIO', 'DOIS')");
        ActiveWindow window;
        auto &[msgs, w] = window;
        add(w, "BIA", "");
        msgs.expect(Kind::Error, "Informe a senha!");
        w.lvUsuariosClick(w.lvUsuarios->item(1));
        QCOMPARE(dm->qyControl->state(), DataSet::State::Insert);
        msgs.expect(Kind::Error, "Informe a senha!");
        w.btadicionaclick();
        QCOMPARE(scalar("select count(*) from control").toInt(), 2);
        type(w.edSenha, "tres");
        w.lvUsuariosClick(w.lvUsuarios->item(1));
        QCOMPARE(scalar("select senha from control where login = 'BIA'").toString(), QString("TRES"));
        QCOMPARE(w.captions(), QStringList({"(sem login)", "BIA", "CAIO"}));
        QCOMPARE(dm->qyControl->text("login"), QString("CAIO"));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void quotesAndAccentsRoundTripAndLogIn()
    {
        const QString login = QString::fromUtf8("d'ávila\"x");
        const QString senha = QString::fromUtf8("são'; --");
        ScriptedMessageService msgs;
        {
            TfmAcesso w;
            activate(w);
            add(w, login, senha);
            confirmWith(w, msgs, Kind::Information, QString::fromUtf8("Informações gravadas com sucesso!"));
            QCOMPARE(w.captions().last(), login.toUpper());
        }
        QCOMPARE(scalar("select count(*) from control").toInt(), 2);
        QCOMPARE(scalar("select senha from control where login <> ''").toString(), senha.toUpper());
        TfmSenha d;
        d.edLogin->setText(login.toUpper());
        d.edSenha->setText(senha.toUpper());
        d.btconfirmaclick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void excluiDeletesTheChosenUserAtOnce()
    {
        tdb->exec("insert into control (login, senha) values ('ANA', 'UM'), ('CAIO', 'DOIS')");
        ScriptedMessageService msgs;  // no question asked
        TfmAcesso w;
        choose(w, "CAIO");
        QCOMPARE(w.edLogin->text(), QString("CAIO"));
        w.btapagaclick();
        QCOMPARE(w.captions(), QStringList({"(sem login)", "ANA"}));
        QCOMPARE(scalar("select count(*) from control where login = 'CAIO'").toInt(), 0);
        QVERIFY(!w.gbAcessos->isEnabled());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void menuOpensTheEditor()
    {
        ScriptedDialogRunner dialogs;
        TfmQ90ini main;
        QVERIFY(main.action("Senha1Click")->isEnabled());
        dialogs.expect("TfmAcesso", [](QDialog *d) { return d->result(); });
        main.action("Senha1Click")->trigger();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
    }
};

QTEST_MAIN(TestUsers)
#include "tst_users.moc"
