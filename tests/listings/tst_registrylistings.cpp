#include "ProgramFixture.h"
#include "PdfWords.h"
#include "WindowDriving.h"
#include "XlsxReader.h"
#include "core/TdmzDados.h"
#include "core/TfmQ90ini.h"
#include "listings/Commands.h"
#include "core/db/DataSet.h"
#include "listings/RegistryListings.h"
#include "listings/RouteListing.h"
#include "listings/TfmRelRot.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/SearchList.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QtTest>

using WindowDriving::acceptWhere;
using WindowDriving::answered;

// The registries' listings and the route listing: rows, printed reports and spreadsheets read
// back, the route window driven as a user does, and torvelctl listing.
class TestRegistryListings : public QObject, public ProgramFixture {
    Q_OBJECT

    const QDateTime now{QDate(2024, 3, 20), QTime(9, 0, 0)};

    QString sheetOf(const Listing &l)
    {
        QString path;
        return l.writeSpreadsheet(&path) ? path : QString();
    }
    QString pdfOf(const Listing &l, const QString &name)
    {
        const QString path = env->root() + name + ".pdf";
        if (!l.writePdf("VIGILANCIA ALFA", path))
            return {};
        // TORVEL_KEEP_REPORTS=folder keeps a copy, to look at its pages.
        if (const QString keep = qEnvironmentVariable("TORVEL_KEEP_REPORTS"); !keep.isEmpty()) {
            QDir().mkpath(keep);
            QFile::remove(keep + '/' + name + ".pdf");
            QFile::copy(path, keep + '/' + name + ".pdf");
        }
        return path;
    }
    Listing run(RegistryListing which) { return RegistryListings(*dm).run(which); }

    using Run = Ctl;
    Run ctl(const QStringList &args) { return torvelctl(QStringList{"listing"} + args); }

    void addRoutes()
    {
        // NORTE: standard times 5/15, one stop without limits, one with 3/8; SUL: local times,
        // no stops; OESTE: no time options.
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('INICIO', 'E00001')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia, tempo_locais, tempo_padrao, "
                  "t_min_padrao, t_max_padrao, hora_saida, hora_chegada, empresa, t_rot_min, t_rot_max) values "
                  "(1, 'RONDA NORTE', 'E00001', 0, 0, '5', '15', '08:00:00', '18:30:00', 'EMPRESA X', '60', '90'), "
                  "(2, 'RONDA SUL', '', 0, -1, '', '', null, null, '', '', ''), "
                  "(3, 'RONDA OESTE', 'NADA', -1, 0, '7', '9', null, null, '', '', '')");
        tdb->exec("insert into descrot (codigo_roteiro, ordem, nome_local, t_min, t_max) values "
                  "(1, '002', 'PATIO', 3, 8), (1, '001', 'PORTARIA', 0, 0), (3, '001', 'GARAGEM', 1, 2)");
    }

private Q_SLOTS:
    void init() { QVERIFY(startProgram({.now = now, .ini = true, .quietSpreadsheets = true})); }

    void cleanup() { stopProgram(); }

    void collectorsSpreadsheetAndReport()
    {
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor, data_cadastro) values "
                  "('C3', 'GAMA', '2024-01-03 10:20:30'), ('C1', 'ALFA', '2024-01-01 00:00:00'), ('C2', 'BETA', null)");
        const Listing l = run(RegistryListing::Collectors);
        const XlsxReader x(sheetOf(l));
        QCOMPARE(x.text("A1"), QString("Coletores"));
        QCOMPARE(x.text("I1"), QString("20/03/2024 09:00"));
        QVERIFY(!x.has("A2"));
        QCOMPARE(QStringList({x.text("A4"), x.text("C4"), x.text("F4")}),
                 QStringList({QString::fromUtf8("Descrição"), QString::fromUtf8("Código"), "Data do cadastro"}));
        // Data in rows 5-7 by name, the moment in full even at midnight; 8 and 9 empty.
        QCOMPARE(QStringList({x.text("A5"), x.text("C5"), x.text("F5")}),
                 QStringList({"ALFA", "C1", "01/01/2024 00:00:00"}));
        QCOMPARE(x.text("A6"), QString("BETA"));
        QVERIFY(!x.has("F6"));
        QCOMPARE(x.text("F7"), QString("03/01/2024 10:20:30"));
        QVERIFY(!x.has("A8") && !x.has("A9"));
        QCOMPARE(x.text("A10"), QString("TOTAL: 3"));
        QVERIFY(x.style("A10") != x.style("A5"));  // bold, the data not

        // The printed report: headings, rows by name, the midnight moment as a date, the total.
        const QString text = pdfText(pdfOf(l, "coletores"));
        QVERIFY(text.contains("Coletores") && text.contains("VIGILANCIA ALFA") && text.contains(QString::fromUtf8("Página 1")));
        QVERIFY(text.contains(QString::fromUtf8("DESCRIÇÃO")) && text.contains("DATA CADASTRO"));
        QVERIFY(text.indexOf("ALFA      ") < text.indexOf("BETA") && text.indexOf("BETA") < text.indexOf("GAMA"));
        QVERIFY(text.contains(QRegularExpression("ALFA\\s+C1\\s+01/01/2024\\n")));
        QVERIFY(text.contains("03/01/2024 10:20:30"));
        QVERIFY(text.contains("TOTAL: 3"));
    }

    void emptyRegistryHasTotalZeroAndNoPages()
    {
        const Listing l = run(RegistryListing::Functions);
        const XlsxReader x(sheetOf(l));
        QCOMPARE(x.text("A1"), QString::fromUtf8("Funções"));
        QCOMPARE(x.text("C4"), QString::fromUtf8("Código"));
        QCOMPARE(x.text("A7"), QString("TOTAL: 0"));
        QVERIFY(l.renderer("X").isEmpty());
    }

    void identifiersDescribedByReferenceKind()
    {
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('INICIO', 'A00001')");
        tdb->exec("insert into funcs (nome_func, memoria) values ('JOSE', 'A00002')");
        // A code registered twice names its first location.
        tdb->exec("insert into locais (nome_local, button_local) values ('PORTARIA', 'A00003'), ('GUARITA', 'A00003')");
        // A00004: a location since deleted, right after one that has a name; A00005 no
        // reference; A00006 a code of no kind, though its identifier names an event.
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('OUTRO', 'A00006')");
        tdb->exec("insert into buttons (codigo_button, referencia, data_cadastro) values "
                  "('A00001', 'E', '2024-02-01 12:00:00'), ('A00002', 'F', null), ('A00003', 'L', null), "
                  "('A00004', 'L', null), ('A00005', '', null), ('A00006', 'X', null)");
        const Listing l = run(RegistryListing::Identifiers);
        const XlsxReader x(sheetOf(l));
        QCOMPARE(x.text("A1"), QString::fromUtf8("Memórias"));
        QCOMPARE(QStringList({x.text("A4"), x.text("C4"), x.text("F4"), x.text("J4")}),
                 QStringList({QString::fromUtf8("Memória"), QString::fromUtf8("Referência"),
                              QString::fromUtf8("Descrição"), "Data do cadastro"}));
        QCOMPARE(QStringList({x.text("A5"), x.text("C5"), x.text("F5"), x.text("J5")}),
                 QStringList({"A00001", "E", "INICIO", "01/02/2024 12:00:00"}));
        QCOMPARE(x.text("F6"), QString("JOSE"));
        QCOMPARE(x.text("F7"), QString("PORTARIA"));
        QCOMPARE(x.text("C8"), QString("L"));
        QVERIFY(!x.has("F8"));
        QVERIFY(!x.has("C9") && !x.has("F9"));
        QCOMPARE(x.text("C10"), QString("X"));
        QVERIFY(!x.has("F10"));
        // No total line anywhere below the data.
        for (int row = 11; row <= 14; ++row)
            QVERIFY(!x.has(QString("A%1").arg(row)));

        // Printed: the reference as a word, other codes as stored, the lines counted.
        QCOMPARE(l.tsv(), QStringList({"A00001\tEvento\tINICIO\t01/02/2024 12:00:00",
                                       QString::fromUtf8("A00002\tFuncionário\tJOSE\t"), "A00003\tLocal\tPORTARIA\t",
                                       "A00004\tLocal\t\t", "A00005\t\t\t", "A00006\tX\t\t"}));
        const QString path = pdfOf(l, "memorias");
        const QList<PdfWord> words = pdfWords(path);
        const QStringList headings = {QString::fromUtf8("MEMÓRIA"), QString::fromUtf8("REFERÊNCIA"),
                                      QString::fromUtf8("DESCRIÇÃO"), "DATA CADASTRO"};
        const PdfHeadings h = pdfHeadings(words, headings, 1);
        QCOMPARE(h.left.size(), 4);
        QList<PdfWord> below;
        for (const PdfWord &w : words)
            if (w.y0 > h.y + 5 && !w.text.startsWith("TOTAL"))
                below << w;
        const QStringList columns = pdfColumnTexts(below, h.left);
        QVERIFY2(columns.at(1).startsWith(QString::fromUtf8("Evento Funcionário Local Local X")), qPrintable(columns.at(1)));
        QVERIFY(pdfText(path).contains("TOTAL: 6"));
    }

    void otherRegistriesInTheirColumns()
    {
        tdb->exec("insert into funcs (nome_func, memoria, fone, data_cadastro) values ('MARIA', 'F00002', '5551234', "
                  "'2024-03-01 08:00:00'), ('ANA', 'F00001', '', null)");
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('RONDA', 'E00009')");
        tdb->exec("insert into locais (nome_local, button_local) values ('PATIO', 'L00009'), ('GARAGEM', 'L00008')");
        tdb->exec("insert into funcao (codigo, descricao) values ('02', 'VIGIA'), ('01', 'SUPERVISOR')");
        struct Case {
            RegistryListing which;
            QString sheetTitle, printedTitle;
            QStringList cells;  // ref=value
            QString printedFirstRow;
        };
        const QList<Case> cases = {
            {RegistryListing::Collaborators, "Colaboradores", QString::fromUtf8("Funcionários"),
             {"A4=Nome", QString::fromUtf8("C4=Memória"), "F4=Telefone", "J4=Data do cadastro", "A5=ANA", "C6=F00002",
              "F6=5551234", "J6=01/03/2024 08:00:00", "A9=TOTAL: 2"},
             "ANA\tF00001\t\t"},
            {RegistryListing::Events, "Eventos", "Eventos",
             {QString::fromUtf8("A4=Descrição"), QString::fromUtf8("C4=Memória"), "F4=Data do cadastro", "A5=RONDA",
              "C5=E00009", "A8=TOTAL: 1"},
             "RONDA\tE00009\t"},
            {RegistryListing::Locations, "Locais", "Locais",
             {QString::fromUtf8("A4=Descrição"), QString::fromUtf8("C4=Memória"), "A5=GARAGEM", "C6=L00009", "A9=TOTAL: 2"},
             "GARAGEM\tL00008\t"},
            {RegistryListing::Functions, QString::fromUtf8("Funções"), QString::fromUtf8("Funções"),
             {QString::fromUtf8("A4=Descrição"), QString::fromUtf8("C4=Código"), "A5=SUPERVISOR", "C5=01", "A6=VIGIA",
              "A9=TOTAL: 2"},
             "SUPERVISOR\t01"},
        };
        for (const Case &c : cases) {
            const Listing l = run(c.which);
            const XlsxReader x(sheetOf(l));
            QCOMPARE(x.text("A1"), c.sheetTitle);
            for (const QString &cell : c.cells)
                QCOMPARE(c.sheetTitle + ' ' + cell.section('=', 0, 0) + '=' + x.text(cell.section('=', 0, 0)),
                         c.sheetTitle + ' ' + cell);
            QCOMPARE(l.tsv().first(), c.printedFirstRow);
            const QString text = pdfText(pdfOf(l, RegistryListings::name(c.which)));
            QVERIFY2(text.contains(c.printedTitle), qPrintable(text));
            QVERIFY2(text.contains(QRegularExpression("TOTAL: \\d")), qPrintable(text));
        }
    }

    void distancesPrintNamesOrEmptyAndWhenEmpty()
    {
        // Nothing registered: the report still has its page and its count.
        QVERIFY(!run(RegistryListing::Distances).renderer("X").isEmpty());
        QVERIFY(pdfText(pdfOf(run(RegistryListing::Distances), "vazio")).contains("Total de registros: 0"));

        tdb->exec("insert into locais (nome_local, button_local) values ('PORTARIA', 'L00001'), ('PATIO', 'L00002')");
        tdb->exec("insert into distancia (descricao, pontoA, pontoB, km) values "
                  "('VOLTA', 'L00002', 'L00001', 2), ('IDA', 'L00001', 'ZZZZZZ', 12.46), "
                  "('LONGE', 'L00001', 'L00002', 1234.5)");
        const Listing l = run(RegistryListing::Distances);
        // km in the system's "0.0" form, no thousands separator.
        QCOMPARE(l.tsv(), QStringList({"IDA\tPORTARIA\t\t12,5", "LONGE\tPORTARIA\tPATIO\t1234,5",
                                       "VOLTA\tPATIO\tPORTARIA\t2,0"}));
        const QString text = pdfText(pdfOf(l, "distancias"));
        QVERIFY(text.contains(QString::fromUtf8("Distâncias")));
        QVERIFY(text.contains(QRegularExpression("Descri\\S+\\s+Ponto A\\s+Ponto B\\s+KM")));
        QVERIFY(text.contains(QRegularExpression("IDA\\s+PORTARIA\\s+12,5")));
        QVERIFY(text.contains("1234,5") && !text.contains("1.234,5"));
        QVERIFY(text.contains("Total de registros: 3"));
    }

    void routeSpreadsheetAndTimeTexts()
    {
        addRoutes();
        const QList<ListedRoute> routes = RouteListing(*dm).routes();
        QCOMPARE(routes.size(), 3);
        QString path;
        QVERIFY(RouteListing::writeSpreadsheet(routes, &path));
        const XlsxReader x(path);
        QCOMPARE(x.text("A1"), QString("Roteiros"));
        QCOMPARE(x.text("I1"), QString("20/03/2024 09:00"));
        QCOMPARE(QStringList({x.text("A4"), x.text("E4"), x.text("G4"), x.text("J4")}),
                 QStringList({"Nome", QString::fromUtf8("Tempo mínimo"), QString::fromUtf8("Máximo"),
                              QString::fromUtf8("Evento referência")}));
        // By name: NORTE (its stops by order, then a gap), OESTE, SUL.
        QCOMPARE(QStringList({x.text("A5"), x.text("E5"), x.text("G5"), x.text("J5")}),
                 QStringList({"RONDA NORTE", QString::fromUtf8("Padrão  5"), "15", "INICIO"}));
        QCOMPARE(QStringList({x.text("B6"), x.text("C6"), x.text("E6"), x.text("G6")}),
                 QStringList({"001", "PORTARIA", "0", "0"}));
        QCOMPARE(QStringList({x.text("B7"), x.text("C7"), x.text("E7"), x.text("G7")}),
                 QStringList({"002", "PATIO", "3", "8"}));
        QVERIFY(!x.has("A8") && !x.has("B8"));
        QCOMPARE(x.text("A9"), QString("RONDA OESTE"));
        QVERIFY(!x.has("E9") && !x.has("G9") && !x.has("J9"));
        QCOMPARE(x.text("C10"), QString("GARAGEM"));
        QCOMPARE(x.text("A12"), QString("RONDA SUL"));
        QCOMPARE(x.text("E12"), QString("Local   "));
        QVERIFY(!x.has("G12"));
        QVERIFY(!x.has("A13") && !x.has("A14") && !x.has("B13"));
        QVERIFY(qAbs(x.width(1) - 20) < 1);  // the writer adds the cell padding
        QCOMPARE(RouteListing::tsv(routes).mid(0, 4),
                 QStringList({QString::fromUtf8("RONDA NORTE\t\t\t\tPadrão  5\t\t15\t\t\tINICIO"),
                              "\t001\tPORTARIA\t\t0\t\t0", "\t002\tPATIO\t\t3\t\t8", ""}));
    }

    void routeReportPrintsEveryRouteWithItsBand()
    {
        addRoutes();
        const QList<ListedRoute> routes = RouteListing(*dm).routes();
        const Listing l = RouteListing::printed(routes, false);
        // Limits "0/0" print empty, others as T_min/T_max.
        QCOMPARE(l.tsv(), QStringList({"001\tPORTARIA\t", "002\tPATIO\t3/8", "001\tGARAGEM\t1/2", ""}));
        const QString path = pdfOf(l, "roteiros");
        const QString text = pdfText(path);
        QCOMPARE(text.count("Nome do roteiro:"), 3);
        for (const char *name : {"RONDA NORTE", "RONDA OESTE", "RONDA SUL"})
            QVERIFY2(text.contains(name), name);
        QVERIFY(text.contains("Empresa: EMPRESA X"));
        QVERIFY(text.contains(QString::fromUtf8("Evento referência: INICIO")));
        QVERIFY(text.contains(QString::fromUtf8("Hora de início: 08:00:00")) &&
                text.contains(QString::fromUtf8("Hora de término: 18:30:00")));
        QVERIFY(text.contains(QString::fromUtf8("Mínimo: 60")) && text.contains(QString::fromUtf8("Máximo: 90")));
        QVERIFY(text.contains(QString::fromUtf8("Mínimo: 5")) && text.contains(QString::fromUtf8("Máximo: 15")));
        // Each route's band carries the stops' headings ("fi" comes out of the PDF as a ligature).
        QCOMPARE(text.count(QString::fromUtf8("Mínimo/Máximo")), 3);
        QVERIFY(text.contains(QRegularExpression("002\\s+PATIO\\s+3/8")));
        QVERIFY(text.contains(QRegularExpression("001\\s+PORTARIA\\s*\\n")));
        // Each route counts its own locations.
        QCOMPARE(text.count("Total de locais:"), 3);
        QVERIFY(text.contains("Total de locais: 2") && text.contains("Total de locais: 1"));
        QVERIFY(!text.contains("Total de locais: 3"));
        QCOMPARE(pdfWords(path).last().page, 1);

        // One per sheet: each route on its own page with its own count.
        const QString each = pdfOf(RouteListing::printed(routes, true), "um-por-folha");
        const QList<PdfWord> words = pdfWords(each);
        QCOMPARE(words.last().page, 3);
        QStringList pages(3);
        for (const PdfWord &w : words)
            pages[w.page - 1] += w.text + ' ';
        QVERIFY(pages[0].contains("RONDA NORTE") && !pages[0].contains("RONDA OESTE"));
        QVERIFY(pages[0].contains("Total de locais: 2"));
        QVERIFY(pages[1].contains("RONDA OESTE") && pages[1].contains("Total de locais: 1 "));
        QVERIFY(pages[2].contains("RONDA SUL") && pages[2].contains("Total de locais: 0"));

        // A long route keeps its band on every page it runs on to.
        for (int i = 0; i < 120; ++i)
            Sql::exec(tdb->db(), "insert into descrot (codigo_roteiro, ordem, nome_local, t_min, t_max) values (2, :o, :n, 1, 2)",
                      {{":o", QString("%1").arg(i, 3, 10, QChar('0'))}, {":n", QString("LOCAL %1").arg(i)}});
        const QString longer = pdfOf(RouteListing::printed(RouteListing(*dm).routes(2), false), "longo");
        const QList<PdfWord> longWords = pdfWords(longer);
        QVERIFY(longWords.last().page >= 2);
        QCOMPARE(pdfText(longer).count("Nome do roteiro: RONDA SUL"), longWords.last().page);
    }

    void routeWindowSearchSelectAndClear()
    {
        addRoutes();
        dm->excel = true;
        TfmRelRot w;
        QCOMPARE(w.windowTitle(), QString("Relatório de Roteiros"));
        QCOMPARE(w.DBGrid1->model()->rowCount(), 3);
        QVERIFY(answered("TfmListaRoteiros", acceptWhere("nome_roteiro", "RONDA SUL"), [&] { w.btPesquisaclick(); }));
        QCOMPARE(w.edRoteiro->text(), QString("RONDA SUL"));
        QCOMPARE(w.DBGrid1->model()->rowCount(), 1);
        const QString folder = QString::fromLocal8Bit(qgetenv("TORVEL_DOCUMENTS")) + "/Planilhas/";
        w.btRelatorioclick();
        QStringList files = QDir(folder).entryList(QDir::Files, QDir::Time | QDir::Reversed);
        QCOMPARE(files.size(), 1);
        {
            const XlsxReader x(folder + files.last());
            QCOMPARE(x.text("A5"), QString("RONDA SUL"));
            QVERIFY(!x.has("A6") && !x.has("A7"));
        }
        // Double-click clears the choice: every route again, in the grid and in the listing.
        QTest::mouseDClick(w.edRoteiro, Qt::LeftButton);
        QVERIFY(w.edRoteiro->text().isEmpty());
        QCOMPARE(w.DBGrid1->model()->rowCount(), 3);
        w.btRelatorioclick();
        files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(files.size(), 2);
        QStringList firstNames;
        for (const QString &f : files)
            firstNames << XlsxReader(folder + f).text("A9");
        QVERIFY(firstNames.contains("RONDA OESTE"));

        // A route picked in the grid by double-click: only that one.
        dm->qyRoteiros->locate("nome_roteiro", "RONDA OESTE");
        w.DBGrid1DblClick();
        QCOMPARE(w.edRoteiro->text(), QString("RONDA OESTE"));
        const QList<ListedRoute> chosen = RouteListing(*dm).routes(dm->qyRoteiros->value("codigo_roteiro"));
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.first().stops.size(), 1);
    }

    void menuCommandsAskNothing()
    {
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('C1', 'ALFA')");
        TfmQ90ini main;
        Listings::registerCommands(main);
        for (const char *handler : {"Coletores2Click", "Memrias2Click", "Funcionrios1Click", "Eventos1Click",
                                    "Locais1Click", "Funces1Click", "Roteiros1Click", "Distncias1Click"})
            QVERIFY2(main.hasCommand(handler), handler);
        ScriptedDialogRunner dialogs;
        // Printed: straight to the preview; distances even with the spreadsheet setting on.
        dialogs.expect("QPrintPreviewDialog", [](QDialog *) { return int(QDialog::Rejected); });
        main.run("Coletores2Click");
        dm->excel = true;
        dialogs.expect("QPrintPreviewDialog", [](QDialog *) { return int(QDialog::Rejected); });
        main.run("Distncias1Click");
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        // The spreadsheet, with nothing asked.
        main.run("Coletores2Click");
        const QString folder = QString::fromLocal8Bit(qgetenv("TORVEL_DOCUMENTS")) + "/Planilhas/";
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QCOMPARE(XlsxReader(folder + files.first()).text("A8"), QString("TOTAL: 1"));
        QVERIFY(dialogs.problems().isEmpty());
    }

    void torvelctlListing()
    {
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('C1', 'ALFA'), ('C2', 'BETA')");
        addRoutes();
        Run r = ctl({"collectors"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringList({"ALFA\tC1\t", "BETA\tC2\t"}));
        const QString xlsx = env->root() + "col.xlsx";
        r = ctl({"collectors", "--xlsx", xlsx});
        QCOMPARE(r.status, 0);
        QCOMPARE(XlsxReader(xlsx).text("A9"), QString("TOTAL: 2"));
        r = ctl({"distances", "--xlsx", xlsx});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("distâncias só é impressa")));
        const QString pdf = env->root() + "dist.pdf";
        r = ctl({"distances", "--pdf", pdf});
        QCOMPARE(r.status, 0);
        QVERIFY(pdfText(pdf).contains("Total de registros: 0"));
        r = ctl({"identifiers", "--pdf", pdf});
        QVERIFY(r.status != 0);
        r = ctl({"routes", "--route", "3"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringList({"RONDA OESTE", "\t001\tGARAGEM\t\t1\t\t2", ""}));
        for (const char *route : {"3x", " 3", "3'"}) {
            r = ctl({"routes", "--route", route});
            QVERIFY2(r.status != 0 && r.err.contains(QString::fromUtf8("não é um código de roteiro")), qPrintable(r.err));
        }
        r = ctl({"routes", "--route", "99"});
        QVERIFY(r.status != 0 && r.err.contains(QString::fromUtf8("Roteiro não cadastrado!")));
        r = ctl({"routes", "--pdf", pdf});
        QCOMPARE(r.status, 0);
        QCOMPARE(pdfText(pdf).count("Nome do roteiro:"), 3);
        r = ctl({"routes", "--xlsx", xlsx});
        QCOMPARE(r.status, 0);
        QCOMPARE(XlsxReader(xlsx).text("A12"), QString("RONDA SUL"));
        r = ctl({"everything"});
        QVERIFY(r.status != 0 && r.err.contains("Listagem desconhecida"));
    }
};

QTEST_MAIN(TestRegistryListings)
#include "tst_registrylistings.moc"
