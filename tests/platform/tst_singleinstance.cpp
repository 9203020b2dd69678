#include "platform/SingleInstance.h"

#include <QFile>
#include <QProcess>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir m_runtime;

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
        qputenv("USER", "tester");
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
