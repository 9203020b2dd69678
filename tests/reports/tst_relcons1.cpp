#include "ConsistencyScenario.h"
#include "XlsxReader.h"
#include "collection/TfmDescarga.h"
#include "collection/TmpDesc.h"
#include "core/TfmQ90ini.h"
#include "core/db/DataSet.h"
#include "platform/IniFile.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/RadioGroup.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemServices.h"
#include "registries/RegistryLists.h"
#include "reports/Commands.h"
#include "reports/TfmRelCons1.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

using Kind = MessageService::Kind;

// The consistency window: its saved choices, the ways it opens, its commands and shortcuts,
// and the check that the review of a download runs through it.
class TestRelCons1 : public QObject, public ScenarioFixture {
    Q_OBJECT

    const QDateTime now{QDate(2026, 12, 9), QTime(14, 30, 0)};

    QString ini(const QString &key) const
    {
        return IniFile(env->iniPath()).readString("RELCONSIST", key, "<none>");
    }

    QStringList downloads(const TfmRelCons1 &w) const
    {
        QStringList list;
        DataSet &q = w.qyDescargas();
        for (int r = 0; q.isActive() && r < q.recordCount(); ++r)
            list << q.textAt(r, "Data_descarga");
        return list;
    }

    void addDownload(const QString &collector, const QString &when)
    {
        tdb->exec("insert into desctot (coletor, data_descarga, button, data_toque, codigo_roteiro, "
                  "codigo_func) values ('" + collector + "', '" + when + "', 'C00001', '" + when +
                  "', 0, 0)");
    }

    static int previewOnly(QDialog *) { return QDialog::Rejected; }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startScenario({.now = now, .quietSpreadsheets = true}));
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values "
                  "('COL02', 'BETA'), ('COL01', 'ALFA')");
    }

    void cleanup()
    {
        TfmDescarga::setConsistencyRunner({});
        stopScenario();
    }

    void opensOnTheFirstCollectorWithItsDownloads()
    {
        addDownload("COL01", "2026-12-08 18:00:00");
        addDownload("COL01", "2026-12-07 18:00:00");
        addDownload("COL02", "2026-12-06 18:00:00");
        TfmRelCons1 w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Relatório de Consistência"));
        QCOMPARE(w.edColetor->text(), QString("ALFA"));
        QCOMPARE(w.codigoColetor(), QString("COL01"));
        QCOMPARE(downloads(w), QStringList({"07/12/2026 18:00:00", "08/12/2026 18:00:00"}));
        QCOMPARE(w.edInicio->maskedText(), TfmRelCons1::kEmptyPeriod);
        QCOMPARE(w.edTmin->text(), QString("0"));
        QCOMPARE(w.rgRoteiro->itemIndex(), 0);
        QCOMPARE(w.rgRelsa->itemIndex(), 0);

        w.btColetaclick();
        QCOMPARE(w.currentDownload(), QString("08/12/2026 18:00:00"));
        // Double-click: no collector, no list; the kept code stays.
        QTest::mouseDClick(w.edColetor, Qt::LeftButton);
        QVERIFY(w.edColetor->text().isEmpty());
        QCOMPARE(w.currentDownload(), QString());
        QCOMPARE(w.codigoColetor(), QString("COL01"));
    }

    void handedOverCollectorShowsExactlyThatDownload()
    {
        addDownload("COL02", "2026-12-06 18:00:00");
        addDownload("COL02", "2026-12-07 18:00:00");
        addDownload("COL02", "2026-12-08 18:00:00");
        TfmRelCons1 w("COL02", QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
        QCOMPARE(w.edColetor->text(), QString("BETA"));
        QCOMPARE(w.codigoColetor(), QString("COL02"));
        QCOMPARE(downloads(w), QStringList({"07/12/2026 18:00:00"}));

        // Picking a collector afterwards lists all of its downloads.
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmListaColetores", [](QDialog *d) {
            auto *list = static_cast<TfmListaColetores *>(d);
            list->query().locate("codigo_coletor", "COL02");
            return int(QDialog::Accepted);
        });
        w.btPesquisaCclick();
        QCOMPARE(downloads(w).size(), 3);

        // An unknown handed-over collector opens as the menu does.
        TfmRelCons1 unknown("NAOEXISTE", QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
        QCOMPARE(unknown.edColetor->text(), QString("ALFA"));
    }

    void searchListsFillTheFiltersAndCancelChangesNothing()
    {
        tdb->exec("insert into roteiros (nome_roteiro, empresa) values ('NOTURNA', 'ALFA SEG')");
        addDownload("COL01", "2026-12-08 18:00:00");
        TfmRelCons1 w;
        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmListaColetores", [](QDialog *) { return int(QDialog::Rejected); });
        dialogs.expect("TfmListEmp", [](QDialog *) { return int(QDialog::Accepted); });
        dialogs.expect("TfmListaRoteiros", [](QDialog *) { return int(QDialog::Accepted); });
        w.btPesquisaCclick();
        QCOMPARE(w.edColetor->text(), QString("ALFA"));
        QCOMPARE(downloads(w).size(), 1);
        w.btPesquisaEclick();
        w.btPesquisaRclick();
        QVERIFY(dialogs.problems().isEmpty());
        QCOMPARE(w.edEmpresa->text(), QString("ALFA SEG"));
        QCOMPARE(w.edRoteiro->text(), QString("NOTURNA"));
        QTest::mouseDClick(w.edEmpresa, Qt::LeftButton);
        QTest::mouseDClick(w.edRoteiro, Qt::LeftButton);
        QVERIFY(w.edEmpresa->text().isEmpty());
        QVERIFY(w.edRoteiro->text().isEmpty());
    }

    void periodClearAndToday()
    {
        TfmRelCons1 w;
        w.btLimpaclick();
        QCOMPARE(w.edInicio->maskedText(), QString("09/12/2026 00:00"));
        QCOMPARE(w.edFim->maskedText(), QString("09/12/2026 23:59"));
        w.btLimpaclick();
        QCOMPARE(w.edInicio->maskedText(), TfmRelCons1::kEmptyPeriod);
        QCOMPARE(w.edFim->maskedText(), TfmRelCons1::kEmptyPeriod);
    }

    void withoutReferenceEmptiesAndDisablesTheGroups()
    {
        {
            TfmRelCons1 w;
            w.btLimpaclick();
            w.edEmpresa->setText("ALFA SEG");
            w.edRoteiro->setText("NOTURNA");
            w.rgRoteiro->button(1)->click();
            QVERIFY(!w.gbPeriodo->isEnabled());
            QVERIFY(!w.gbEmpresa->isEnabled());
            QVERIFY(!w.gbRoteiro->isEnabled());
            QCOMPARE(w.edInicio->maskedText(), TfmRelCons1::kEmptyPeriod);
            QVERIFY(w.edEmpresa->text().isEmpty() && w.edRoteiro->text().isEmpty());
            w.rgRelsa->button(1)->click();
            w.cbTciclo->setChecked(true);
            w.edTmin->setText("5");
            w.edTmax->setText("50");
        }
        QCOMPARE(ini("ROTREF"), QString("1"));
        QCOMPARE(ini("TIPOREL"), QString("1"));
        QCOMPARE(ini("TCICLO"), QString("1"));
        QCOMPARE(ini("TMIN"), QString("5"));
        QCOMPARE(ini("TMAX"), QString("50"));

        TfmRelCons1 again;
        QCOMPARE(again.rgRoteiro->itemIndex(), 1);
        QCOMPARE(again.rgRelsa->itemIndex(), 1);
        QVERIFY(again.cbTciclo->isChecked());
        QCOMPARE(again.edTmax->text(), QString("50"));
        QVERIFY(!again.gbPeriodo->isEnabled());
        QVERIFY(!again.gbEmpresa->isEnabled());
        QVERIFY(!again.gbRoteiro->isEnabled());
        again.rgRoteiro->button(0)->click();
        QVERIFY(again.gbPeriodo->isEnabled() && again.gbEmpresa->isEnabled() &&
                again.gbRoteiro->isEnabled());
    }

    void emptiedMinimumRunsAndIsSavedAsZero()
    {
        sc->touches({sc->location("PATIO")}, "10:00:00");
        {
            TfmRelCons1 w;
            w.btColetaclick();
            w.edTmin->clear();
            w.cbTciclo->setChecked(true);
            ScriptedMessageService msgs;
            ScriptedDialogRunner dialogs;
            dialogs.expect("QPrintPreviewDialog", previewOnly);
            w.btRelatorioclick();
            QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
            QCOMPARE(w.edTmin->text(), QString("0"));
        }
        QCOMPARE(ini("TMIN"), QString("0"));
    }

    void altShortcutsActOnlyWithAltAlone()
    {
        sc->touches({sc->location("PATIO")}, "10:00:00");
        TfmRelCons1 w;
        w.btColetaclick();
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;
        QTest::keyClick(&w, Qt::Key_R, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClick(w.edColetor, Qt::Key_R, Qt::AltModifier | Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_L, Qt::AltModifier | Qt::ShiftModifier);
        QVERIFY(dialogs.ran().isEmpty());
        QCOMPARE(w.edInicio->maskedText(), TfmRelCons1::kEmptyPeriod);

        dialogs.expect("QPrintPreviewDialog", previewOnly);
        QTest::keyClick(w.edColetor, Qt::Key_R, Qt::AltModifier);
        QCOMPARE(dialogs.ran().size(), 1);
        QTest::keyClick(&w, Qt::Key_L, Qt::AltModifier);
        QCOMPARE(w.edInicio->maskedText(), QString("09/12/2026 00:00"));
        w.show();
        QTest::keyClick(&w, Qt::Key_E, Qt::AltModifier);
        QVERIFY(!w.isVisible());
        QVERIFY(dialogs.problems().isEmpty());
        QVERIFY(msgs.done());
    }

    void menuOpensWithoutPreselection()
    {
        TfmQ90ini main;
        Reports::registerCommands(main);
        main.preselColetor = "COL02";
        main.preselDescarga = QDateTime(QDate(2026, 12, 7), QTime(18, 0));
        ScriptedDialogRunner dialogs;
        QString shown;
        dialogs.expect("TfmRelCons1", [&](QDialog *d) {
            shown = static_cast<TfmRelCons1 *>(d)->edColetor->text();
            return int(QDialog::Rejected);
        });
        main.run("ConsistenciaClick");
        QCOMPARE(shown, QString("ALFA"));
        // Handed over by another report, through the main window.
        main.preselColetor = "COL02";
        dialogs.expect("TfmRelCons1", [&](QDialog *d) {
            shown = static_cast<TfmRelCons1 *>(d)->edColetor->text();
            return int(QDialog::Rejected);
        });
        Reports::openConsistency(main);
        QCOMPARE(shown, QString("BETA"));
        QVERIFY(dialogs.problems().isEmpty());
    }

    // "Consistir" in the review of a download: the synthetic report of the collector's latest
    // download, announced, without the window ever showing.
    void consistirFromTheReviewWindow()
    {
        TfmQ90ini main;
        Reports::registerCommands(main);
        IniFile(env->iniPath()).writeInteger("RELCONSIST", "TIPOREL", 1);
        addDownload("COL01", "2026-12-01 18:00:00");  // an older download, not analysed
        sc->touches({sc->location("PATIO"), "ABC123"}, "10:00:00");
        QVERIFY(TmpDesc::recreate(*dm));
        {
            LocalTable t(dm->tempFolder(), TmpDesc::kName);
            QVERIFY(t.open());
            t.append();
            t.setValue("coletor", "COL01");
            t.setValue("button", "ABC123");
            QVERIFY(t.post());
        }
        TfmDescarga review;
        review.setCurrentRow(0);
        QVERIFY(review.btConsistir->isEnabled());

        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, QString::fromUtf8("Existem inconsistências"));
        ScriptedDialogRunner dialogs;
        dialogs.expect("QPrintPreviewDialog", previewOnly);
        review.Consistir();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        QCOMPARE(Scenario::rowsLoose(*dm),
                 QStringList({QString::fromUtf8("|||PATIO|Não programado|08/12/2026 10:00:00"),
                              QString::fromUtf8("||||ABC123 não cadastrada|08/12/2026 10:01:00"),
                              QString::fromUtf8("- Não Programados: 1"), "|PATIO"}));
        QCOMPARE(ini("TIPOREL"), QString("0"));

        // With the spreadsheet flag the announcement comes first, then the spreadsheet.
        dm->excel = true;
        msgs.expect(Kind::Information, QString::fromUtf8("Existem inconsistências"));
        review.Consistir();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        const QStringList files = QDir(Spreadsheet::folder()).entryList({"*.xlsx"});
        QCOMPARE(files.size(), 1);
        const XlsxReader x(Spreadsheet::folder() + files.first());
        QCOMPARE(x.text("A2"), QString("Coletor: COL01 - ALFA     Data do Descarregamento: "
                                       "08/12/2026 18:00:00     "));
        QCOMPARE(x.text("F7"), QString::fromUtf8(" ABC123 não cadastrada"));

        // A download without inconsistencies only says so.
        tdb->exec("delete from desctot where data_descarga = '2026-12-08 18:00:00'");
        sc->touch(sc->collaborator("ANA"), "10:00:00");
        msgs.expect(Kind::Information, QString::fromUtf8("Não existem inconsistências!"));
        review.Consistir();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(QDir(Spreadsheet::folder()).entryList({"*.xlsx"}).size(), 1);
    }
};

QTEST_MAIN(TestRelCons1)
#include "tst_relcons1.moc"
