#include "FakeW1Tree.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <QtTest>

// `torvelctl read-ibutton`, run as the built program against a fake 1-Wire bus named in the
// TORVEL.INI of a temporary program folder.
class TestReadIButton : public QObject {
    Q_OBJECT

    struct Result {
        int status;
        QString out;
        QString err;
    };

    static Result run(const QStringList &arguments)
    {
        QProcess process;
        process.start(TORVELCTL, QStringList{"read-ibutton"} + arguments);
        if (!process.waitForFinished(20000))
            return {-1, {}, QStringLiteral("torvelctl did not finish")};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

private Q_SLOTS:
    void printsTheCodeOfTheConfiguredPort()
    {
        TestEnvironment env;
        FakeW1Tree tree;
        tree.addMaster(1);
        tree.addMaster(3);
        tree.addDevice(3, 0x01, 0x00000A1B2C3DULL);
        env.writeIni(QStringLiteral("[DS9]\nPORTA=3\nW1ROOT=%1\n").arg(tree.root()));

        Result r = run({"--timeout", "5"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString("1B2C3D\n"));

        env.writeIni(QStringLiteral("[DS9]\nINICIO=1\nTAMANHO=12\nW1ROOT=%1\n").arg(tree.root()));
        tree.addDevice(1, 0x01, 0x000000ABCDEFULL);
        r = run({"--port", "1", "--timeout", "5"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString("000000ABCDEF\n"));
    }

    void givesUpAfterTheTimeout()
    {
        TestEnvironment env;
        FakeW1Tree tree;
        tree.addMaster(1);
        env.writeIni(QStringLiteral("[DS9]\nW1ROOT=%1\n").arg(tree.root()));
        const Result r = run({"--timeout", "0,3"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err, QString("Nenhum identificador lido no leitor 1 em 0,3 s.\n"));
    }

    void refusesABadPort()
    {
        TestEnvironment env;
        const Result r = run({"--port", "COM1", "--timeout", "0"});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QString("Porta inválida: COM1\n"));
    }
};

QTEST_GUILESS_MAIN(TestReadIButton)
#include "tst_readibutton.moc"
