#include "ProgramFixture.h"
#include "PdfWords.h"
#include "WindowDriving.h"
#include "XlsxReader.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/LocalTable.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/SearchList.h"
#include "reports/DownloadReports.h"
#include "reports/TfmRelDesc.h"
#include "reports/TfmRelRealizado.h"
#include "reports/TfmRelRealizadoRot.h"
#include "reports/TouchListings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using Kind = MessageService::Kind;
using WindowDriving::acceptWhere;
using WindowDriving::answered;

// The touch listings by collector and by route and the four analytic reports: their rows,
// their printed reports and spreadsheets read back, their windows driven as a user does, and
// torvelctl report.
class TestListings : public QObject, public ProgramFixture {
    Q_OBJECT

    const QDateTime now{QDate(2024, 3, 20), QTime(9, 0, 0)};
    // A key with a quote, wildcards, an accent and a character outside the basic plane.
    const QString oddCollector = QString::fromUtf8("C'%_é\U0001F600");

    void touch(const QString &collector, const QString &download, const QString &button,
               const QString &when, int route = 0, int func = 1)
    {
        insertTouch(collector, download, button, when, route, func);
    }

    using Run = Ctl;
    Run ctl(const QStringList &args) { return torvelctl(QStringList{"report"} + args); }

    static QStringList rowsOf(const Listing &l) { return l.tsv(); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = now, .ini = true, .quietSpreadsheets = true}));
        seedCollectors(oddCollector);
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria) values (1, 'JOSE', 'F00001'), "
                  "(2, 'MARIA', 'F00002')");
        tdb->exec("insert into buttons (codigo_button, referencia) values ('F00001', 'F'), ('F00002', 'F'), "
                  "('L00001', 'L'), ('L00002', 'L'), ('LSEM01', 'L'), ('E00001', 'E'), ('D00001', 'L')");
        tdb->exec("insert into locais (nome_local, button_local) values ('PORTARIA', 'L00001'), "
                  "('PATIO', 'L00002'), ('DUPLO LOCAL', 'D00001')");
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('INICIO', 'E00001'), "
                  "('DUPLO EVENTO', 'D00001')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro) values (1, 'RONDA NORTE'), "
                  "(2, 'RONDA SUL')");
        // Download 1 of COL01 (route 1), download 2 of COL01 (route 2), one of COL02.
        touch("COL01", "2024-03-05 18:00:00", "E00001", "2024-03-05 08:00:30", 1);
        touch("COL01", "2024-03-05 18:00:00", "L00001", "2024-03-05 08:10:00", 1);
        touch("COL01", "2024-03-05 18:00:00", "D00001", "2024-03-05 08:20:00", 1);
        touch("COL01", "2024-03-05 18:00:00", "ZZZ999", "2024-03-05 08:30:00", 1);
        touch("COL01", "2024-03-05 18:00:00", "LSEM01", "2024-03-05 08:40:00", 1);
        touch("COL01", "2024-03-05 18:00:00", "F00001", "2024-03-05 08:50:59", 1);
        touch("COL01", "2024-03-06 18:00:00", "L00002", "2024-03-06 00:00:00", 2, 2);
        touch("COL01", "2024-03-06 18:00:00", "L00001", "2024-03-06 09:00:00", 0, 2);
        touch("COL02", "2024-03-07 18:00:00", "L00001", "2024-03-06 09:00:00", 2, 1);
        touch("COL02", "2024-03-07 18:00:00", "E00001", "2024-03-06 09:00:00", 2, 2);
        touch(oddCollector, "2024-03-08 18:00:00", "L00002", "2024-03-08 10:00:00", 0, 1);
    }

    void cleanup() { stopProgram(); }

    // --- touches by collector ---

    void touchesOfADownloadOrOfAPeriod()
    {
        TouchesByCollector engine(*dm);
        TouchesByCollectorInputs in{"COL01", "ALFA", QDateTime(QDate(2024, 3, 5), QTime(18, 0)),
                                    "  /  /       :  ", "  /  /       :  "};
        std::optional<Listing> l = engine.run(in);
        QVERIFY(l);
        QCOMPARE(l->headerText(), QString("Coletor: COL01 - ALFA   Descarga: 2024/03/05 18:00:00"));
        // Every touch one row; unknown identifiers keep the date; a location that is also an
        // event shows both.
        QCOMPARE(rowsOf(*l), QStringList({"05/03/2024 08:00\t\t\tINICIO", "05/03/2024 08:10\t\tPORTARIA\t",
                                          "05/03/2024 08:20\t\tDUPLO LOCAL\tDUPLO EVENTO",
                                          "05/03/2024 08:30\t\t\t", "05/03/2024 08:40\t\t\t",
                                          "05/03/2024 08:50\tJOSE\t\t"}));
        // Only the start typed: still the download.
        in.periodStart = "05/03/2024 08:10";
        QCOMPARE(engine.run(in)->rows().size(), 6);
        // A period from second 00 of the start minute to second 00 of the end minute: the
        // touch at 08:50:59 is outside 08:10 .. 08:50.
        in.periodEnd = "05/03/2024 08:50";
        l = engine.run(in);
        QCOMPARE(l->headerText(), QString::fromUtf8("Coletor: COL01 - ALFA   Período: 05/03/2024 08:10 a 05/03/2024 08:50"));
        QCOMPARE(l->rows().size(), 4);
        QCOMPARE(l->rows().first().first(), QString("05/03/2024 08:10"));

        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Fim: '05/03/2024 08:  ' não é uma data e hora válida"));
        in.periodEnd = "05/03/2024 08:  ";
        QVERIFY(!engine.run(in));
        msgs.expect(Kind::Warning, QString::fromUtf8("Não existe dados para serem exibidos!"));
        QVERIFY(!engine.run({"COL02", "BETA", {}, {}, {}}));
        msgs.expect(Kind::Information, QString::fromUtf8("Não encontrado Coletor ou Descarga para o relatório!"));
        QVERIFY(!engine.run({{}, {}, QDateTime(QDate(2024, 3, 5), QTime(18, 0)), {}, {}}));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    // Names asked in bulk are those the one-by-one lookups give: the server matches keys
    // regardless of letter case and trailing blanks, and the first registered row names a key.
    void bulkNamesMatchTheOneByOneLookups()
    {
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria) values (3, 'ANA', 'fa0001 '), "
                  "(4, 'OUTRA ANA', 'FA0001')");
        // Accents too: the server's collation makes Á and A equal.
        tdb->exec(QString::fromUtf8("insert into locais (nome_local, button_local) values ('ACENTO', 'ÁB0001')"));
        tdb->exec(QString::fromUtf8("insert into buttons (codigo_button, referencia) values ('ÁB0001', 'L')"));
        const QStringList ids{"FA0001", "fa0001", "F00002", "NADA", "L00001 ", "AB0001"};
        IdentifierNames single(*dm), bulk(*dm);
        bulk.prefetch(ids);
        for (const QString &id : ids) {
            QCOMPARE(bulk.collaborator(id), single.collaborator(id));
            QCOMPARE(bulk.location(id), single.location(id));
            QCOMPARE(bulk.referenceKind(id), single.referenceKind(id));
        }
        QCOMPARE(bulk.location("L00001 "), QString("PORTARIA"));
        QCOMPARE(bulk.location("AB0001"), QString("ACENTO"));
        QCOMPARE(bulk.referenceKind("AB0001"), QChar('L'));
        QVERIFY(bulk.collaborator("NADA").isEmpty());
    }

    // Stopped by the user, a listing gives nothing and leaves its working table empty, even
    // where an earlier run had filled it.
    void stoppedListingsLeaveNothingBehind()
    {
        const TouchesByCollectorInputs in{"COL01", "ALFA", QDateTime(QDate(2024, 3, 5), QTime(18, 0)),
                                          "  /  /       :  ", "  /  /       :  "};
        QVERIFY(TouchesByCollector(*dm).run(in));
        // Stops when asked for the at-th time (from 1).
        const auto stopAt = [](int at) {
            return Progress([at, asked = 0](const QString &, qint64, qint64) mutable { return ++asked < at; });
        };
        for (int at : {1, 2}) {
            QVERIFY(!TouchesByCollector(*dm).run(in, stopAt(at)));
            LocalTable rel(dm->tempFolder(), TouchesByCollector::kWorkingTable);
            QVERIFY(rel.open());
            QVERIFY(rel.rows().isEmpty());
        }
        const TouchesByRouteInputs byRoute{"01/03/2024 00:00", "31/03/2024 23:59", {}, {}};
        QVERIFY(TouchesByRoute(*dm).run(byRoute));
        QVERIFY(!TouchesByRoute(*dm).run(byRoute, stopAt(2)));
        LocalTable temp(dm->tempFolder(), TouchesByRoute::kWorkingTable);
        QVERIFY(temp.open());
        QVERIFY(temp.rows().isEmpty());
    }

    void collectorWindowAsAUserDrivesIt()
    {
        TfmRelRealizado w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Relatório de Coletas"));
        // Collectors by name: ALFA, BETA, ESTRANHO; the downloads of ALFA.
        QCOMPARE(w.qyDescargas().recordCount(), 2);
        QCOMPARE(w.edInicio->maskedText(), QString("20/03/2024 00:00"));
        QCOMPARE(w.edFim->maskedText(), QString("20/03/2024 23:59"));
        // A move in the downloads list empties the period.
        w.btColetaclick();
        QCOMPARE(w.qyDescargas().text("Data_descarga"), QString("06/03/2024 18:00:00"));
        QVERIFY(w.edInicio->isBlank());
        w.btLimpaclick();
        QCOMPARE(w.edInicio->maskedText(), QString("20/03/2024 00:00"));
        w.btLimpaclick();
        QVERIFY(w.edInicio->isBlank() && w.edFim->isBlank());

        // The spreadsheet of the last download.
        w.CheckBox1->setChecked(true);
        QDir(env->root()).mkpath("docs");
        w.btRelatorioclick();
        QVERIFY(w.btRelatorio->isEnabled());
        const QStringList files = QDir(QString::fromLocal8Bit(qgetenv("TORVEL_DOCUMENTS")) + "/Planilhas").entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const XlsxReader x(QString::fromLocal8Bit(qgetenv("TORVEL_DOCUMENTS")) + "/Planilhas/" + files.first());
        QCOMPARE(x.differences({
            {"A1", "Relatório Analítico por Coletor"}, {"I1", "20/03/2024 09:00"},
            {"A2", "Coletor: COL01 - ALFA   Descarga: 2024/03/06 18:00:00"},
            {"A4", "Data do toque"}, {"C4", "Funcionário"}, {"F4", "Local"}, {"I4", "Evento"},
            {"A5", " 06/03/2024 00:00"}, {"F5", " PATIO"}, {"C5", " "}, {"F6", " PORTARIA"},
        }), QStringList());
        QVERIFY(!x.has("A7"));
        QVERIFY(x.styles().contains("<sz val=\"8\"/>"));
        QVERIFY(qAbs(x.width(1) - 20.0) < 1.0);

        // The collector grid leads the downloads list: the odd collector's one download.
        dm->qyColetores->last();
        QCOMPARE(w.qyDescargas().recordCount(), 1);
        const std::optional<Listing> l = TouchesByCollector(*dm).run(
            {oddCollector, "ESTRANHO", w.qyDescargas().value("Data_descarga").toDateTime(), {}, {}});
        QCOMPARE(rowsOf(*l), QStringList({"08/03/2024 10:00\t\tPATIO\t"}));
    }

    // --- touches by route ---

    void routeBlocksWithTheirTouches()
    {
        TouchesByRoute engine(*dm);
        std::optional<Listing> l = engine.run({"05/03/2024 00:00", "06/03/2024 23:59", {}, {}});
        QVERIFY(l);
        QCOMPARE(l->headerText(), QString::fromUtf8("Período: 05/03/2024 00:00 a 06/03/2024 23:59"));
        // Every route with its three rows; only touches whose registry names them; route 0
        // belongs to none; an "L" without a location is left out; the event row by its kind.
        QCOMPARE(rowsOf(*l), QStringList({"\t\t\t", "RONDA NORTE\t\t\t", "\t\t\t",
                                          "05/03/2024 08:00:30\t\t\tINICIO",
                                          "05/03/2024 08:10:00\t\tPORTARIA\t",
                                          "05/03/2024 08:20:00\t\tDUPLO LOCAL\t",
                                          "05/03/2024 08:50:59\tJOSE\t\t",
                                          "\t\t\t", "RONDA SUL\t\t\t", "\t\t\t",
                                          "06/03/2024 00:00:00\t\tPATIO\t",
                                          "06/03/2024 09:00:00\t\tPORTARIA\t",
                                          "06/03/2024 09:00:00\t\t\tINICIO"}));
        // The end minute counts to its last second.
        l = engine.run({"05/03/2024 08:50", "05/03/2024 08:50", "1", "RONDA NORTE"});
        QCOMPARE(l->headerText(), QString::fromUtf8("Período: 05/03/2024 08:50 a 05/03/2024 08:50  Roteiro: RONDA NORTE"));
        QCOMPARE(rowsOf(*l), QStringList({"\t\t\t", "RONDA NORTE\t\t\t", "\t\t\t", "05/03/2024 08:50:59\tJOSE\t\t"}));

        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Início: '  /  /       :  ' não é uma data e hora válida"));
        QVERIFY(!engine.run({"  /  /       :  ", "06/03/2024 23:59", {}, {}}));
        QVERIFY(msgs.done());
    }

    void routeWindowPrintsEveryPageWithItsHeader()
    {
        // Enough touches of one route for several pages.
        for (int i = 0; i < 150; ++i)
            touch("COL02", "2024-03-09 18:00:00", "L00001",
                  QDateTime(QDate(2024, 3, 9), QTime(0, 0)).addSecs(i * 60).toString("yyyy-MM-dd hh:mm:ss"), 1);
        const std::optional<Listing> l = TouchesByRoute(*dm).run({"09/03/2024 00:00", "09/03/2024 23:59", {}, {}});
        const QString path = env->root() + "rota.pdf";
        QVERIFY(l->writePdf("VIGILANCIA ALFA", path));
        const QList<PdfWord> words = pdfWords(path);
        const int pages = words.last().page;
        QVERIFY(pages >= 3);
        const QString text = pdfText(path);
        QCOMPARE(text.count(QString::fromUtf8("Analítico por roteiro")), pages);
        QCOMPARE(text.count("VIGILANCIA ALFA"), pages);
        QCOMPARE(text.count(QString::fromUtf8("Período: 09/03/2024 00:00 a 09/03/2024 23:59")), 1);
        const PdfHeadings h = pdfHeadings(words, {"DATA", QString::fromUtf8("FUNCIONÁRIO"), "LOCAL", "EVENTO"}, 1);
        QCOMPARE(h.left.size(), 4);
        QVERIFY(pdfHeadings(words, {"DATA", QString::fromUtf8("FUNCIONÁRIO"), "LOCAL", "EVENTO"}, 2).left.isEmpty());
        int last = -1;
        for (int i = 0; i < 150; ++i) {
            const int at = text.indexOf(QDateTime(QDate(2024, 3, 9), QTime(0, 0)).addSecs(i * 60).toString("dd/MM/yyyy hh:mm:ss"));
            QVERIFY2(at > last, qPrintable(QString::number(i)));
            last = at;
        }
        if (qEnvironmentVariableIsSet("TORVEL_KEEP_REPORTS"))
            QFile::copy(path, qEnvironmentVariable("TORVEL_KEEP_REPORTS") + "/rota.pdf");

        // The window: a route chosen from the list, then all again; the spreadsheet.
        TfmRelRealizadoRot w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Relatório de Descarga"));
        QVERIFY(answered("TfmListaRoteiros", acceptWhere("nome_roteiro", "RONDA SUL"), [&] { w.Button3Click(); }));
        QCOMPARE(w.edRoteiro->text(), QString("RONDA SUL"));
        QCOMPARE(w.codigoRoteiro(), QString("2"));
        // A code longer than four digits is kept whole: route 10000 is not route 1000.
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro) values (1000, 'MIL'), (10000, 'DEZ MIL')");
        QVERIFY(answered("TfmListaRoteiros", acceptWhere("nome_roteiro", "DEZ MIL"), [&] { w.Button3Click(); }));
        QCOMPARE(w.codigoRoteiro(), QString("10000"));
        tdb->exec("delete from roteiros where codigo_roteiro >= 1000");
        w.Button4Click();
        QVERIFY(w.edRoteiro->text().isEmpty() && w.codigoRoteiro().isEmpty());
        w.edInicio->setMaskedText("06/03/2024 00:00");
        w.edFim->setMaskedText("06/03/2024 23:59");
        dm->excel = true;
        w.buImpressoraClick();
        const QString folder = QString::fromLocal8Bit(qgetenv("TORVEL_DOCUMENTS")) + "/Planilhas/";
        const XlsxReader x(folder + QDir(folder).entryList(QDir::Files).first());
        QCOMPARE(x.differences({
            {"A1", "Analítico por roteiro"}, {"A2", "Período: 06/03/2024 00:00 a 06/03/2024 23:59"},
            {"A4", "Data"}, {"C4", "Funcionário"}, {"E4", "Local"}, {"G4", "Evento"},
            {"A6", "RONDA NORTE"}, {"A9", "RONDA SUL"}, {"A11", "06/03/2024 00:00:00"},
            {"E11", "PATIO"}, {"G13", "INICIO"},
        }), QStringList());
    }

    // --- the four analytic reports ---

    void analyticReportsRowsAndPeriods()
    {
        DownloadReports engine(*dm);
        // Blank dates: every record of the key.
        std::optional<DownloadsResult> r =
            engine.run({DownloadsKey::Collector, "COL01", "ALFA", DownloadReports::kBlankDate, DownloadReports::kBlankDate});
        QCOMPARE(r->from, QString("01/01/0001"));
        QCOMPARE(r->to, QString("31/12/9999"));
        QCOMPARE(r->listing.headerText(), QString::fromUtf8("Coletor: COL01 ALFA    Período: 01/01/0001 a 31/12/9999"));
        QCOMPARE(rowsOf(r->listing), QStringList({"05/03/2024 18:00:00\tJOSE", "06/03/2024 18:00:00\tMARIA"}));
        // One day, from 00:00:00 to 23:59:59.
        r = engine.run({DownloadsKey::Location, "L00001", "PORTARIA", "06/03/2024", "06/03/2024"});
        QCOMPARE(rowsOf(r->listing), QStringList({"06-03-24 09:00:00\tALFA\tMARIA", "06-03-24 09:00:00\tBETA\tJOSE"}));
        QCOMPARE(r->listing.sheetRows().first().first(), QString("06/03/2024 09:00:00"));
        r = engine.run({DownloadsKey::Location, "L00002", "PATIO", "06/03/2024", "06/03/2024"});
        QCOMPARE(rowsOf(r->listing), QStringList({"06-03-24 00:00:00\tALFA\tMARIA"}));
        QCOMPARE(r->listing.sheetRows().first().first(), QString("06/03/2024"));
        // Two touches of the event in one second: one row.
        touch("COL02", "2024-03-07 18:00:00", "E00001", "2024-03-06 09:00:00", 2, 2);
        r = engine.run({DownloadsKey::Event, "E00001", "INICIO", "06/03/2024", DownloadReports::kBlankDate});
        QCOMPARE(rowsOf(r->listing), QStringList({"06/03/2024 09:00:00\tBETA\tMARIA"}));
        // Two people touching the event in one second: the row names one touch's pair, never
        // the collector of one with the collaborator of the other.
        touch("COL02", "2024-03-09 18:00:00", "E00001", "2024-03-09 10:00:00", 2, 1);
        touch("COL01", "2024-03-09 18:00:00", "E00001", "2024-03-09 10:00:00", 2, 2);
        r = engine.run({DownloadsKey::Event, "E00001", "INICIO", "09/03/2024", "09/03/2024"});
        QCOMPARE(rowsOf(r->listing), QStringList({"09/03/2024 10:00:00\tBETA\tJOSE"}));
        tdb->exec("delete from desctot where data_toque = '2024-03-09 10:00:00'");
        r = engine.run({DownloadsKey::Collaborator, "2", "MARIA", DownloadReports::kBlankDate, DownloadReports::kBlankDate});
        QStringList collab = rowsOf(r->listing);
        collab.sort();
        QCOMPARE(collab, QStringList({"06/03/2024 18:00:00\tCOL01\tALFA", "07/03/2024 18:00:00\tCOL02\tBETA"}));
        // Odd keys are bound: the right rows, no error.
        r = engine.run({DownloadsKey::Collector, oddCollector, "ESTRANHO", DownloadReports::kBlankDate, DownloadReports::kBlankDate});
        QCOMPARE(rowsOf(r->listing), QStringList({"08/03/2024 18:00:00\tJOSE"}));
        QCOMPARE(engine.describe(DownloadsKey::Collector, oddCollector), std::optional<QString>("ESTRANHO"));
        QVERIFY(!engine.describe(DownloadsKey::Collector, "C'%"));
        QVERIFY(!engine.describe(DownloadsKey::Collaborator, "1'"));
        QVERIFY(engine.run({DownloadsKey::Collector, "%", "", DownloadReports::kBlankDate, DownloadReports::kBlankDate})
                    ->values.isEmpty());
        // A half-typed date is refused, naming its field.
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Data final: '05/03/    ' não é uma data válida (dd/mm/aaaa)"));
        QVERIFY(!engine.run({DownloadsKey::Collector, "COL01", "", DownloadReports::kBlankDate, "05/03/    "}));
        // A blank before or after makes no whole date: cut by position it was another bound.
        msgs.expect(Kind::Error, QString::fromUtf8("Data de início: ' 9/12/2026' não é uma data válida (dd/mm/aaaa)"));
        QVERIFY(!engine.run({DownloadsKey::Collector, "COL01", "", " 9/12/2026", DownloadReports::kBlankDate}));
        msgs.expect(Kind::Error, QString::fromUtf8("Data final: '9/12/2026 ' não é uma data válida (dd/mm/aaaa)"));
        QVERIFY(!engine.run({DownloadsKey::Collector, "COL01", "", DownloadReports::kBlankDate, "9/12/2026 "}));
        QVERIFY(msgs.done());
        // No collectors registered: by collector lists nothing.
        tdb->exec("delete from coletor");
        QVERIFY(engine.run({DownloadsKey::Collector, "COL01", "", DownloadReports::kBlankDate, DownloadReports::kBlankDate})
                    ->values.isEmpty());
    }

    void analyticWindowsAsAUserDrivesThem()
    {
        QList<std::pair<QString, QDateTime>> opened;
        TfmRelDescCol col([&](const QString &c, const QDateTime &d) { opened.append({c, d}); });
        QCOMPARE(col.windowTitle(), QString("Relatório de Descarregamento (Coletor)"));
        QCOMPARE(col.edInicio->maskedText(), QString("19/02/2024"));
        QCOMPARE(col.edFim->maskedText(), QString("20/03/2024"));
        col.btRelatorioclick();  // no key: nothing
        col.DBGrid1DblClick();   // empty grid: nothing
        QVERIFY(opened.isEmpty());

        ScriptedMessageService msgs;
        col.edKey->setText("NAOEXISTE");
        msgs.expect(Kind::Information, QString::fromUtf8("Coletor não cadastrado!"));
        col.edKeyExit();
        QVERIFY(col.edKey->text().isEmpty());
        // The search list fills key and description.
        QVERIFY(answered("TfmListaColetores", acceptWhere("nome_coletor", "ALFA"), [&] { col.btPesquisaclick(); }));
        QCOMPARE(col.edKey->text(), QString("COL01"));
        QCOMPARE(col.edDescricao->text(), QString("ALFA"));
        msgs.expect(Kind::Information, QString::fromUtf8("Nenhuma informação encontrada neste período!"));
        col.edFim->setMaskedText("01/03/2024");
        col.btRelatorioclick();
        QCOMPARE(col.gridRows(), 0);
        col.edInicio->setMaskedText("  /  /    ");
        col.edFim->setMaskedText("  /  /    ");
        col.btRelatorioclick();
        QCOMPARE(col.edInicio->maskedText(), QString("01/01/0001"));
        QCOMPARE(col.gridRows(), 2);
        QCOMPARE(col.gridRow(1), QStringList({"06/03/2024 18:00:00", "MARIA"}));
        // "Impressora" shows a printer, not the save icon, and previews under a caption
        // without a dangling dash.
        const QImage saveIcon = col.style()->standardIcon(QStyle::SP_DialogSaveButton).pixmap(32).toImage();
        QVERIFY(col.btImpressora->icon().pixmap(32).toImage() != saveIcon);
        QString previewTitle;
        QTimer::singleShot(0, [&] {
            if (QWidget *preview = QApplication::activeModalWidget()) {
                previewTitle = preview->windowTitle();
                preview->close();
            }
        });
        dm->excel = false;
        col.btImpressoraclick();
        QVERIFY2(previewTitle.startsWith(QString::fromUtf8("Visualização")) && !previewTitle.trimmed().endsWith('-'),
                 qPrintable(previewTitle));
        col.DBGrid1->selectRow(1);
        col.DBGrid1DblClick();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first, QString("COL01"));
        QCOMPARE(opened.first().second, QDateTime(QDate(2024, 3, 6), QTime(18, 0)));

        // By collaborator the row names the collector; the spreadsheet has column 5 unheaded.
        TfmRelDescFun fun([&](const QString &c, const QDateTime &d) { opened.append({c, d}); });
        fun.edKey->setText("1");
        fun.edInicio->setMaskedText("06/03/2024");
        fun.btRelatorioclick();
        QCOMPARE(fun.gridRows(), 2);  // in the database's order
        const int beta = fun.gridRow(0).at(1) == "COL02" ? 0 : 1;
        fun.DBGrid1->selectRow(beta);
        fun.DBGrid1DblClick();
        QCOMPARE(opened.last().second, QDateTime(QDate(2024, 3, 7), QTime(18, 0)));
        QCOMPARE(opened.last().first, QString("COL02"));
        dm->excel = true;
        fun.btImpressoraclick();
        const QString folder = QString::fromLocal8Bit(qgetenv("TORVEL_DOCUMENTS")) + "/Planilhas/";
        const XlsxReader x(folder + QDir(folder).entryList(QDir::Files).first());
        QCOMPARE(x.differences({
            {"A1", "Descargas por Colaborador"},
            {"A2", "Colaborador:     Período: 06/03/2024 a 20/03/2024"}, {"A4", "Data da descarga"},
            {"C4", "Coletor"},
        }), QStringList());
        QVERIFY(!x.has("E4"));
        const int row = 5 + beta;
        QCOMPARE(x.text(QString("A%1").arg(row)), QString(" 07/03/2024 18:00:00"));
        QCOMPARE(x.text(QString("C%1").arg(row)), QString("COL02"));
        QCOMPARE(x.text(QString("E%1").arg(row)), QString("BETA"));
        QVERIFY(x.styles().contains("<sz val=\"12\"/>"));

        // By event: dates blank, no empty message; typed identifier checked on the way out.
        TfmRelDescEve eve;
        QCOMPARE(eve.btRelatorio->text(), QString::fromUtf8("Relatório"));
        QVERIFY(eve.edInicio->isBlank());
        eve.edKey->setText("E00001");
        eve.edKeyExit();
        QCOMPARE(eve.edDescricao->text(), QString("INICIO"));
        eve.edInicio->setMaskedText("01/01/2025");
        eve.btRelatorioclick();
        QCOMPARE(eve.gridRows(), 0);
        // By location the printed report's touch column.
        TfmRelDescLoc loc;
        loc.edKey->setText("L00001");
        msgs.expect(Kind::Information, QString::fromUtf8("Local não cadastrado!"));
        loc.edKey->setText("XYZ");
        loc.edKeyExit();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void analyticPrintedReportHeadingOnEveryPage()
    {
        for (int i = 0; i < 120; ++i)
            touch("COL01", QDateTime(QDate(2024, 3, 10), QTime(6, 0)).addSecs(i * 60).toString("yyyy-MM-dd hh:mm:ss"),
                  "F00001", "2024-03-10 05:00:00");
        const std::optional<DownloadsResult> r = DownloadReports(*dm).run(
            {DownloadsKey::Collector, "COL01", "ALFA", "10/03/2024", "10/03/2024"});
        QCOMPARE(r->values.size(), 120);
        const QString path = env->root() + "coletor.pdf";
        QVERIFY(r->listing.writePdf("VIGILANCIA ALFA", path));
        const QList<PdfWord> words = pdfWords(path);
        const int pages = words.last().page;
        QVERIFY(pages >= 2);
        const QString text = pdfText(path);
        // The heading line on every page (pdftotext lays the gap between its parts out as blanks).
        QCOMPARE(text.count(QRegularExpression(QString::fromUtf8("Coletor: COL01 ALFA +Período: 10/03/2024 a 10/03/2024"))),
                 pages);
        for (int p = 1; p <= pages; ++p)
            QCOMPARE(pdfHeadings(words, {"Data da Descarga", QString::fromUtf8("Funcionário")}, p).left.size(), 2);
        QVERIFY(text.indexOf("10/03/2024 06:00:00") < text.indexOf("10/03/2024 07:59:00"));
        if (qEnvironmentVariableIsSet("TORVEL_KEEP_REPORTS"))
            QFile::copy(path, qEnvironmentVariable("TORVEL_KEEP_REPORTS") + "/coletor.pdf");
    }

    // --- torvelctl report ---

    void commandLine()
    {
        Run r = ctl({"touches-by-collector", "--collector", "COL01", "--download", "05/03/2024 18:00:00"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.size(), 6);
        QCOMPARE(r.out.at(3), QString("05/03/2024 08:30\t\t\t"));
        r = ctl({"touches-by-route", "--period", "05/03/2024 08:50", "05/03/2024 08:50", "--route", "1"});
        QCOMPARE(r.out, QStringList({"\t\t\t", "RONDA NORTE\t\t\t", "\t\t\t", "05/03/2024 08:50:59\tJOSE\t\t"}));
        r = ctl({"touches-by-location", "--location", "L00001", "--from", "06/03/2024", "--to", "06/03/2024", "--tsv"});
        QCOMPARE(r.out, QStringList({"06-03-24 09:00:00\tALFA\tMARIA", "06-03-24 09:00:00\tBETA\tJOSE"}));
        r = ctl({"downloads-by-collector", "--collector", oddCollector});
        QCOMPARE(r.out, QStringList({"08/03/2024 18:00:00\tJOSE"}));
        r = ctl({"downloads-by-collaborator", "--collaborator", "2", "--from", "07/03/2024"});
        QCOMPARE(r.out, QStringList({"07/03/2024 18:00:00\tCOL02\tBETA"}));
        r = ctl({"touches-by-event", "--event", "E00001", "--from", "06/03/2024", "--to", "06/03/2024"});
        QCOMPARE(r.out, QStringList({"06/03/2024 09:00:00\tBETA\tMARIA"}));
        // Failures in Portuguese, non-zero.
        r = ctl({"downloads-by-collector", "--collector", "NAO"});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("Coletor não cadastrado!")));
        r = ctl({"downloads-by-collector", "--collector", "COL01", "--from", "05/03/20"});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("Data de início")));
        r = ctl({"touches-by-route", "--period", "05/03/2024 08:50", "05/13/2024 08:50"});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("Fim: '05/13/2024 08:50' não é uma data e hora válida")));
        r = ctl({"touches-by-location", "--location", "L00001", "--from", " 6/03/2024"});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("Data de início: ' 6/03/2024'")));
        r = ctl({"touches-by-route", "--period", "05/03/2024 08:50 ", "05/03/2024 08:50"});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("Início: '05/03/2024 08:50 ' não é uma data e hora válida")));
        for (const char *route : {"1'", "1x", " 1"}) {
            r = ctl({"touches-by-route", "--period", "05/03/2024 08:50", "05/03/2024 08:50", "--route", route});
            QVERIFY2(r.status != 0 && r.out.isEmpty() && r.err.contains(QString::fromUtf8("não é um código de roteiro")),
                     qPrintable(r.err));
        }
        r = ctl({"touches-by-event", "--collector", "COL01"});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("não aceita --collector")));
        // PDF and spreadsheet files.
        const QString pdf = env->root() + "ctl.pdf";
        r = ctl({"touches-by-collector", "--collector", "COL01", "--period", "05/03/2024 00:00", "05/03/2024 23:59",
                 "--pdf", pdf});
        QCOMPARE(r.status, 0);
        QVERIFY(pdfText(pdf).contains(QString::fromUtf8("Analítico por Coletor")));
        QVERIFY(pdfText(pdf).contains("DUPLO EVENTO"));
        const QString xlsx = env->root() + "ctl.xlsx";
        r = ctl({"touches-by-event", "--event", "E00001", "--xlsx", xlsx});
        QCOMPARE(r.status, 0);
        QCOMPARE(XlsxReader(xlsx).text("A1"), QString::fromUtf8("Analítico por evento"));
        QCOMPARE(XlsxReader(xlsx).text("A2"), QString::fromUtf8("Evento: INICIO    Período: 01/01/0001 a 31/12/9999"));
    }
};

QTEST_MAIN(TestListings)
#include "tst_listings.moc"
