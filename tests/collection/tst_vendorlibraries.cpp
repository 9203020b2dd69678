#include "CollectionDriving.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "collection/DumpFormats.h"
#include "collection/TfmComunicacao.h"
#include "collection/terminals/Q90Library.h"
#include "collection/terminals/TerminalLibraries.h"
#include "core/TdmzDados.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"

#include <QFile>
#include <QtTest>

using Kind = MessageService::Kind;

// The vendors' libraries loaded for real through their C interface.
class TestVendorLibraries : public QObject {
    Q_OBJECT

    static QStringList logged(const QString &path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void lumetLibraryThroughTheCollectionDialog()
    {
        TestEnvironment env;
        TestDatabase tdb;
        TdmzDados dm;
        QVERIFY(dm.connectTo(tdb.params()).isEmpty());
        const QString log = env.root() + "calls.log";
        qputenv("FAKE_TERMINAL_LOG", log.toUtf8());
        dm.config().writeString("COM", "LUMETDRV", FAKE_TERMINAL_VENDOR);
        dm.config().writeString("COM", "PORTACOM", "COM7");
        const QStringList problems = collectThroughWindow(TfmComunicacao::Lumet);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QCOMPARE(logged(log), (QStringList{"LumetDownload 7 COM7", "LumetAfterDownload 7 COM7"}));
        QCOMPARE(tdb.scalar("select count(*) from desctot where coletor = 'LUMET9' and button = "
                            "'1B2C3D'").toInt(),
                 1);
        qunsetenv("FAKE_TERMINAL_LOG");
    }

    void watchLibraryCallsByName()
    {
        TestEnvironment env;
        IniFile ini(env.iniPath());
        ini.writeString("COM", "WMDLL", FAKE_TERMINAL_VENDOR);
        auto watch = Terminals::createWatch(ini);
        QVERIFY(watch->problem().isEmpty());
        QCOMPARE(watch->AwakenTX(3, "/dev/ttyUSB0"), 1);
        QCOMPARE(watch->InquirID(3, "/dev/ttyUSB0"), 4242);
        QCOMPARE(watch->SetWatchTime(3, "x", 26, 12, 9, 8, 0, 0), 1);

        ini.writeString("COM", "WMDLL", FAKE_TERMINAL_VENDOR_PARTIAL);
        auto partial = Terminals::createWatch(ini);
        QVERIFY(partial->problem().contains(QString::fromUtf8("faltam funções")));
        QCOMPARE(partial->AwakenTX(3, "x"), 0);

        ini.writeString("COM", "WMDLL", "/nao/existe.so");
        QVERIFY(Terminals::createWatch(ini)->problem().startsWith(
            QString::fromUtf8("Não foi possível carregar a biblioteca do coletor")));
        ini.writeString("COM", "WMDLL", "simulador");
        QVERIFY(Terminals::createWatch(ini)->problem().isEmpty());
    }

    void q90LibraryTextResults()
    {
        TestEnvironment env;
        IniFile ini(env.iniPath());
        ini.writeString("COM", "Q90DLL", FAKE_Q90_VENDOR);
        auto q90 = Terminals::createQ90(ini);
        QVERIFY2(q90->problem().isEmpty(), qPrintable(q90->problem()));
        QCOMPARE(q90->AbreCom(4, "/dev/ttyUSB3", 1200, 0), QString("0"));
        QCOMPARE(q90->AbreCom(5, "/dev/ttyUSB4", 1200, 0), QString("2,porta em uso"));
        QCOMPARE(q90->Status("0012", 0), QString("0,0012091226183000042"));
        QCOMPARE(q90->AcertaDH("0012"), QString("0,relogio acertado"));
        q90->FechaCom();
        ini.writeString("COM", "Q90DLL", "/nao/existe/libq90.so");
        QVERIFY(!Terminals::createQ90(ini)->problem().isEmpty());
    }
};

QTEST_MAIN(TestVendorLibraries)
#include "tst_vendorlibraries.moc"
