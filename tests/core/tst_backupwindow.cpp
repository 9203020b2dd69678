#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "core/TdmzDados.h"
#include "core/TfmCopia.h"
#include "core/TorvelApplication.h"
#include "core/db/Backup.h"
#include "platform/MessageService.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QtTest>

using Kind = MessageService::Kind;

// "Cópia de segurança" as the user works it: copy, then restore over the database in use only
// after saying yes, with the database's state as the copy had it.
class TestBackupWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }

    void copyThenRestoreOverTheDatabaseInUse()
    {
        TestEnvironment env;
        TestDatabase tdb;
        TdmzDados dm;
        QVERIFY(dm.connectTo(tdb.params()).isEmpty());
        tdb.exec("insert into desctot (coletor, button) values ('ANTES', '000001')");

        TfmCopia w;
        QCOMPARE(w.lbUltima->text(), QString::fromUtf8("Nenhuma cópia do banco"));
        {
            ScriptedMessageService msg;
            msg.expect(Kind::Information, QString::fromUtf8("Cópia do banco %1 gravada em *")
                                              .arg(tdb.name()));
            w.btCopiarclick();
            QVERIFY2(msg.done(), qPrintable(msg.problems().join('\n')));
        }
        QVERIFY(w.lbUltima->text().startsWith(QString::fromUtf8("Última cópia: ")));
        const QStringList copies =
            QDir(Backup::copiesFolder()).entryList({"torvel-*.sql.gz"}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        const QString copy = Backup::copiesFolder() + copies.first();

        tdb.exec("insert into desctot (coletor, button) values ('DEPOIS', '000002')");
        {
            // "Não" (the default) changes nothing.
            ScriptedMessageService msg;
            msg.expectFile(Kind::OpenFile, copy);
            msg.expectConfirm(QString::fromUtf8("O banco %1 será substituído*").arg(tdb.name()),
                              false);
            w.btRestaurarclick();
            QVERIFY2(msg.done(), qPrintable(msg.problems().join('\n')));
        }
        QCOMPARE(tdb.scalar("select count(*) from desctot").toInt(), 2);
        {
            ScriptedMessageService msg;
            msg.expectFile(Kind::OpenFile, copy);
            msg.expectConfirm(QString::fromUtf8("O banco %1 será substituído*").arg(tdb.name()),
                              true);
            msg.expect(Kind::Information, QString::fromUtf8("Banco %1 restaurado de *")
                                              .arg(tdb.name()));
            w.btRestaurarclick();
            QVERIFY2(msg.done(), qPrintable(msg.problems().join('\n') + w.mmLog->toPlainText()));
        }
        QCOMPARE(tdb.scalar("select group_concat(coletor) from desctot").toString(),
                 QString("ANTES"));
        // What was replaced was copied first.
        QCOMPARE(QDir(Backup::copiesFolder()).entryList({"torvel-*.sql.gz"}, QDir::Files).size(),
                 2);
    }
};

QTEST_MAIN(TestBackupWindow)
#include "tst_backupwindow.moc"
