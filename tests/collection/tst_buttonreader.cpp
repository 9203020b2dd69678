#include "FakeW1Tree.h"
#include "RecordingOneWireDriver.h"
#include "collection/terminals/ButtonReader.h"
#include "collection/terminals/SysfsOneWireDriver.h"
#include "collection/terminals/VendorOneWireDriver.h"
#include "platform/IniFile.h"

#include <QLibrary>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The reading engine over a recording driver, and the two real drivers: the kernel's 1-Wire
// bus on a fake sysfs tree, and a vendor library loaded at run time.
class TestButtonReader : public QObject {
    Q_OBJECT

    QStringList calls;

    RecordingOneWireDriver *recording(ButtonReader &reader)
    {
        return static_cast<RecordingOneWireDriver *>(&reader.driver());
    }
    std::unique_ptr<ButtonReader> recordingReader()
    {
        calls.clear();
        return std::make_unique<ButtonReader>(std::make_unique<RecordingOneWireDriver>(&calls));
    }

private Q_SLOTS:
    void cutsTheSerialNumber_data()
    {
        QTest::addColumn<int>("inicio");
        QTest::addColumn<int>("tamanho");
        QTest::addColumn<QString>("code");
        QTest::newRow("default: six lowest digits") << 7 << 6 << "1B2C3D";
        QTest::newRow("whole serial") << 1 << 12 << "00000A1B2C3D";
        QTest::newRow("runs past the end") << 10 << 6 << "C3D";
        QTest::newRow("start before the first") << 0 << 6 << "00000A";
        QTest::newRow("negative start") << -5 << 3 << "000";
        QTest::newRow("start past the end") << 13 << 6 << "";
        QTest::newRow("no size") << 7 << 0 << "";
        QTest::newRow("negative size") << 7 << -1 << "";
    }
    void cutsTheSerialNumber()
    {
        QFETCH(int, inicio);
        QFETCH(int, tamanho);
        QFETCH(QString, code);
        auto reader = recordingReader();
        reader->setCut(inicio, tamanho);
        QSignalSpy spy(reader.get(), &ButtonReader::codeRead);
        QVERIFY(reader->poll());
        QCOMPARE(reader->code(), code);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), code);
    }

    void serialIsReadFromTheCrcDownToTheFamily()
    {
        // Distinct bytes everywhere, so a reversed or shifted ROM shows.
        const OneWireDriver::Rom rom{0x01, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0xFE};
        QCOMPARE(ButtonReader::serialText(rom), QString("112233445566"));
    }

    void setsUpOnceThenReadsEveryPoll()
    {
        auto reader = recordingReader();
        reader->setPort(3);
        recording(*reader)->setupResult = 0;
        QVERIFY(!reader->poll());
        QCOMPARE(calls, QStringList({"TMExtendedStartSession(3,1,null)", "TMSetup(7)",
                                     "TMEndSession(7)"}));
        QVERIFY(!reader->isSetUp());

        calls.clear();
        recording(*reader)->setupResult = 2;  // set up, with a warning
        QVERIFY(reader->poll());
        QCOMPARE(calls, QStringList({"TMExtendedStartSession(3,1,null)", "TMSetup(7)",
                                     "TMNext(7)", "TMRom(7,rom[0]=0)", "TMEndSession(7)"}));

        calls.clear();
        QVERIFY(reader->poll());
        QCOMPARE(calls, QStringList({"TMExtendedStartSession(3,1,null)", "TMNext(7)",
                                     "TMRom(7,rom[0]=0)", "TMEndSession(7)"}));
    }

    void setupAnswersOtherThanOneOrTwoAreNotSetUp()
    {
        for (std::int16_t answer : {0, 3, -1}) {
            auto reader = recordingReader();
            recording(*reader)->setupResult = answer;
            QVERIFY(!reader->poll());
            QVERIFY2(!reader->isSetUp(), qPrintable(QString::number(answer)));
            QVERIFY(!calls.join(' ').contains("TMNext"));
        }
    }

    void refusedSessionEndsThePoll()
    {
        for (std::int32_t handle : {0, -4}) {
            auto reader = recordingReader();
            recording(*reader)->session = handle;
            QVERIFY(!reader->poll());
            QCOMPARE(calls, QStringList({"TMExtendedStartSession(1,1,null)"}));
            QVERIFY(reader->code().isEmpty());
        }
    }

    void keepsTheLastCodeUntilAnotherDeviceIsRead()
    {
        auto reader = recordingReader();
        QVERIFY(reader->poll());
        recording(*reader)->devicePresent = false;
        calls.clear();
        QVERIFY(!reader->poll());
        QCOMPARE(calls, QStringList({"TMExtendedStartSession(1,1,null)", "TMNext(7)",
                                     "TMEndSession(7)"}));
        QCOMPARE(reader->code(), QString("1B2C3D"));

        recording(*reader)->devicePresent = true;
        recording(*reader)->rom = {0x01, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0x00};
        QVERIFY(reader->poll());
        QCOMPARE(reader->code(), QString("040506"));
    }

    void closeEndsAndClosesAGrantedSession()
    {
        auto reader = recordingReader();
        QVERIFY(reader->poll());
        calls.clear();
        reader->close();
        QCOMPARE(calls, QStringList({"TMExtendedStartSession(1,1,null)", "TMEndSession(7)",
                                     "TMClose(7)"}));
        // A closed driver is set up again when polling resumes.
        calls.clear();
        reader->poll();
        QVERIFY(calls.contains("TMSetup(7)"));

        recording(*reader)->session = 0;
        calls.clear();
        reader->close();
        QCOMPARE(calls, QStringList({"TMExtendedStartSession(1,1,null)"}));
    }

    // --- the kernel's 1-Wire bus

    void sessionNeedsTheBusMasterOfThePort()
    {
        FakeW1Tree tree;
        tree.addMaster(2);
        SysfsOneWireDriver driver(tree.root());
        QCOMPARE(driver.TMExtendedStartSession(1, 1, nullptr), 0);
        const std::int32_t handle = driver.TMExtendedStartSession(2, 1, nullptr);
        QVERIFY(handle > 0);
        QCOMPARE(driver.TMSetup(handle), std::int16_t(1));
        // One session at a time, and only the session in force is ended.
        QCOMPARE(driver.TMExtendedStartSession(2, 1, nullptr), 0);
        QCOMPARE(driver.TMEndSession(handle + 1), std::int16_t(0));
        QCOMPARE(driver.TMEndSession(handle), std::int16_t(1));
        QCOMPARE(driver.TMSetup(handle), std::int16_t(0));
        QVERIFY(driver.TMExtendedStartSession(2, 1, nullptr) > handle);
    }

    void readsTheDeviceOnTheBusEndToEnd()
    {
        FakeW1Tree tree;
        tree.addMaster(1);
        tree.addDevice(1, 0x01, 0x00000A1B2C3DULL);
        ButtonReader reader(std::make_unique<SysfsOneWireDriver>(tree.root()));
        QVERIFY(reader.poll());
        QCOMPARE(reader.code(), QString("1B2C3D"));
        reader.setCut(1, 12);
        QVERIFY(reader.poll());
        QCOMPARE(reader.code(), QString("00000A1B2C3D"));
    }

    void romComesInWireOrderWithItsCrc()
    {
        // The worked example of the Dallas CRC-8: family 02, serial 00000001B81C, CRC A2.
        FakeW1Tree tree;
        tree.addMaster(1);
        tree.addDevice(1, 0x02, 0x00000001B81CULL, "none");
        SysfsOneWireDriver driver(tree.root());
        const std::int32_t handle = driver.TMExtendedStartSession(1, 1, nullptr);
        OneWireDriver::SearchState state{};
        QCOMPARE(driver.TMNext(handle, state), std::int16_t(1));
        OneWireDriver::Rom rom{};
        QCOMPARE(driver.TMRom(handle, state, rom), std::int16_t(1));
        QCOMPARE(rom, (OneWireDriver::Rom{0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xA2}));

        const std::uint8_t bytes[8] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xA2};
        QCOMPARE(OneWire::crc8(bytes, 7), std::uint8_t(0xA2));
        QCOMPARE(OneWire::crc8(bytes, 8), std::uint8_t(0));  // a whole valid code checks to 0
    }

    void idFileGivesTheCrcOnlyWhenItMatchesTheName()
    {
        FakeW1Tree tree;
        tree.addMaster(1);
        QByteArray id = FakeW1Tree::wireOrder(0x01, 0x00000A1B2C3DULL);
        id[7] = char(0x77);
        const QString name = tree.addDevice(1, 0x01, 0x00000A1B2C3DULL, id);
        QCOMPARE(SysfsOneWireDriver::deviceRom(tree.masterPath(1), name)->at(7), 0x77);

        id[3] = char(0x99);  // another serial than the name's: the name wins
        const QString other = tree.addDevice(1, 0x01, 0x000000000042ULL, id);
        const auto rom = SysfsOneWireDriver::deviceRom(tree.masterPath(1), other);
        QCOMPARE(SysfsOneWireDriver::deviceName(*rom), other);
        QCOMPARE(rom->at(7), FakeW1Tree::wireOrder(0x01, 0x42).at(7) & 0xff);
    }

    void searchWalksTheDevicesOfItsMasterOnly()
    {
        FakeW1Tree tree;
        tree.addMaster(1);
        tree.addMaster(2);
        const QString a = tree.addDevice(1, 0x01, 0x000000000001ULL);
        const QString b = tree.addDevice(1, 0x01, 0x000000000002ULL);
        tree.addDevice(1, 0x00, 0x800000000000ULL);  // phantom of a bus held low
        tree.addDevice(2, 0x01, 0x000000000003ULL);
        SysfsOneWireDriver driver(tree.root());
        OneWireDriver::SearchState state{};

        auto search = [&](std::int32_t handle) {
            QStringList found;
            while (driver.TMNext(handle, state) == 1) {
                OneWireDriver::Rom rom{};
                driver.TMRom(handle, state, rom);
                found << SysfsOneWireDriver::deviceName(rom);
            }
            return found;
        };
        std::int32_t handle = driver.TMExtendedStartSession(1, 1, nullptr);
        QCOMPARE(search(handle), QStringList({a, b}));
        QCOMPARE(search(handle), QStringList({a, b}));  // past the end it starts over

        // A new session starts from the first device, wherever the last one stopped.
        QCOMPARE(driver.TMNext(handle, state), std::int16_t(1));
        driver.TMEndSession(handle);
        handle = driver.TMExtendedStartSession(1, 1, nullptr);
        tree.removeDevice(1, a);
        QCOMPARE(search(handle), QStringList({b}));
        tree.removeDevice(1, b);
        QCOMPARE(search(handle), QStringList());
        OneWireDriver::Rom rom{};
        QCOMPARE(driver.TMRom(handle, state, rom), std::int16_t(0));
    }

    void driverComesFromTheConfiguration()
    {
        QTemporaryDir dir;
        IniFile ini(dir.filePath("TORVEL.INI"));
        auto driver = OneWire::createDriver(ini);
        auto *w1 = dynamic_cast<SysfsOneWireDriver *>(driver.get());
        QVERIFY(w1);
        QCOMPARE(w1->root(), QString("/sys/bus/w1/devices"));

        ini.writeString("DS9", "W1ROOT", dir.path());
        ini.writeString("DS9", "DRIVER", "W1");
        w1 = dynamic_cast<SysfsOneWireDriver *>((driver = OneWire::createDriver(ini)).get());
        QVERIFY(w1);
        QCOMPARE(w1->root(), dir.path());

        ini.writeString("DS9", "DRIVER", FAKE_ONEWIRE_VENDOR);
        driver = OneWire::createDriver(ini);
        QVERIFY(dynamic_cast<VendorOneWireDriver *>(driver.get()));
        QCOMPARE(driver->problem(), QString());
    }

    // --- a vendor library

    void vendorLibraryIsLoadedAndRead()
    {
        QLibrary steering(FAKE_ONEWIRE_VENDOR);
        QVERIFY2(steering.load(), qPrintable(steering.errorString()));
        auto calls = reinterpret_cast<const char *(*)()>(steering.resolve("FakeOneWire_calls"));
        auto reset = reinterpret_cast<void (*)()>(steering.resolve("FakeOneWire_reset"));
        auto insert = reinterpret_cast<void (*)(std::uint8_t, const std::uint8_t *)>(
            steering.resolve("FakeOneWire_insert"));
        auto remove = reinterpret_cast<void (*)()>(steering.resolve("FakeOneWire_remove"));
        QVERIFY(calls && reset && insert && remove);
        reset();

        ButtonReader reader(std::make_unique<VendorOneWireDriver>(FAKE_ONEWIRE_VENDOR));
        QCOMPARE(reader.driver().problem(), QString());
        QVERIFY(reader.poll());
        QCOMPARE(reader.code(), QString("1B2C3D"));
        QVERIFY(reader.isSetUp());  // the library answers 2
        reader.close();
        QCOMPARE(QString(calls()).trimmed(),
                 QString("TMExtendedStartSession TMSetup TMNext TMRom TMEndSession "
                         "TMExtendedStartSession TMEndSession TMClose"));

        const std::uint8_t serial[6] = {0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF};
        insert(0x01, serial);
        QVERIFY(reader.poll());
        QCOMPARE(reader.code(), QString("ABCDEF"));
        remove();
        QVERIFY(!reader.poll());
        QCOMPARE(reader.code(), QString("ABCDEF"));

        reader.setPort(2);  // the library has no reader there
        QVERIFY(!reader.poll());
    }

    void vendorLibraryThatCannotBeUsedIsNoReader_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing") << "/nonexistent/libonewire.so"
                                 << QString("Não foi possível carregar o driver do leitor de "
                                            "identificadores /nonexistent/libonewire.so: ");
        QTest::newRow("without TMClose")
            << FAKE_ONEWIRE_VENDOR_NOCLOSE
            << QString("O driver do leitor de identificadores %1 não tem a função TMClose.")
                   .arg(FAKE_ONEWIRE_VENDOR_NOCLOSE);
    }
    void vendorLibraryThatCannotBeUsedIsNoReader()
    {
        QFETCH(QString, path);
        QFETCH(QString, problem);
        auto driver = std::make_unique<VendorOneWireDriver>(path);
        QVERIFY(!driver->isLoaded());
        QVERIFY2(driver->problem().startsWith(problem), qPrintable(driver->problem()));
        ButtonReader reader(std::move(driver));
        QVERIFY(!reader.poll());
        reader.close();
        QVERIFY(reader.code().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestButtonReader)
#include "tst_buttonreader.moc"
