#include "FakeW1Tree.h"
#include "RecordingOneWireDriver.h"
#include "TestEnvironment.h"
#include "collection/terminals/ButtonReader.h"
#include "collection/terminals/TfmLerButton.h"
#include "core/TdmzDados.h"
#include "core/TorvelApplication.h"
#include "platform/MessageService.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The window "Ler identificador": what it shows, where its settings come from, reading through
// its timer, and letting the driver go however it closes.
class TestLerButton : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TdmzDados> dm;
    QStringList calls;

    void startWith(const QString &ini)
    {
        env->writeIni(ini);
        dm = std::make_unique<TdmzDados>();
    }

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        calls.clear();
    }
    void cleanup()
    {
        dm.reset();
        env.reset();
    }

    void showsThePromptAndPollsEvery100ms()
    {
        startWith({});
        TfmLerButton d(std::make_unique<RecordingOneWireDriver>(&calls));
        QCOMPARE(d.windowTitle(), QString("Ler identificador"));
        QCOMPARE(d.lbMensagem->text(), QString("Insira o identificador no leitor"));
        QCOMPARE(d.lbAguarde->text(), QString("Aguardando o identificador..."));
        QCOMPARE(d.btOK->text(), QString("OK"));
        QCOMPARE(d.btCancelar->text(), QString("Cancelar"));
        QVERIFY(d.lbCodigo->font().pointSize() > d.lbMensagem->font().pointSize());
        QVERIFY(d.code().isEmpty());
        QVERIFY(d.tmLeitura->isActive());
        QCOMPARE(d.tmLeitura->interval(), 100);
        // The cut defaults when TORVEL.INI has no DS9 keys.
        QCOMPARE(d.reader().inicio(), 7);
        QCOMPARE(d.reader().tamanho(), 6);
        // The timer really drives the reader.
        QTRY_COMPARE_WITH_TIMEOUT(d.code(), QString("1B2C3D"), 2000);
    }

    void readsTheBusConfiguredInTheIniEndToEnd()
    {
        FakeW1Tree tree;
        tree.addMaster(2);
        const QString device = tree.addDevice(2, 0x01, 0x00000A1B2C3DULL);
        startWith(QStringLiteral("[DS9]\nPORTA=2\nINICIO=1\nTAMANHO=12\nW1ROOT=%1\n")
                      .arg(tree.root()));
        TfmLerButton d;
        d.tmLeituraTimer();
        QVERIFY(d.code().isEmpty());  // port 1 until the caller sets it
        QVERIFY(!d.btOK->isEnabled());  // nothing to hand over yet
        d.setPort(2);
        d.tmLeituraTimer();
        QCOMPARE(d.code(), QString("00000A1B2C3D"));
        QVERIFY(d.btOK->isEnabled());

        // Taken off the reader, the code stays; another device replaces it.
        tree.removeDevice(2, device);
        d.tmLeituraTimer();
        QCOMPARE(d.code(), QString("00000A1B2C3D"));
        tree.addDevice(2, 0x01, 0x000000ABCDEFULL);
        d.tmLeituraTimer();
        QCOMPARE(d.code(), QString("000000ABCDEF"));

        d.btOKclick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.tmLeitura->isActive());
        QCOMPARE(d.code(), QString("000000ABCDEF"));
    }

    void withNoReaderShowsNothingAndCancels_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("hint");
        QTest::newRow("no bus master") << "w1" << "Aguardando o identificador...";
        QTest::newRow("no vendor library")
            << "/nonexistent/libonewire.so"
            << "Não foi possível carregar o driver do leitor de identificadores "
               "/nonexistent/libonewire.so: *";
    }
    void withNoReaderShowsNothingAndCancels()
    {
        QFETCH(QString, driver);
        QFETCH(QString, hint);
        QTemporaryDir emptyRoot;
        startWith(QStringLiteral("[DS9]\nDRIVER=%1\nW1ROOT=%2\n").arg(driver, emptyRoot.path()));
        ScriptedMessageService messages;  // nothing may be asked or told
        TfmLerButton d;
        for (int i = 0; i < 5; ++i)
            d.tmLeituraTimer();
        QVERIFY(d.code().isEmpty());
        QVERIFY(d.lbCodigo->text().isEmpty());
        if (hint.endsWith('*'))
            QVERIFY2(d.lbAguarde->text().startsWith(hint.chopped(1)),
                     qPrintable(d.lbAguarde->text()));
        else
            QCOMPARE(d.lbAguarde->text(), hint);
        QVERIFY(!d.btOK->isEnabled());
        // OK reached anyway (Enter on the default button) with nothing read is no answer.
        d.btOKclick();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(messages.done());
    }

    void closingLetsTheDriverGoOnce()
    {
        startWith({});
        auto d = std::make_unique<TfmLerButton>(std::make_unique<RecordingOneWireDriver>(&calls));
        d->setPort(4);
        d->tmLeituraTimer();
        calls.clear();
        d->reject();  // the window's close box ends here too
        QCOMPARE(calls, QStringList({"TMExtendedStartSession(4,1,null)", "TMEndSession(7)",
                                     "TMClose(7)"}));
        QVERIFY(!d->tmLeitura->isActive());
        calls.clear();
        d.reset();
        QVERIFY(calls.isEmpty());

        // A window destroyed without being closed lets the driver go as well.
        d = std::make_unique<TfmLerButton>(std::make_unique<RecordingOneWireDriver>(&calls));
        calls.clear();
        d.reset();
        QCOMPARE(calls.last(), QString("TMClose(7)"));
    }
};

QTEST_MAIN(TestLerButton)
#include "tst_lerbutton.moc"
