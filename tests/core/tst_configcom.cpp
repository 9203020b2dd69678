#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "core/TfmConfigCom.h"
#include "core/TfmQ90ini.h"
#include "core/TorvelApplication.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using Kind = MessageService::Kind;

// The settings dialog: what it loads, what Confirm writes, and when it writes nothing.
class TestConfigCom : public QObject, public ProgramFixture {
    Q_OBJECT

    IniFile ini() const { return IniFile(env->iniPath()); }

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }

    void init()
    {
        QVERIFY(startProgram({.ini = true, .connected = false}));
        SystemServices::setSerialPorts([] { return QStringList{"ttyS0", "COM3", "COM12"}; });
    }

    void cleanup() { stopProgram(); }

    void loadsDefaultsAndOpensOnGeneralPage()
    {
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        QCOMPARE(d.pcPaginas->count(), 3);
        QCOMPARE(d.pcPaginas->tabText(0), QString("Banco de Dados"));
        QCOMPARE(d.pcPaginas->tabText(1), QString::fromUtf8("Configurações Gerais"));
        QCOMPARE(d.pcPaginas->tabText(2), QString("DS9"));
        QCOMPARE(d.pcPaginas->currentWidget(), d.tsGerais);
        QCOMPARE(d.edBaud->text(), QString("1200"));
        QCOMPARE(d.edInicio->text(), QString("7"));
        QCOMPARE(d.edTamanho->text(), QString("6"));
        QVERIFY(!d.ckLimpar->isChecked());
        QVERIFY(!d.ckExcel->isChecked());
        QCOMPARE(d.ckLimpar->toolTip(), QString::fromUtf8("Apaga dados do coletor após a descarga"));
        // The default port is shown even though this machine does not list it.
        QCOMPARE(d.cbPortaCom->currentText(), QString("COM1"));
        QCOMPARE(d.cbPortaDS9->currentText(), QString("1"));
        QCOMPARE(d.edDatabase->text(), tdb->name());
    }

    void confirmStoresGeneralSettingsWhateverPageIsInFront()
    {
        ScriptedMessageService msgs;
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        d.pcPaginas->setCurrentWidget(d.tsDS9);
        d.ckLimpar->setChecked(true);
        d.ckExcel->setChecked(true);
        d.edBaud->setText("9600");
        d.cbPortaCom->setCurrentText("COM3");
        d.cbPortaDS9->setCurrentText("12");
        d.edInicio->setText("1");
        d.edTamanho->setText("12");
        d.edInstalacao->setText("VIGILANCIA ALFA");
        d.btConfirmaclick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        const IniFile f = ini();
        QCOMPARE(f.readString("COM", "PORTACOM"), QString("COM3"));
        QCOMPARE(f.readBool("COM", "CLEAR", false), true);
        QCOMPARE(f.readString("COM", "Q90BAUD"), QString("9600"));
        QCOMPARE(f.readInteger("DS9", "PORTA", 1), 12);
        QCOMPARE(f.readInteger("DS9", "INICIO", 7), 1);
        QCOMPARE(f.readInteger("DS9", "TAMANHO", 6), 12);
        QCOMPARE(f.readBool("CONFIG", "EXCEL", false), true);
        QCOMPARE(dm->installationName(), QString("VIGILANCIA ALFA"));
    }

    void portWithoutDigitsReadsBackAsOne()
    {
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        d.cbPortaDS9->setCurrentText("USB");
        d.btConfirmaclick();
        QCOMPARE(ini().readString("DS9", "PORTA", "?"), QString());
        QCOMPARE(ini().readInteger("DS9", "PORTA", 1), 1);
        // and a typed name keeps only its digits
        TfmConfigCom again(TfmConfigCom::Mode::Normal);
        again.cbPortaDS9->setCurrentText("COM12");
        again.btConfirmaclick();
        QCOMPARE(ini().readString("DS9", "PORTA"), QString("12"));
    }

    // A port the machine does not list (a pseudo-terminal, a Q90 simulator's link, a reader
    // unplugged today) is shown as stored, and confirming without touching the lists leaves
    // both keys exactly as they were, present or absent.
    void confirmingUntouchedListsKeepsThePorts()
    {
        QTemporaryDir w1;
        for (const char *bus : {"w1_bus_master3", "w1_bus_master1", "01-00000a1b2c3d"})
            QVERIFY(QDir(w1.path()).mkpath(bus));
        ini().writeString("DS9", "W1ROOT", w1.path());

        {
            TfmConfigCom d(TfmConfigCom::Mode::Normal);
            d.btConfirmaclick();
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(!ini().valueExists("COM", "PORTACOM"));
            QVERIFY(!ini().valueExists("DS9", "PORTA"));
        }

        ini().writeString("COM", "PORTACOM", "/dev/pts/3");
        ini().writeString("DS9", "PORTA", "2");
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        QCOMPARE(d.cbPortaCom->currentText(), QString("/dev/pts/3"));
        QVERIFY(d.cbPortaCom->findText("COM12") >= 0);
        QCOMPARE(d.cbPortaDS9->currentText(), QString("2"));
        QStringList buses;
        for (int i = 0; i < d.cbPortaDS9->count(); ++i)
            buses << d.cbPortaDS9->itemText(i);
        QCOMPARE(buses, (QStringList{"2", "1", "3"}));
        d.ckLimpar->setChecked(true);
        d.btConfirmaclick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(ini().readString("COM", "PORTACOM"), QString("/dev/pts/3"));
        QCOMPARE(ini().readString("DS9", "PORTA"), QString("2"));
        QVERIFY(ini().readBool("COM", "CLEAR", false));

        // What the user picks is what is written.
        TfmConfigCom chosen(TfmConfigCom::Mode::Normal);
        chosen.cbPortaDS9->setCurrentIndex(chosen.cbPortaDS9->findText("3"));
        chosen.cbPortaCom->setCurrentText("/tmp/q90");
        chosen.btConfirmaclick();
        QCOMPARE(ini().readString("COM", "PORTACOM"), QString("/tmp/q90"));
        QCOMPARE(ini().readInteger("DS9", "PORTA", 1), 3);
    }

    // Every tab is reachable and every field of the tab in front is on screen at the size
    // the dialog opens with.
    void opensLargeEnoughForItsTabsAndFields()
    {
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTabBar *bar = d.pcPaginas->tabBar();
        for (int i = 0; i < bar->count(); ++i)
            QVERIFY2(bar->rect().contains(bar->tabRect(i)), qPrintable(bar->tabText(i)));
        for (QWidget *page : {d.tsBanco, d.tsGerais, d.tsDS9}) {
            d.pcPaginas->setCurrentWidget(page);
            for (QWidget *field : page->findChildren<QWidget *>()) {
                if (!field->isVisibleTo(page) || field->parentWidget() != page)
                    continue;
                const QRect onPage(field->mapTo(page, QPoint(0, 0)), field->size());
                QVERIFY2(page->rect().contains(onPage), qPrintable(field->metaObject()->className()));
                QVERIFY2(field->width() >= field->minimumSizeHint().width(),
                         qPrintable(field->metaObject()->className()));
            }
        }
    }

    void failedConnectionWritesNothing()
    {
        ScriptedMessageService msgs;
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        d.edPassword->setText("senha errada");
        d.ckLimpar->setChecked(true);
        msgs.expect(Kind::Information, "Não foi possível conectar. Mensagem: *");
        d.btConfirmaclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!ini().valueExists("COM", "CLEAR"));
        QCOMPARE(ini().readString("BANCO", "Password"), tdb->params().password);
    }

    // Wrong new settings are tried aside: the connection in use keeps answering, and the trial
    // leaves no connection behind.
    void optimizeButtonAddsTheMissingIndexesOnce()
    {
        QVERIFY(dm->connectTo(tdb->params()).isEmpty());
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, QString::fromUtf8("Banco de dados otimizado: 7 índice(s) criado(s)."));
        d.btOtimizarclick();
        msgs.expect(Kind::Information, QString::fromUtf8("O banco de dados já está otimizado."));
        d.btOtimizarclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void failedConfirmKeepsTheWorkingConnection()
    {
        QVERIFY(dm->connectTo(tdb->params()).isEmpty());
        const QStringList connections = QSqlDatabase::connectionNames();
        ScriptedMessageService msgs;
        for (const auto &wrong : {std::pair{"port", "1"}, std::pair{"password", "senha errada"}}) {
            TfmConfigCom d(TfmConfigCom::Mode::Normal);
            (QLatin1String(wrong.first) == QLatin1String("port") ? d.edPorta : d.edPassword)
                ->setText(wrong.second);
            msgs.expect(Kind::Information, "Não foi possível conectar. Mensagem: *");
            d.btConfirmaclick();
            QCOMPARE(d.result(), int(QDialog::Rejected));
            QVERIFY2(dm->isConnected(), wrong.first);
            QSqlQuery q(dm->db());
            QVERIFY2(q.exec("select count(*) from modem") && q.next(), wrong.first);
            QCOMPARE(q.value(0).toInt(), 12);
            QCOMPARE(dm->connectionParams().port, tdb->params().port);
        }
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(QSqlDatabase::connectionNames(), connections);
        QCOMPARE(ini().readString("BANCO", "port"), QString::number(tdb->params().port));

        // Right settings still switch the connection and are saved.
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        d.btConfirmaclick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(dm->isConnected());
    }

    void databaseOnlyModeKeepsGeneralSettingsAndWritesReaderKeys()
    {
        ini().writeString("COM", "PORTACOM", "COM3");
        ini().writeBool("CONFIG", "EXCEL", true);
        TfmConfigCom d(TfmConfigCom::Mode::DatabaseOnly);
        QCOMPARE(d.pcPaginas->count(), 1);
        d.btConfirmaclick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(ini().readString("COM", "PORTACOM"), QString("COM3"));
        QCOMPARE(ini().readBool("CONFIG", "EXCEL", false), true);
        QCOMPARE(ini().readInteger("DS9", "INICIO", 0), 7);
        QVERIFY(!ini().valueExists("COM", "CLEAR"));
    }

    void createDatabaseButtonBuildsSchemaThenConnects()
    {
        ScriptedMessageService msgs;
        TfmConfigCom d(TfmConfigCom::Mode::Normal);
        d.edDatabase->setText("nome com espaço");
        msgs.expect(Kind::Error, QString::fromUtf8("Não foi possível criar o banco nome com espaço"));
        d.Button1Click();
        QVERIFY(!d.Button1->isEnabled());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));

        TfmConfigCom d2(TfmConfigCom::Mode::Normal);
        const QString name = QStringLiteral("tst_cfg_%1").arg(QCoreApplication::applicationPid());
        d2.edDatabase->setText(name);
        d2.Button1Click();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(d2.result(), int(QDialog::Accepted));
        QCOMPARE(dm->connectionParams().database, name);
        QCOMPARE(Sql::scalar(dm->db(), "select count(*) from modem").toInt(), 12);
        QCOMPARE(ini().readString("BANCO", "Database"), name);
        Sql::exec(dm->db(), "drop database `" + name + "`");
    }

    void settingsCommandRefreshesSpreadsheetFlagAndCaption()
    {
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmConfigCom", [](QDialog *dlg) {
            auto *d = qobject_cast<TfmConfigCom *>(dlg);
            d->ckExcel->setChecked(true);
            d->edInstalacao->setText("CONDOMINIO BETA");
            d->btConfirmaclick();
            return d->result();
        });
        TfmQ90ini w;
        QVERIFY(!dm->excel);
        QVERIFY(dm->connectTo(tdb->params()).isEmpty());
        w.run("Configuraes1Click");
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QVERIFY(dm->excel);
        QCOMPARE(w.windowTitle(), QString("Torvel - Controle de Rondas - CONDOMINIO BETA"));
    }
};

QTEST_MAIN(TestConfigCom)
#include "tst_configcom.moc"
