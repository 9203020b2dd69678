#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "core/TdmzDados.h"
#include "core/TfmConecta.h"
#include "core/TfmConfigCom.h"
#include "core/TfmDescricao.h"
#include "core/TorvelApplication.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

using Kind = MessageService::Kind;

namespace {

void fillServer(TfmConecta *d, const ConnectionParams &p)
{
    d->edHost->setText(p.host);
    d->edPorta->setText(QString::number(p.port));
    d->edUser->setText(p.user);
    d->edPassword->setText(p.password);
}

// Fills the settings window with `p` and confirms it; what the window then ends with.
int confirmSettings(TfmConfigCom *d, const ConnectionParams &p)
{
    d->edDatabase->setText(p.database);
    d->edHostName->setText(p.host);
    d->edPorta->setText(QString::number(p.port));
    d->edUser->setText(p.user);
    d->edPassword->setText(p.password);
    d->btConfirmaclick();
    return d->result();
}

// A first run turned down throughout: the server dialog, the notice that follows it, and the
// settings window.
void scriptRefusedFirstRun(ScriptedMessageService &msgs, ScriptedDialogRunner &dialogs)
{
    dialogs.expect("TfmConecta", [](QDialog *) { return int(QDialog::Rejected); });
    msgs.expect(Kind::Information, "É preciso configurar o acesso ao servidor de dados.");
    dialogs.expect("TfmConfigCom", [](QDialog *) { return int(QDialog::Rejected); });
}

// What went otherwise than scripted in starting `dm`: an outcome other than `expected`, messages
// not shown or not expected, and, given the runner, dialogs likewise. Empty when all went as told.
QStringList startupProblems(TdmzDados &dm, TdmzDados::Startup expected,
                            const ScriptedMessageService &msgs,
                            const ScriptedDialogRunner *dialogs = nullptr)
{
    QStringList problems;
    const TdmzDados::Startup got = dm.startup();
    if (got != expected)
        problems << QStringLiteral("startup ended with %1, not %2").arg(int(got)).arg(int(expected));
    if (!msgs.done())
        problems << msgs.problems();
    if (dialogs)
        problems << dialogs->problems();
    return problems;
}

// A TCP port on which nothing listens.
int deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }

    void firstRunCancelledLeadsToDatabaseOnlySettings()
    {
        TestEnvironment env;
        TestDatabase tdb;
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        msgs.expect(Kind::Information, "É preciso configurar o acesso ao servidor de dados.");
        dialogs.expect("TfmConecta", [](QDialog *) { return int(QDialog::Rejected); });
        dialogs.expect("TfmConfigCom", [&](QDialog *dlg) {
            auto *d = qobject_cast<TfmConfigCom *>(dlg);
            // Only the database page is offered.
            [&] { QCOMPARE(d->pcPaginas->count(), 1); }();
            return confirmSettings(d, tdb.params());
        });
        TdmzDados dm;
        const QStringList problems = startupProblems(dm, TdmzDados::Startup::Connected, msgs, &dialogs);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QVERIFY(dm.isConnected());
        IniFile ini(env.iniPath());
        QCOMPARE(ini.readBool("CONFIG", "CNFBD", false), false);  // asked again next time
        QCOMPARE(ini.readString("BANCO", "Database"), tdb.name());
        QCOMPARE(ini.readInteger("BANCO", "port", 0), tdb.params().port);
        QCOMPARE(QFile::permissions(env.iniPath()) & 0x0077, QFileDevice::Permissions());
    }

    void firstRunConnectionDialogChoosesDatabase()
    {
        TestEnvironment env;
        TestDatabase tdb;
        TestDatabase upper(false);
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        QStringList offered;
        dialogs.expect("TfmConecta", [&](QDialog *dlg) {
            auto *d = qobject_cast<TfmConecta *>(dlg);
            [&] { QVERIFY(!d->btOK->isEnabled()); }();
            fillServer(d, TestDatabase::server());
            d->btConectarClick();
            [&] {
                QCOMPARE(d->btConectar->text(), QString("Desconectar"));
                QVERIFY(d->btCriar->isEnabled());
            }();
            for (int i = 0; i < d->cbDatabase->count(); ++i)
                offered << d->cbDatabase->itemText(i);
            d->cbDatabase->setCurrentIndex(d->cbDatabase->findText(tdb.name()));
            d->cbDatabaseChange();
            d->btOKClick();
            return d->result();
        });
        TdmzDados dm;
        const QStringList problems = startupProblems(dm, TdmzDados::Startup::Connected, msgs, &dialogs);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QVERIFY(offered.contains(tdb.name()));
        for (const QString &name : offered) {
            QVERIFY(name.toLower() != "mysql");
            QVERIFY(name.toLower() != "information_schema");
        }
        IniFile ini(env.iniPath());
        QCOMPARE(ini.readBool("CONFIG", "CNFBD", false), true);
        QCOMPARE(ini.readString("BANCO", "Database"), tdb.name());
        QCOMPARE(dm.connectionParams().database, tdb.name());
    }

    void connectionDialogCreatesDatabaseAndRefusesUnsafeNames()
    {
        TestEnvironment env;
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        TdmzDados dm;
        TfmConecta d;
        fillServer(&d, TestDatabase::server());
        d.btConectarClick();

        const QString hostile = "x; drop database mysql";
        dialogs.expect("TfmDescricao", [&](QDialog *dlg) {
            auto *ask = qobject_cast<TfmDescricao *>(dlg);
            ask->edDescricao->setText(hostile);
            return int(QDialog::Accepted);
        });
        msgs.expect(Kind::Error, "Não foi possível criar o banco " + hostile);
        d.btCriarClick();
        QVERIFY(!d.btOK->isEnabled());

        const QString name = QStringLiteral("tst_created_%1").arg(QCoreApplication::applicationPid());
        dialogs.expect("TfmDescricao", [&](QDialog *dlg) {
            auto *ask = qobject_cast<TfmDescricao *>(dlg);
            [&] { QCOMPARE(ask->text(), QString("torvel")); }();  // the offered default
            ask->edDescricao->setText(name);
            return int(QDialog::Accepted);
        });
        msgs.expect(Kind::Information, "Banco de dados criado!");
        d.btCriarClick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY(d.btOK->isEnabled());
        QCOMPARE(d.cbDatabase->currentText(), name);

        ConnectionParams p = TestDatabase::server();
        p.database = name;
        QVERIFY(Sql::open("created", p).isEmpty());
        {
            QSqlDatabase created = QSqlDatabase::database("created");
            // The system's fourteen tables, and the program's own record of downloads.
            QCOMPARE(Sql::scalar(created, "select count(*) from information_schema.tables where "
                                          "table_schema = database() and table_name not like 'tv\\_%'")
                         .toInt(),
                     14);
            QCOMPARE(Sql::scalar(created, "select count(*) from tv_descargas").toInt(), 0);
            QCOMPARE(Sql::scalar(created, "select count(*) from control").toInt(), 1);
            QCOMPARE(Sql::scalar(created, "select count(*) from modem").toInt(), 12);
            Sql::exec(created, "drop database `" + name + "`");
        }
        Sql::close("created");
        // mysql is still there
        d.btConectarClick();
        d.btConectarClick();
        QVERIFY(d.cbDatabase->count() > 0);
    }

    void unreachableServerRetriesUntilFixed()
    {
        TestEnvironment env;
        TestDatabase tdb;
        ConnectionParams wrong = tdb.params();
        wrong.port = deadPort();
        env.writeIniFor(wrong);
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        msgs.expect(Kind::Warning, "Configuração inválida! É preciso configurar o acesso ao "
                                   "servidor de dados.");
        msgs.expect(Kind::Information, "Não foi possível conectar. Mensagem: *");
        dialogs.expect("TfmConfigCom", [&](QDialog *dlg) {
            auto *d = qobject_cast<TfmConfigCom *>(dlg);
            [&] { QCOMPARE(d->edPorta->text(), QString::number(wrong.port)); }();
            d->btConfirmaclick();  // still the dead port: stays open, writes nothing
            if (d->result() == QDialog::Accepted)
                return int(QDialog::Accepted);
            return confirmSettings(d, tdb.params());
        });
        TdmzDados dm;
        const QStringList problems = startupProblems(dm, TdmzDados::Startup::Connected, msgs, &dialogs);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QCOMPARE(IniFile(env.iniPath()).readInteger("BANCO", "port", 0), tdb.params().port);
    }

    void cancellingDatabaseOnlySettingsQuits()
    {
        TestEnvironment env;
        ConnectionParams wrong = TestDatabase::server();
        wrong.database = "torvel";
        wrong.port = deadPort();
        env.writeIniFor(wrong);
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        msgs.expect(Kind::Warning, "Configuração inválida!*");
        dialogs.expect("TfmConfigCom", [](QDialog *dlg) {
            qobject_cast<TfmConfigCom *>(dlg)->btCancelaclick();
            return dlg->result();
        });
        TdmzDados dm;
        const QStringList problems = startupProblems(dm, TdmzDados::Startup::Quit, msgs);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        dm.shutdown();
        QVERIFY(!dm.isConnected());
        QVERIFY(dm.config().isClosed());
    }

    void absentPortMeansDefault()
    {
        TestEnvironment env;
        env.writeIni("[BANCO]\nDatabase=x\nHostName=h\n");
        TdmzDados dm;
        QCOMPARE(dm.savedParams().port, 3306);
        env.writeIni("[BANCO]\nport=33o6\n");
        QCOMPARE(dm.savedParams().port, 3306);
        QCOMPARE(dm.savedParams().database, QString("torvel"));
    }

    void garbledConfigurationBehavesAsEmpty()
    {
        TestEnvironment env;
        QFile f(env.iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray junk;
        for (int i = 0; i < 5000; ++i)
            junk.append(char((i * 7919) % 256));
        f.write(junk);
        f.write("\n[BANCO\n=x\n[]\nHostName\n");
        f.close();
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        scriptRefusedFirstRun(msgs, dialogs);
        TdmzDados dm;
        const QStringList problems = startupProblems(dm, TdmzDados::Startup::Quit, msgs);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void unreadableConfigurationIsReported()
    {
        TestEnvironment env;
        // A folder where the file should be cannot be read as a file, even by root.
        QVERIFY(QDir().mkpath(env.iniPath()));
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        msgs.expect(Kind::Warning, "*");
        scriptRefusedFirstRun(msgs, dialogs);
        TdmzDados dm;
        const QStringList problems = startupProblems(dm, TdmzDados::Startup::Quit, msgs);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QVERIFY(msgs.shown().first().contains("TORVEL.INI"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
