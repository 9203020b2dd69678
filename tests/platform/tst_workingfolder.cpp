#include "platform/LocalTable.h"
#include "platform/WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// Each process's working tables in a folder of its own, and the folders of processes that are
// gone cleaned up by the next one.
class TestWorkingFolder : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString parent() const { return dir->path() + "/TEMP/"; }
    static int mode(const QString &path)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }
    QStringList entries() const
    {
        return QDir(parent()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // A folder with its lock file as a process leaves them when it is killed.
    void leaveBehind(const QString &name)
    {
        QDir().mkpath(parent() + name);
        LocalTable table(parent() + name, "temp");
        QVERIFY(table.create({{"Col1", LocalField::String, 20}}));
        table.close();
        QFile lock(parent() + name + ".lock");
        QVERIFY(lock.open(QIODevice::WriteOnly));
    }

private Q_SLOTS:
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    void eachIsPrivateAndGoesAtTheEnd()
    {
        QString first, second;
        {
            WorkingFolder a(parent());
            WorkingFolder b(parent());
            first = a.path();
            second = b.path();
            QVERIFY(a.isPrivate());
            QVERIFY(first != second);
            QVERIFY(first.startsWith(parent()));
            QVERIFY(first.endsWith('/'));
            QCOMPARE(mode(first), 0700);
            // The same table name in both holds each one's rows.
            LocalTable ta(first, "temp"), tb(second, "temp");
            QVERIFY(ta.create({{"Col1", LocalField::String, 20}}));
            QVERIFY(tb.create({{"Col1", LocalField::String, 20}}));
            QVERIFY(ta.appendRows({{"A"}}));
            QVERIFY(tb.appendRows({{"B"}, {"B"}}));
            QCOMPARE(ta.rows(), (QList<QVariantList>{{"A"}}));
            QCOMPARE(tb.rows().size(), 2);
            // Both live: neither is taken for abandoned.
            QCOMPARE(WorkingFolder::removeAbandoned(parent()), 0);
            QVERIFY(QFileInfo(first + "temp.db").exists());
        }
        QVERIFY(!QFileInfo::exists(first));
        QVERIFY(!QFileInfo::exists(second));
        QVERIFY(entries().isEmpty());
    }

    void foldersOfProcessesThatAreGoneAreRemovedAtTheNextStart()
    {
        if (QStandardPaths::findExecutable("flock").isEmpty())
            QSKIP("needs flock(1) to hold a lock from another process");
        leaveBehind("run-1-gone");
        leaveBehind("run-2-alive");
        // Another process that still runs holds its lock (flock itself, not the command it runs).
        QProcess alive;
        alive.start("flock", {"--close", parent() + "run-2-alive.lock", "sleep", "30"});
        QVERIFY(alive.waitForStarted());
        QTRY_VERIFY(QProcess::execute("flock", {"-n", parent() + "run-2-alive.lock", "true"}) != 0);
        // Files that are not working folders are left alone.
        QFile other(parent() + "temp.db");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();

        {
            WorkingFolder next(parent());
            QVERIFY(!QFileInfo::exists(parent() + "run-1-gone"));
            QVERIFY(!QFileInfo::exists(parent() + "run-1-gone.lock"));
            QVERIFY(QFileInfo(parent() + "run-2-alive/temp.db").exists());
            QVERIFY(QFileInfo::exists(parent() + "temp.db"));
        }

        alive.kill();
        alive.waitForFinished();
        QCOMPARE(WorkingFolder::removeAbandoned(parent()), 1);
        QCOMPARE(entries(), QStringList{"temp.db"});
    }

    void aParentThatCannotBeWrittenIsUsedAsItIs()
    {
        QFile blocker(dir->path() + "/arquivo");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("WorkingFolder: no private folder under .*/arquivo/TEMP/"));
        WorkingFolder folder(dir->path() + "/arquivo/TEMP");
        QVERIFY(!folder.isPrivate());
        QCOMPARE(folder.path(), dir->path() + "/arquivo/TEMP/");
        QVERIFY(QFileInfo(dir->path() + "/arquivo").isFile());
    }
};

QTEST_MAIN(TestWorkingFolder)
#include "tst_workingfolder.moc"
