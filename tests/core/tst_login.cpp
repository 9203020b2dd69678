#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/TfmSenha.h"
#include "core/TorvelApplication.h"
#include "platform/MessageService.h"

#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using Kind = MessageService::Kind;

// The login dialog against the table of users: the password must be the one stored, character
// for character, whatever the server's collation would call equal.
class TestLogin : public QObject, public ProgramFixture {
    Q_OBJECT

    void addUser(const QString &login, const QString &senha, int cadastros = 0)
    {
        QSqlQuery q(tdb->db());
        q.prepare("insert into control (login, senha, cadastros) values (?, ?, ?)");
        q.addBindValue(login);
        q.addBindValue(senha);
        q.addBindValue(cadastros);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }

    static bool accepts(TfmSenha &d, const QString &login, const QString &senha)
    {
        ScriptedMessageService msgs;  // no prompt at all
        d.edLogin->setText(login);
        d.edSenha->setText(senha);
        d.btconfirmaclick();
        return d.result() == QDialog::Accepted && msgs.done();
    }

    // Refused as a wrong password is: the message, one more failure, "Senha" emptied.
    static bool refuses(TfmSenha &d, const QString &login, const QString &senha)
    {
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, "Senha inválida!");
        const int failuresBefore = d.failures();
        d.edLogin->setText(login);
        d.edSenha->setText(senha);
        d.btconfirmaclick();
        return d.result() != QDialog::Accepted && d.failures() == failuresBefore + 1
               && d.edSenha->text().isEmpty() && msgs.done();
    }

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }

    void init() { QVERIFY(startProgram()); }

    void cleanup() { stopProgram(); }

    // At start-up the main window, the login's parent, is not on screen yet: the login must not
    // sit over where that window will be, but in the middle of the screen.
    void opensCentredOnTheScreen()
    {
        QWidget mainWindow;
        mainWindow.setGeometry(0, 0, 1000, 700);
        TfmSenha d(&mainWindow);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QPoint centre = d.screen()->availableGeometry().center();
        QVERIFY2((d.frameGeometry().center() - centre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("login at %1,%2 %3x%4, screen centre %5,%6")
                                .arg(d.frameGeometry().x()).arg(d.frameGeometry().y())
                                .arg(d.width()).arg(d.height()).arg(centre.x()).arg(centre.y())));
        d.reject();
    }

    void passwordMustMatchExactly_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("senha");
        QTest::newRow("lower case") << "ANA" << "senha";
        QTest::newRow("mixed case") << "ANA" << "Senha";
        QTest::newRow("trailing blank") << "ANA" << "SENHA ";
        QTest::newRow("accent") << "ANA" << "SÊNHA";
        QTest::newRow("accent on the stored one") << "BIA" << "ACAO";
        QTest::newRow("login in lower case") << "ana" << "SENHA";
        QTest::newRow("login with a trailing blank") << "ANA " << "SENHA";
        QTest::newRow("leading blank") << "ANA" << " SENHA";
    }

    void passwordMustMatchExactly()
    {
        QFETCH(QString, login);
        QFETCH(QString, senha);
        addUser("ANA", "SENHA");
        addUser("BIA", "AÇÃO");
        TfmSenha d;
        QVERIFY(refuses(d, login, senha));
        QCOMPARE(d.failures(), 1);
        QVERIFY(accepts(d, "ANA", "SENHA"));
        QCOMPARE(dm->login, QString("ANA"));
        QCOMPARE(dm->senha, QString("SENHA"));
    }

    void accentedPasswordLogsInAsStored()
    {
        addUser("BIA", "AÇÃO");
        TfmSenha d;
        QVERIFY(accepts(d, "BIA", "AÇÃO"));
    }

    // The key is (login, password): two rows may share a login; each password brings its own
    // permissions.
    void sameLoginTwoPasswordsEachGetsItsOwnRow()
    {
        addUser("CAIO", "UM", 0);
        addUser("CAIO", "DOIS", -1);
        {
            TfmSenha d;
            QVERIFY(accepts(d, "CAIO", "DOIS"));
            QCOMPARE(d.flags().value("cadastros"), -1);
        }
        {
            TfmSenha d;
            QVERIFY(accepts(d, "CAIO", "UM"));
            QCOMPARE(d.flags().value("cadastros"), 0);
        }
        TfmSenha d;
        QVERIFY(refuses(d, "CAIO", "TRES"));
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
