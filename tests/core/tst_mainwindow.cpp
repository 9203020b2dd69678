#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/TfmAjuda.h"
#include "core/TfmQ90ini.h"
#include "core/TfmSenha.h"
#include "core/TfmSobre.h"
#include "core/TorvelApplication.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QtTest>

using Kind = MessageService::Kind;

// The main window, its login and its commands, on a real database.
class TestMainWindow : public QObject, public ProgramFixture {
    Q_OBJECT

    static ScriptedDialogRunner::Player typeLogin(const QString &login, const QString &senha)
    {
        return [=](QDialog *dlg) {
            auto *d = qobject_cast<TfmSenha *>(dlg);
            d->edLogin->setText(login);
            d->edSenha->setText(senha);
            d->btconfirmaclick();
            return d->result();
        };
    }

    void addUser(const QString &login, const QString &senha, const QString &deniedFlag = {})
    {
        QStringList flags{"cadastros", "relatorios", "configuracoes", "utilitarios", "descarga",
                          "memorias",  "programa",   "relcad",        "reldesc",     "relcons",
                          "utilsen"};
        QStringList values;
        for (const QString &f : flags)
            values << (f == deniedFlag ? "-1" : "0");
        tdb->exec(QStringLiteral("insert into control (login, senha, %1) values ('%2', '%3', %4)")
                      .arg(flags.join(','), login, senha, values.join(',')));
    }

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }

    void init() { QVERIFY(startProgram({.ini = true})); }

    void cleanup() { stopProgram(); }

    void newDatabaseLogsInWithEmptyLoginAndEverything()
    {
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmSenha", [](QDialog *dlg) {
            auto *d = qobject_cast<TfmSenha *>(dlg);
            d->show();
            // Enter in "Login" moves to "Senha"; Enter in "Senha" confirms.
            QTest::keyClick(d->edLogin, Qt::Key_Return);
            QTest::keyClick(d->edSenha, Qt::Key_Return);
            return d->result();
        });
        TfmQ90ini w;
        w.registerCommand("Coletores1Click", [] {});
        w.registerCommand("ConsistenciaClick", [] {});
        QVERIFY(w.FormCreate());
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        for (const char *menu : {"mnCadastros", "mnRelatorios", "mnRelCadastros", "mnRelColetas",
                                 "mnAnaliticos", "mnConfiguracoes", "mnUtilitarios"})
            QVERIFY2(w.menu(menu)->menuAction()->isEnabled(), menu);
        QVERIFY(w.action("Coletores1Click")->isEnabled());
        QVERIFY(w.action("ConsistenciaClick")->isEnabled());
        // A command no module registered yet is shown but disabled.
        QVERIFY(!w.action("Memrias1Click")->isEnabled());
        QCOMPARE(w.statusText(0), QString());
        QCOMPARE(w.windowTitle(), QString("Torvel - Controle de Rondas"));
    }

    void threeWrongThenRightLogsIn()
    {
        addUser("ANA", "SEGREDO");
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        for (int i = 0; i < 3; ++i)
            msgs.expect(Kind::Error, "Senha inválida!");
        dialogs.expect("TfmSenha", [](QDialog *dlg) {
            auto *d = qobject_cast<TfmSenha *>(dlg);
            for (const char *wrong : {"X", "SEGREDOS", ""}) {
                d->edLogin->setText("ANA");
                d->edSenha->setText(wrong);
                d->btconfirmaclick();
                if (d->result() == QDialog::Accepted || !d->edSenha->text().isEmpty())
                    return int(QDialog::Rejected);
            }
            d->edSenha->setText("SEGREDO");
            d->btconfirmaclick();
            return d->result();
        });
        TfmQ90ini w;
        QVERIFY(w.FormCreate());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(w.statusText(0), QString("ANA"));
        QCOMPARE(dm->login, QString("ANA"));
        QCOMPARE(dm->senha, QString("SEGREDO"));
    }

    void fourWrongEndTheProgram()
    {
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        for (int i = 0; i < 4; ++i)
            msgs.expect(Kind::Error, "Senha inválida!");
        bool terminated = false;
        dialogs.expect("TfmSenha", [&](QDialog *dlg) {
            auto *d = qobject_cast<TfmSenha *>(dlg);
            for (int i = 0; i < 4 && !d->terminated(); ++i) {
                d->edLogin->setText("NINGUEM");
                d->btconfirmaclick();
            }
            terminated = d->terminated();
            return d->result();
        });
        TfmQ90ini w;
        QVERIFY(!w.FormCreate());
        QVERIFY(terminated);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void loginFieldsAreUpperCaseAndShort()
    {
        TfmSenha d;
        d.show();
        QTest::keyClicks(d.edLogin, "maria");
        QCOMPARE(d.edLogin->text(), QString("MARIA"));
        QCOMPARE(d.edSenha->maxLength(), 10);
        QCOMPARE(d.edSenha->echoMode(), QLineEdit::Password);
        ScriptedMessageService msgs;
        QTest::keyClick(d.edSenha, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void flagsGateMenusButNeverTiles()
    {
        addUser("BETO", "1", "cadastros");
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmSenha", typeLogin("BETO", "1"));
        TfmQ90ini w;
        int opened = 0;
        w.registerCommand("RoteirosClick", [&] { ++opened; });
        w.registerCommand("FuncionriosClick", [&] { ++opened; });
        w.registerCommand("LocaisClick", [&] { ++opened; });
        QVERIFY(w.FormCreate());
        QVERIFY(!w.menu("mnCadastros")->menuAction()->isEnabled());
        QVERIFY(w.menu("mnConfiguracoes")->menuAction()->isEnabled());
        for (const char *caption : {"Roteiros", "Colaboradores", "Local"}) {
            QToolButton *tile = w.tile(QString::fromUtf8(caption));
            QVERIFY(tile->isEnabled());
            tile->click();
        }
        QCOMPARE(opened, 3);
        QCOMPARE(w.tiles().size(), 9);
    }

    void consistencyGateAndPreselection()
    {
        addUser("CAIO", "2", "relcons");
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmSenha", typeLogin("CAIO", "2"));
        TfmQ90ini w;
        QString seenPreselection = "unset";
        w.registerCommand("ConsistenciaClick", [&] { seenPreselection = w.preselColetor; });
        QVERIFY(w.FormCreate());
        QVERIFY(!w.action("ConsistenciaClick")->isEnabled());
        QVERIFY(w.menu("mnRelatorios")->menuAction()->isEnabled());
        QVERIFY(w.menu("mnAnaliticos")->menuAction()->isEnabled());
        w.preselColetor = "000123";
        w.tile(QString::fromUtf8("Relatório de Consistência"))->click();
        QCOMPARE(seenPreselection, QString());
    }

    void clockShowsPortugueseWeekdays()
    {
        TfmQ90ini w;
        SystemServices::setClock([] { return QDateTime(QDate(2026, 12, 12), QTime(14, 5, 59)); });
        w.Timer1Timer();
        QCOMPARE(w.statusText(1), QString::fromUtf8("  Sábado, 12 de dezembro de 2026"));
        QCOMPARE(w.statusText(2), QString("  14:05"));
        SystemServices::setClock([] { return QDateTime(QDate(2026, 3, 1), QTime(0, 0)); });
        w.Timer1Timer();
        QCOMPARE(w.statusText(1), QString::fromUtf8("  Domingo, 01 de março de 2026"));
        QCOMPARE(w.statusText(2), QString("  00:00"));
    }

    void answeringNoToExitKeepsTheWindow()
    {
        ScriptedMessageService msgs;
        TfmQ90ini w;
        w.show();
        msgs.expectConfirm("Sair do sistema?", false);
        w.SairClick();
        QVERIFY(w.isVisible());
        msgs.expectConfirm("Sair do sistema?", false);
        w.close();
        QVERIFY(w.isVisible());
        msgs.expectConfirm("Sair do sistema?", true);
        w.run("SairClick");
        QVERIFY(!w.isVisible());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void uncaughtDatabaseErrorEndsOnlyTheCommand()
    {
        ScriptedMessageService msgs;
        TfmQ90ini w;
        w.registerCommand("Coletores1Click", [&] {
            Sql::exec(dm->db(), "select * from tabela_que_nao_existe");
        });
        msgs.expect(Kind::Error, "Erro no banco de dados: *");
        w.run("Coletores1Click");
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void droppedConnectionIsReportedThenRecovers()
    {
        const qlonglong id = Sql::scalar(dm->db(), "select connection_id()").toLongLong();
        {
            TestDatabase other;
            other.exec(QStringLiteral("kill %1").arg(id));
        }
        ScriptedMessageService msgs;
        TfmQ90ini w;
        int count = -1;
        w.registerCommand("Memrias1Click", [&] {
            count = dm->CountByField("X", "codigo_button", "buttons");
        });
        w.run("Memrias1Click");
        // Either the driver reconnected at once, or the user was told and the next try works.
        if (count < 0) {
            QCOMPARE(msgs.shown().size(), 1);
            QVERIFY(msgs.shown().first().startsWith(MessageService::kindName(Kind::Error)));
            w.run("Memrias1Click");
        }
        QCOMPARE(count, 0);
    }

    void aboutShowsVersionAndServer()
    {
        TfmSobre about;
        QCOMPARE(about.lbVersao->text(), QString::fromUtf8("Versão 5.0.3"));
        QCOMPARE(about.lbIP->text(), "IP: " + tdb->params().host);
        QCOMPARE(about.windowTitle(), QString("Sobre"));
    }

    // "Ajuda" > "&TORVEL" shows the program folder's TORVEL.TXT in our own window; a missing
    // file is said there, with no message box and nothing started.
    void helpShowsTheTextFileInItsOwnWindow()
    {
        QStringList started;
        SystemServices::setStarter([&](const QString &program, const QStringList &args) {
            started << program + "|" + args.join(' ');
            return true;
        });
        ScriptedMessageService msgs;  // nothing may be shown
        ScriptedDialogRunner dialogs;
        QString shown;
        auto look = [&](QDialog *dlg) {
            auto *help = qobject_cast<TfmAjuda *>(dlg);
            shown = help->mmTexto->toPlainText();
            return int(QDialog::Accepted);
        };
        dialogs.expect("TfmAjuda", look).expect("TfmAjuda", look);
        TfmQ90ini w;
        w.run("TORVEL1Click");
        QVERIFY2(shown.contains(dm->programFolder() + "TORVEL.TXT"), qPrintable(shown));
        QFile file(dm->programFolder() + "TORVEL.TXT");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("TORVEL - CONTROLE DE RONDAS\nAjuda do usuário\n");
        file.close();
        w.run("TORVEL1Click");
        QCOMPARE(shown, QString::fromUtf8("TORVEL - CONTROLE DE RONDAS\nAjuda do usuário\n"));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY(started.isEmpty());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    // The tiles keep their size when the window grows, so caption and icon stay together
    // instead of drifting apart in a stretched button.
    void tilesKeepCaptionAndIconTogether()
    {
        TfmQ90ini w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QToolButton *tile = w.tile(QString::fromUtf8("Relatório de Consistência"));
        QVERIFY(tile);
        const QSize small = tile->size();
        QVERIFY(small.width() >= tile->sizeHint().width());
        w.resize(1600, 1100);
        QCoreApplication::processEvents();
        QCOMPARE(tile->size(), small);
        for (const char *caption : {"Roteiros", "Local", "Analítico por Coletor"})
            QCOMPARE(w.tile(QString::fromUtf8(caption))->size(), small);
        // and centred in its share of the window: the fourth of four columns
        const QWidget *panel = w.centralWidget();
        const QPoint centre = tile->mapTo(panel, tile->rect().center());
        QVERIFY2(qAbs(centre.x() - panel->width() * 7 / 8) < panel->width() / 32,
                 qPrintable(QString::number(centre.x())));
    }

    void loginDialogHasOnlyATitleAndAFixedSize()
    {
        TfmSenha login;
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        const Qt::WindowFlags flags = login.windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        // Some function must be named, or an X11 window manager offers them all.
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(login.minimumSize(), login.maximumSize());
    }

    // Qt's own texts (standard buttons, print and file dialogs) come up in Portuguese, and no
    // program name is set for the desktop to append to every window title.
    void qtTextsInPortugueseAndTitlesAsSet()
    {
        QVERIFY(TorvelApplication::installQtTranslations());
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes |
                             QDialogButtonBox::No);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString("Cancelar"));
        QCOMPARE(box.button(QDialogButtonBox::Yes)->text().remove('&'), QString("Sim"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    }

    void menuCaptionsAndAccessKeys()
    {
        TfmQ90ini w;
        QStringList top;
        for (QAction *a : w.menuBar()->actions())
            top << a->text();
        QCOMPARE(top, (QStringList{"&Cadastros", QString::fromUtf8("&Relatórios"),
                                   QString::fromUtf8("C&onfigurações"),
                                   QString::fromUtf8("Uti&litários"), "A&juda", "&Sair"}));
        QCOMPARE(w.action("Funces1Click")->text(), QString::fromUtf8("&Funcões"));
        QCOMPARE(w.action("Distnciaspercorridas1Click")->text(),
                 QString::fromUtf8("Distâncias percorridas"));
        QCOMPARE(w.action("Senha1Click")->text(), QString::fromUtf8("&Permissões de acesso"));
        QStringList tiles;
        for (QToolButton *t : w.tiles())
            tiles << t->text();
        QCOMPARE(tiles, (QStringList{"Roteiros", QString::fromUtf8("Comunicação"),
                                     "Excluir coletas",
                                     QString::fromUtf8("Relatório de Consistência"),
                                     "Colaboradores", QString::fromUtf8("Relatório de Coleta"),
                                     "Local", QString::fromUtf8("Analítico por Coletor"),
                                     "Painel do dia"}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
