#include "platform/SingleInstance.h"

#include <QFile>
#include <QProcess>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir m_runtime;
    QTemporaryDir m_cache;

    static mode_t modeOf(const QString &path)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    static QString uniqueKey()
    {
        return "torvel-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", m_cache.path().toUtf8());
        qputenv("USER", "tester");
    }

    void cleanup()
    {
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
        qputenv("XDG_CACHE_HOME", m_cache.path().toUtf8());
    }

    // A runtime folder that others may write to (a shared /tmp) is not used: a lock held there
    // by another account would otherwise keep the program from starting.
    void runtimeFolderWritableByOthersIsNotUsed()
    {
        QTemporaryDir shared;
        QVERIFY(shared.isValid());
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        qputenv("XDG_RUNTIME_DIR", shared.path().toUtf8());
        const QString key = uniqueKey();
        QLockFile planted(shared.filePath(key + "-tester.lock"));
        QVERIFY(planted.tryLock(0));

        SingleInstance instance(key);
        QVERIFY(instance.tryAcquire());
        const QString folder = QFileInfo(instance.lockPath()).absolutePath();
        QCOMPARE(folder, m_cache.filePath("torvel-run"));
        QCOMPARE(modeOf(folder), mode_t(0700));
        QVERIFY(!QFile::exists(shared.filePath(key + "-tester.sock")));
        SingleInstance second(key);
        QVERIFY(!second.tryAcquire());  // still one instance
    }

    void runtimeFolderOfAnotherAccountIsNotUsed()
    {
        if (geteuid() != 0)
            QSKIP("only root can give a folder to another account");
        const passwd *nobody = getpwnam("nobody");
        QVERIFY(nobody);
        QTemporaryDir foreign;
        QVERIFY(foreign.isValid());
        QVERIFY(::chown(QFile::encodeName(foreign.path()).constData(), nobody->pw_uid,
                        nobody->pw_gid) == 0);
        qputenv("XDG_RUNTIME_DIR", foreign.path().toUtf8());
        SingleInstance instance(uniqueKey());
        QVERIFY(instance.tryAcquire());
        QCOMPARE(QFileInfo(instance.lockPath()).absolutePath(), m_cache.filePath("torvel-run"));
        QVERIFY(QDir(foreign.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }

    // A "torvel-run" folder that is not private (made by someone else, or opened up) is not
    // trusted either; the program then runs without the lock rather than not at all.
    void cacheFolderWritableByOthersIsNotUsed()
    {
        QTemporaryDir shared;
        QVERIFY(shared.isValid());
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 0777) == 0);
        qputenv("XDG_RUNTIME_DIR", shared.path().toUtf8());
        QTemporaryDir cache;
        QVERIFY(QDir(cache.path()).mkdir("torvel-run"));
        QVERIFY(::chmod(QFile::encodeName(cache.filePath("torvel-run")).constData(), 0777) == 0);
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
        SingleInstance instance(uniqueKey());
        QVERIFY(instance.lockPath().isEmpty());
        QVERIFY(instance.tryAcquire());
    }

    void secondStartActivatesTheFirst()
    {
        const QString key = uniqueKey();
        SingleInstance first(key);
        QVERIFY(first.tryAcquire());
        QVERIFY(first.isPrimary());
        QVERIFY(first.tryAcquire());  // asking again keeps it
        QSignalSpy activated(&first, &SingleInstance::activationRequested);

        {
            SingleInstance second(key);
            QVERIFY(!second.tryAcquire());
            QVERIFY(!second.isPrimary());
        }
        QVERIFY(activated.wait(5000));
        QCOMPARE(activated.count(), 1);
    }

    void releaseOnDestructionLetsAnotherAcquire()
    {
        const QString key = uniqueKey();
        {
            SingleInstance first(key);
            QVERIFY(first.tryAcquire());
        }
        SingleInstance third(key);
        QVERIFY(third.tryAcquire());
        SingleInstance fourth(key);
        QVERIFY(!fourth.tryAcquire());
    }

    void otherKeysDoNotInterfere()
    {
        SingleInstance a(uniqueKey());
        SingleInstance b(uniqueKey());
        QVERIFY(a.tryAcquire());
        QVERIFY(b.tryAcquire());
    }

    void strangerOnTheSocketIsIgnored()
    {
        const QString key = uniqueKey();
        SingleInstance first(key);
        QVERIFY(first.tryAcquire());
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        QLocalSocket stranger;
        stranger.connectToServer(m_runtime.filePath(key + "-tester.sock"));
        QVERIFY(stranger.waitForConnected(2000));
        stranger.write("hello\n");
        QVERIFY(stranger.waitForBytesWritten(2000));
        QVERIFY(!activated.wait(300));
    }

    void staleLockAndSocketOfACrashedInstanceAreTakenOver()
    {
        const QString key = uniqueKey();
        // What a crashed holder leaves: a lock file naming a process that no longer runs, and
        // the file of its socket.
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        const QString base = m_runtime.filePath(key + "-tester");
        QFile lock(base + ".lock");
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadPid) + "\n"
                   + QCoreApplication::applicationName().toUtf8() + "\n"
                   + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QFile socket(base + ".sock");
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();

        SingleInstance restarted(key);
        QVERIFY(restarted.tryAcquire());
        QSignalSpy activated(&restarted, &SingleInstance::activationRequested);
        SingleInstance second(key);
        QVERIFY(!second.tryAcquire());
        QVERIFY(activated.wait(5000));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
