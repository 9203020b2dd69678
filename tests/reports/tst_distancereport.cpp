#include "ProgramFixture.h"
#include "PdfWords.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/LocalTable.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/RadioGroup.h"
#include "platform/SystemServices.h"
#include "reports/DistancesTravelled.h"
#include "reports/TfmRelDistancia.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using Kind = MessageService::Kind;

// Distances travelled and their cost: the analytic and synthetic rows with their figures, the
// printed reports read back, the window and torvelctl report distances.
class TestDistanceReport : public QObject, public ProgramFixture {
    Q_OBJECT

    const QDateTime now{QDate(2024, 3, 20), QTime(9, 0, 0)};
    const QString sep = QString(116, '_');

    void touch(const QString &button, const QString &when, const QString &collector = "COL01")
    {
        insertTouch(collector, "2024-03-10 18:00:00", button, when);
    }

    std::optional<Listing> run(const QString &from, const QString &to, DistanceForm form,
                               const QString &collector = "COL01")
    {
        return DistancesTravelled(*dm).run({collector, "ALFA", from, to, form});
    }

    // An analytic row: evento, local, chegada, saida, permanência, trânsito, km, custo.
    static QString row(const QStringList &cells)
    {
        QStringList all = cells;
        while (all.size() < 8)
            all << QString();
        return all.join('\t');
    }
    static QString totals(const QString &label, const QString &perm, const QString &transit,
                          const QString &km, const QString &cost)
    {
        return row({label, {}, {}, {}, perm, transit, km, cost});
    }

    Ctl ctl(const QStringList &args) { return torvelctl(QStringList{"report", "distances"} + args); }

    QStringList closingOfDay5() const
    {
        return {row({}), totals("     TOTAL GERAL", "000:30", "000:30", "12,0km", "R$ 30,00")};
    }

    // The rows of 05/03/2024: two touches at each of two locations, 12 km apart at 2,50.
    QStringList day5() const
    {
        return {row({"05/03/2024"}),
                row({{}, "PORTARIA", "05/03/24 10:00:00", "05/03/24 10:20:00", "000:20"}),
                row({{}, "PATIO", "05/03/24 10:50:00", "05/03/24 11:00:00", "000:10", "000:30", "12km", "R$ 30,00"}),
                row({}),
                totals("     TOTAIS", "000:30", "000:30", "12,0km", "R$ 30,00"),
                row({sep})};
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = now, .ini = true}));
        seedCollectors();
        tdb->exec("insert into buttons (codigo_button, referencia) values ('L00001', 'L'), ('L00002', 'L'), "
                  "('L00003', 'L'), ('L00004', 'L'), ('E00001', 'E'), ('F00001', 'F')");
        tdb->exec("insert into locais (nome_local, button_local) values ('PORTARIA', 'L00001'), "
                  "('PATIO', 'L00002'), ('GUARITA', 'L00003'), ('DEPOSITO', 'L00004')");
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('RONDA', 'E00001')");
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria) values (1, 'JOSE', 'F00001')");
        // One direction each: PATIO -> GUARITA is not registered, only GUARITA -> PATIO.
        tdb->exec("insert into distancia (descricao, pontoA, pontoB, km) values ('a', 'L00001', 'L00002', 12), "
                  "('b', 'L00003', 'L00002', 5), ('c', 'L00002', 'L00001', 12.5), ('d', 'L00002', 'L00004', 1.15)");
        // 06/03 is covered by three ranges: the first row returned (3,00) counts. 07/03 has none.
        tdb->exec("insert into precokm (datainicio, datafim, custo) values ('2024-03-05', '2024-03-05', 2.5), "
                  "('2024-03-06', '2024-03-06', 3), ('2024-03-01', '2024-03-06', 9), ('2024-03-08', null, 1.1)");

        touch("L00001", "2024-03-05 10:00:00");
        touch("L00001", "2024-03-05 10:20:00");
        touch("L00002", "2024-03-05 10:50:00");
        touch("L00002", "2024-03-05 11:00:00");

        touch("L00001", "2024-03-06 08:00:00");
        touch("F00001", "2024-03-06 08:05:00");
        touch("L00002", "2024-03-06 08:59:40");
        touch("L00002", "2024-03-06 08:59:55");
        touch("L00003", "2024-03-06 10:00:00");
        touch("L00003", "2024-03-06 10:10:00");
        touch("L00003", "2024-03-06 10:30:00");
        touch("ZZZ999", "2024-03-06 10:40:00");
        touch("E00001", "2024-03-06 11:00:00");
        touch("L00002", "2024-03-06 11:30:00");
        touch("L00001", "2024-03-06 11:45:30");

        touch("ZZZ999", "2024-03-07 12:00:00");

        touch("L00002", "2024-03-08 09:00:00");
        touch("L00004", "2024-03-08 09:30:00");
        touch("E00001", "2024-03-08 09:40:00");
        touch("L00002", "2024-03-08 09:50:00");

        touch("L00001", "2024-03-05 10:30:00", "COL02");
    }

    void cleanup() { stopProgram(); }

    void oneDayOfVisitsAndALeg()
    {
        std::optional<Listing> l = run("05/03/2024", "05/03/2024", DistanceForm::Analytic);
        QVERIFY(l);
        QCOMPARE(l->tsv(), day5() + closingOfDay5());
        l = run("05/03/2024", "05/03/2024", DistanceForm::Synthetic);
        QCOMPARE(l->tsv(), QStringList({"05/03/2024\tPORTARIA\tPATIO\t12km\tR$ 30,00",
                                        "\t\t                    TOTAL\t12,0km\tR$ 30,00"}));
    }

    void severalDaysAnalytic()
    {
        const std::optional<Listing> l = run("05/03/2024", "09/03/2024", DistanceForm::Analytic);
        QVERIFY(l);
        const QStringList expected =
            day5() + QStringList{
                row({"06/03/2024"}),
                // A single touch is shown as the departure once the guard moves on.
                row({{}, "PORTARIA", {}, "06/03/24 08:00:00"}),
                row({"      JOSE - 06/03/2024 08:05"}),
                // 59 min 40 s in transit is 001:00; 15 s of permanence is no minute.
                row({{}, "PATIO", "06/03/24 08:59:40", "06/03/24 08:59:55", "   -  ", "001:00", "12km", "R$ 36,00"}),
                // Only GUARITA -> PATIO is registered: no km, no cost for PATIO -> GUARITA.
                // Three touches: 30 minutes, not 10 + 30.
                row({{}, "GUARITA", "06/03/24 10:00:00", "06/03/24 10:30:00", "000:30", "001:00"}),
                row({sep}),
                row({"RONDA - 06/03/2024 11:00"}),
                // The event ended the chain: no leg from GUARITA.
                row({{}, "PATIO", {}, "06/03/24 11:30:00"}),
                // 15 min 30 s rounds to the even 16.
                row({{}, "PORTARIA", "06/03/24 11:45:30", {}, {}, "000:16", "12,5km", "R$ 37,50"}),
                row({}),
                totals("     TOTAIS", "000:30", "002:15", "24,5km", "R$ 73,50"),
                row({sep}),
                // Touches of unregistered identifiers only.
                row({"07/03/2024"}),
                row({}),
                totals("     TOTAIS", "   -  ", "   -  ", "0,0km", "R$ 0,00"),
                row({sep}),
                // No leg from the last location of 06/03. 1,15 km at 1,10 is R$ 1,265: R$ 1,27.
                row({"08/03/2024"}),
                row({{}, "PATIO", {}, "08/03/24 09:00:00"}),
                // The last visit before an event keeps its single touch as the arrival.
                row({{}, "DEPOSITO", "08/03/24 09:30:00", {}, {}, "000:30", "1,15km", "R$ 1,27"}),
                row({sep}),
                row({"RONDA - 08/03/2024 09:40"}),
                row({{}, "PATIO", "08/03/24 09:50:00"}),
                row({}),
                totals("     TOTAIS", "   -  ", "000:30", "1,2km", "R$ 1,27"),
                row({sep}),
                // 09/03 has no touches: nothing.
                row({}),
                totals("     TOTAL GERAL", "001:00", "003:15", "37,7km", "R$ 104,77")};
        QCOMPARE(l->tsv(), expected);

        // The working table holds the same rows, left on disk.
        LocalTable table(dm->tempFolder(), DistancesTravelled::kWorkingTable);
        QVERIFY(table.open());
        QCOMPARE(table.recordCount(), expected.size());
        QCOMPARE(table.fields().size(), 8);
        QCOMPARE(table.fields().at(5).name, QString("tempoentrelocais"));
    }

    void severalDaysSynthetic()
    {
        const std::optional<Listing> l = run("05/03/2024", "09/03/2024", DistanceForm::Synthetic);
        QVERIFY(l);
        QCOMPARE(l->tsv(), QStringList({"05/03/2024\tPORTARIA\tPATIO\t12km\tR$ 30,00",
                                        "\t\t\t\t",  // the collaborator
                                        "06/03/2024\tPORTARIA\tPATIO\t12km\tR$ 36,00",
                                        "06/03/2024\tPATIO\tGUARITA\t\t",
                                        "\t\t\t\t", "\t\t\t\t",  // the event
                                        // The event does not end the chain.
                                        "06/03/2024\tGUARITA\tPATIO\t5km\tR$ 15,00",
                                        "06/03/2024\tPATIO\tPORTARIA\t12,5km\tR$ 37,50",
                                        // No leg from 06/03's last location to 08/03's first.
                                        "08/03/2024\tPATIO\tDEPOSITO\t1,15km\tR$ 1,27",
                                        "\t\t\t\t", "\t\t\t\t",
                                        "08/03/2024\tDEPOSITO\tPATIO\t\t",
                                        // 12 + 12 + 5 + 12,5 + 1,15 km; R$ 119,765.
                                        "\t\t                    TOTAL\t42,7km\tR$ 119,77"}));
        // An event as the very first row writes one empty row, not two.
        tdb->exec("insert into desctot (coletor, button, data_toque) values ('COL02', 'E00001', '2024-03-04 08:00:00')");
        QCOMPARE(run("04/03/2024", "04/03/2024", DistanceForm::Synthetic, "COL02")->tsv(),
                 QStringList({"\t\t\t\t", "\t\t                    TOTAL\t0,0km\tR$ 0,00"}));
    }

    void noCollectorOrNoDays()
    {
        const QStringList closing{row({}), totals("     TOTAL GERAL", "   -  ", "   -  ", "0,0km", "R$ 0,00")};
        QCOMPARE(run("01/03/2024", "31/03/2024", DistanceForm::Analytic, QString())->tsv(), closing);
        // Start after end: no day is read.
        QCOMPARE(run("06/03/2024", "05/03/2024", DistanceForm::Analytic)->tsv(), closing);
        QCOMPARE(run("06/03/2024", "05/03/2024", DistanceForm::Synthetic)->tsv(),
                 QStringList({"\t\t                    TOTAL\t0,0km\tR$ 0,00"}));
    }

    void durationsFromWholeSeconds()
    {
        // 1 h 59 min 42 s reads 002:00; halves of a minute go to the even neighbour; under 30 s
        // and exactly 30 s are no minute.
        QCOMPARE(DistancesTravelled::durationText(7182), QString("002:00"));
        QCOMPARE(DistancesTravelled::durationText(29), QString("   -  "));
        QCOMPARE(DistancesTravelled::durationText(30), QString("   -  "));
        // Whole minutes between odd seconds of far-apart days are never a minute short.
        tdb->exec("delete from desctot");
        touch("L00001", "2024-03-05 00:00:07");
        touch("L00002", "2024-03-05 23:59:07");
        QCOMPARE(run("05/03/2024", "05/03/2024", DistanceForm::Analytic)->rows().at(2).at(5), QString("023:59"));
    }

    void invalidDateStopsBeforeAnythingIsWritten()
    {
        QVERIFY(run("05/03/2024", "05/03/2024", DistanceForm::Analytic));
        const QString file = dm->tempFolder() + "/" + DistancesTravelled::kWorkingTable + ".db";
        const QDateTime written = QFileInfo(file).lastModified();
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Fim: '31/02/2024' não é uma data válida"));
        QVERIFY(!run("01/02/2024", "31/02/2024", DistanceForm::Analytic));
        msgs.expect(Kind::Error, QString::fromUtf8("Início: '  /03/2024' não é uma data válida"));
        QVERIFY(!run("  /03/2024", "05/03/2024", DistanceForm::Synthetic));
        // Blanks before or after are no part of a date.
        msgs.expect(Kind::Error, QString::fromUtf8("Início: ' 9/12/2026' não é uma data válida"));
        QVERIFY(!run(" 9/12/2026", "10/12/2026", DistanceForm::Synthetic));
        msgs.expect(Kind::Error, QString::fromUtf8("Fim: '9/12/2026 ' não é uma data válida"));
        QVERIFY(!run("09/12/2026", "9/12/2026 ", DistanceForm::Analytic));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        LocalTable table(dm->tempFolder(), DistancesTravelled::kWorkingTable);
        QVERIFY(table.open());
        QCOMPARE(table.recordCount(), day5().size() + 2);
        QCOMPARE(QFileInfo(file).lastModified(), written);
    }

    void printedReportsWithTheirHeaders()
    {
        const QString analytic = env->root() + "analitico.pdf";
        QVERIFY(run("05/03/2024", "09/03/2024", DistanceForm::Analytic)->writePdf("VIGILANCIA ALFA", analytic));
        QString text = pdfText(analytic);
        for (const char *expected : {"Distância percorrida", "Coletor: ALFA", "Torvel - Controle de Rotas",
                                     "VIGILANCIA ALFA", "20/03/2024", "Página 1", "RONDA - 06/03/2024 11:00",
                                     "TOTAL GERAL", "R$ 104,77"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        QList<PdfWord> words = pdfWords(analytic);
        const PdfHeadings h = pdfHeadings(words, {"Chegada", QString::fromUtf8("Saída"), "Tempo", "Tempo", "Km", "Custo"}, 1);
        QCOMPARE(h.left.size(), 6);
        // The separator is one unbroken line: one word of 116 underscores.
        QVERIFY(std::any_of(words.begin(), words.end(), [this](const PdfWord &w) { return w.text == sep; }));
        // A location's name is set in a little from the day and event lines.
        auto leftOf = [&](const QString &word) {
            return std::find_if(words.begin(), words.end(), [&](const PdfWord &w) { return w.text == word; })->x0;
        };
        QVERIFY(leftOf("PORTARIA") > leftOf("05/03/2024") + 5);
        QVERIFY(leftOf("PORTARIA") < leftOf("05/03/2024") + 20);

        const QString synthetic = env->root() + "sintetico.pdf";
        QVERIFY(run("05/03/2024", "09/03/2024", DistanceForm::Synthetic)->writePdf("VIGILANCIA ALFA", synthetic));
        text = pdfText(synthetic);
        QVERIFY(text.contains(QString::fromUtf8("Sintético de rota por coletor")));
        QVERIFY(text.contains("Coletor: ALFA"));
        QCOMPARE(pdfHeadings(pdfWords(synthetic), {"Data", QString::fromUtf8("Saída"), "Chegada", "Km", "Custo"}, 1).left.size(), 5);

        // Printed even with nothing but the closing rows.
        const QString empty = env->root() + "vazio.pdf";
        QVERIFY(DistancesTravelled(*dm).run({{}, {}, "06/03/2024", "05/03/2024", DistanceForm::Analytic})
                    ->writePdf({}, empty));
        QVERIFY(pdfText(empty).contains("TOTAL GERAL"));
        if (qEnvironmentVariableIsSet("TORVEL_KEEP_REPORTS"))
            for (const QString &f : {analytic, synthetic, empty})
                QFile::copy(f, qEnvironmentVariable("TORVEL_KEEP_REPORTS") + "/" + QFileInfo(f).fileName());
    }

    // A report running to several pages has its column headings on each one.
    void headingsOnEveryPrintedPage()
    {
        // Forty days of touches at two locations: a few pages of either form.
        for (int day = 0; day < 40; ++day) {
            const QString date = QDate(2024, 4, 1).addDays(day).toString("yyyy-MM-dd");
            touch("L00001", date + " 10:00:00");
            touch("L00002", date + " 10:30:00");
        }
        const QString analytic = env->root() + "analitico-longo.pdf";
        QVERIFY(run("01/04/2024", "10/05/2024", DistanceForm::Analytic)->writePdf("VIGILANCIA ALFA", analytic));
        if (qEnvironmentVariableIsSet("TORVEL_KEEP_REPORTS"))
            QFile::copy(analytic, qEnvironmentVariable("TORVEL_KEEP_REPORTS") + "/analitico-longo.pdf");
        QList<PdfWord> words = pdfWords(analytic);
        QVERIFY(words.last().page >= 2);
        for (int page = 1; page <= words.last().page; ++page)
            QCOMPARE(pdfHeadings(words, {"Chegada", QString::fromUtf8("Saída"), "Tempo", "Tempo", "Km", "Custo"}, page)
                         .left.size(), 6);
        const QString synthetic = env->root() + "sintetico-longo.pdf";
        for (int day = 0; day < 40; ++day) {
            const QString date = QDate(2024, 5, 11).addDays(day).toString("yyyy-MM-dd");
            touch("L00001", date + " 10:00:00");
            touch("L00002", date + " 10:30:00");
        }
        QVERIFY(run("01/04/2024", "30/06/2024", DistanceForm::Synthetic)->writePdf("VIGILANCIA ALFA", synthetic));
        words = pdfWords(synthetic);
        QVERIFY(words.last().page >= 2);
        for (int page = 1; page <= words.last().page; ++page)
            QCOMPARE(pdfHeadings(words, {"Data", QString::fromUtf8("Saída"), "Chegada", "Km", "Custo"}, page).left.size(), 5);
    }

    void windowAsAUserDrivesIt()
    {
        TfmRelDistancia w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Distâncias percorridas"));
        QCOMPARE(w.edIni->maskedText(), QString("19/03/2024"));
        QCOMPARE(w.edFim->maskedText(), QString("20/03/2024"));
        QCOMPARE(w.RadioGroup1->itemIndex(), 0);
        QCOMPARE(w.DBGrid1->model()->rowCount(), 2);
        QCOMPARE(w.btRelatorio->text(), QString::fromUtf8("&Relatório"));
        QCOMPARE(w.btRetorna->text(), QString("R&etorna"));

        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Início: '99/99/2024' não é uma data válida"));
        w.edIni->setMaskedText("99/99/2024");
        w.btRelatorioclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));

        // The synthetic preview of the first collector (by name: ALFA).
        w.edIni->setMaskedText("05/03/2024");
        w.edFim->setMaskedText("05/03/2024");
        w.RadioGroup1->setItemIndex(1);
        QString previewTitle;
        QTimer::singleShot(0, [&] {
            if (QWidget *preview = QApplication::activeModalWidget()) {
                previewTitle = preview->windowTitle();
                preview->close();
            }
        });
        w.btRelatorioclick();
        QCOMPARE(previewTitle, QString::fromUtf8("Visualização - Sintético de rota por coletor"));
        LocalTable table(dm->tempFolder(), DistancesTravelled::kWorkingTable);
        QVERIFY(table.open());
        QCOMPARE(table.rows().first().at(2).toString(), QString("PATIO"));
    }

    void torvelctlReport()
    {
        const QStringList db;  // the connection of the test's TORVEL.INI
        Ctl r = ctl(db + QStringList{"--collector", "COL01", "--from", "05/03/2024", "--to", "05/03/2024",
                                     "--form", "analytic", "--tsv"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, day5() + closingOfDay5());
        r = ctl(db + QStringList{"--collector", "COL01", "--from", "05/03/2024", "--to", "05/03/2024", "--form", "synthetic"});
        QCOMPARE(r.out.size(), 2);

        const QString pdf = env->root() + "ctl.pdf";
        r = ctl(db + QStringList{"--collector", "COL01", "--from", "05/03/2024", "--to", "05/03/2024",
                                 "--form", "analytic", "--pdf", pdf});
        QCOMPARE(r.status, 0);
        QVERIFY(pdfText(pdf).contains(QString::fromUtf8("Distância percorrida")));

        r = ctl(db + QStringList{"--collector", "COL01", "--from", "05/03/2024", "--to", "32/03/2024", "--form", "analytic"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(QString::fromUtf8("Fim: '32/03/2024' não é uma data válida")), qPrintable(r.err));
        r = ctl(db + QStringList{"--collector", "NAO", "--from", "05/03/2024", "--to", "05/03/2024", "--form", "analytic"});
        QVERIFY(r.status == 1 && r.err.contains(QString::fromUtf8("Coletor não cadastrado!")));
        r = ctl(db + QStringList{"--collector", "COL01", "--from", "05/03/2024", "--to", "05/03/2024", "--form", "x"});
        QCOMPARE(r.status, 1);
        r = ctl(db + QStringList{"--collector", "COL01", "--from", "05/03/2024", "--to", "05/03/2024",
                                 "--form", "analytic", "--xlsx", env->root() + "x.xlsx"});
        QCOMPARE(r.status, 1);
    }
};

QTEST_MAIN(TestDistanceReport)
#include "tst_distancereport.moc"
