#include "platform/SystemServices.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Opening a file with the desktop's program: xdg-open's own answer decides, since it starts
// happily and then fails when nothing on the machine opens the file.
class TestOpenDocument : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray savedPath;
    QString document;

    // An xdg-open on the PATH that runs `body` and records the file it was given.
    void fakeOpener(const QByteArray &body)
    {
        QFile f(dir.filePath("bin/xdg-open"));
        QVERIFY(QDir().mkpath(dir.filePath("bin")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("#!/bin/sh\necho \"$1\" > \"" + QFile::encodeName(dir.filePath("asked")) + "\"\n" +
                body + "\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    QString asked() const
    {
        QFile f(dir.filePath("asked"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        savedPath = qgetenv("PATH");
        document = dir.filePath("relatório com espaço.txt");
        QFile f(document);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Only the fake: the machine's own xdg-open must not answer.
        qputenv("PATH", QFile::encodeName(dir.filePath("bin")));
    }
    void cleanupTestCase() { qputenv("PATH", savedPath); }
    void init()
    {
        QFile::remove(dir.filePath("asked"));
        QFile::remove(dir.filePath("bin/xdg-open"));
    }

    void theOpenersExitStatusDecides()
    {
        fakeOpener("exit 0");
        QVERIFY(SystemServices::openDocument(document));
        QCOMPARE(asked(), document);

        // "no method available for opening": the case a started xdg-open used to hide.
        fakeOpener("echo 'xdg-open: no method available' >&2; exit 3");
        QVERIFY(!SystemServices::openDocument(document));
        QCOMPARE(asked(), document);
        fakeOpener("kill -9 $$");
        QVERIFY(!SystemServices::openDocument(document));
    }

    // Without a desktop environment xdg-open runs the program in its place: still running
    // after the wait means the file is open, and the program is left running.
    void anOpenerStillRunningHasOpenedTheFile()
    {
        fakeOpener("exec /bin/sleep 30 >/dev/null 2>&1");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(SystemServices::openDocument(document));
        QVERIFY(timer.elapsed() < SystemServices::openerAnswerMs + 2000);
        QCOMPARE(asked(), document);
    }

    void nothingToRunOrNothingToOpen()
    {
        QVERIFY(!SystemServices::openDocument(document));  // no xdg-open on the PATH
        fakeOpener("exit 0");
        QVERIFY(!SystemServices::openDocument(dir.filePath("nao-existe.txt")));
        QVERIFY(asked().isEmpty());
    }

    void aTestsStarterSeesTheOpenerAndTheFile()
    {
        QStringList started;
        SystemServices::setStarter([&](const QString &program, const QStringList &args) {
            started << program + "|" + args.join(' ');
            return false;
        });
        QVERIFY(!SystemServices::openDocument(document));
        SystemServices::setStarter({});
        QCOMPARE(started, QStringList{"xdg-open|" + document});
    }
};

QTEST_MAIN(TestOpenDocument)
#include "tst_opendocument.moc"
