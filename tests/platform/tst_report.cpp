#include "PdfWords.h"
#include "platform/MessageService.h"
#include "platform/Report.h"

#include <QFontMetricsF>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

// The report engine, checked on the PDF files a user would get.
class TestReport : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static ReportDefinition definition()
    {
        ReportDefinition d;
        d.title = QString::fromUtf8("Consistência");
        d.installation = "VIGILANCIA ALFA";
        d.titleLines = {"Coletor: 0001 - COLETOR UM"};
        d.columns = {{"ESPERADO", 3}, {"REALIZADO", 3}, {"DATA", 2}};
        d.printedAt = QDateTime(QDate(2026, 12, 9), QTime(10, 30, 0));
        return d;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // TORVEL_KEEP_REPORTS keeps the PDFs written here, to look at them.
        dir.setAutoRemove(!qEnvironmentVariableIsSet("TORVEL_KEEP_REPORTS"));
        if (!dir.autoRemove())
            qInfo() << "reports kept in" << dir.path();
        qputenv("TORVEL_HOME", dir.filePath("home").toUtf8());
    }

    void pagesCarryHeaderTitleAndEveryRowInOrder()
    {
        QList<QStringList> rows;
        for (int i = 1; i <= 150; ++i)
            rows << QStringList{QStringLiteral("LOCAL %1").arg(i, 3, 10, QChar('0')), "PORTARIA",
                                "09/12/2026 08:00"};
        ReportDefinition d = definition();
        d.headingsOnEveryPage = true;
        d.countInFooter = true;
        d.summaryLines = {"TOTAL GERAL : 150"};
        const QString path = dir.filePath("many.pdf");
        QVERIFY(ReportRenderer(d, rows).writePdf(path));
        const QString text = pdfText(path);
        QVERIFY(text.contains(QString::fromUtf8("Página 1")));
        QVERIFY(text.contains(QString::fromUtf8("Página 2")));
        QVERIFY(text.contains("VIGILANCIA ALFA"));
        QVERIFY(text.contains("09/12/2026 10:30:00"));
        QCOMPARE(text.count("Coletor: 0001 - COLETOR UM"), 1);  // first page only
        QVERIFY(text.count("ESPERADO") >= 2);                    // headings on every page
        int last = -1;
        for (int i = 1; i <= 150; ++i) {
            const int at = text.indexOf(QStringLiteral("LOCAL %1").arg(i, 3, 10, QChar('0')));
            QVERIFY2(at > last, qPrintable(QString::number(i)));
            last = at;
        }
        QVERIFY(text.contains("TOTAL GERAL : 150"));
        QVERIFY(text.contains("Registros impressos: 150"));
    }

    // The bands the listings ask for: page-header lines and the heading band's text on every
    // page, groups with a header, a page of their own and a count under a column, the summary
    // and footer counts under a column, a framed heading band.
    void headerHeadingAndGroupBandsOnEveryPage()
    {
        QList<QStringList> rows;
        for (int g = 1; g <= 2; ++g)
            for (int i = 1; i <= 70; ++i)
                rows << QStringList{QStringLiteral("G%1 LOCAL %2").arg(g).arg(i, 3, 10, QChar('0')), "PORTARIA", "x"};
        ReportDefinition d = definition();
        d.titleLines.clear();
        d.headerLines = {"Coletor: 0001 - COLETOR UM", "Torvel - Controle de Rotas"};
        d.headingLines = {QString::fromUtf8("Período: 01/03/2024 a 31/03/2024")};
        d.headingsOnEveryPage = true;
        d.frameHeadingBand = true;
        d.group.key = [rows](int r) { return rows.at(r).first().left(2); };
        d.group.header = [rows](int r) { return "GRUPO " + rows.at(r).first().left(2); };
        d.group.newPagePerGroup = true;
        d.group.footer = {"Total de registros: ", 1};
        d.summaryCount = {"TOTAL: ", 0};
        d.footerCount = {"Total de locais: ", 0};
        const QString path = dir.filePath("bands.pdf");
        QVERIFY(ReportRenderer(d, rows).writePdf(path));
        const QList<PdfWord> words = pdfWords(path);
        const int pages = words.last().page;
        QVERIFY(pages >= 4);
        const QString text = pdfText(path);
        QCOMPARE(text.count("Coletor: 0001 - COLETOR UM"), pages);
        QCOMPARE(text.count("Torvel - Controle de Rotas"), pages);
        QCOMPARE(text.count(QString::fromUtf8("Período: 01/03/2024 a 31/03/2024")), pages);
        QCOMPARE(text.count("Total de registros: 70"), 2);
        QVERIFY(text.contains("TOTAL: 140"));
        QVERIFY(text.contains("Total de locais: 140"));
        // The second group starts a page: its header is the first text under the headings.
        int groupTwoPage = 0;
        for (const PdfWord &w : words)
            if (w.text == "G2" && groupTwoPage == 0)
                groupTwoPage = w.page;
        for (const PdfWord &w : words)
            QVERIFY2(!(w.page == groupTwoPage && w.text.startsWith("G1")), "group 1 on group 2's page");
        // The count under column 1 starts at that column's left edge.
        const PdfHeadings h = pdfHeadings(words, {"ESPERADO", "REALIZADO", "DATA"}, 1);
        QCOMPARE(h.left.size(), 3);
        for (int i = 0; i < words.size(); ++i)
            if (words[i].text == "Total" && words.value(i + 1).text == "de" && words.value(i + 2).text == "registros:")
                QVERIFY(qAbs(words[i].x0 - h.left[1]) < 2);
        // Rows in order across the groups.
        int last = -1;
        for (const QStringList &row : rows) {
            const int at = text.indexOf(row.first());
            QVERIFY2(at > last, qPrintable(row.first()));
            last = at;
        }
    }

    // Columns of a set width keep it whatever they hold; an indented field starts inside its
    // column; a column's own font is measured as it is drawn.
    void setWidthsIndentsAndColumnFonts()
    {
        ReportDefinition d = definition();
        d.columns = {{"ESPERADO", 1}, {"REALIZADO", 1}, {"DATA", 1}};
        d.columns[0].fixedWidthMm = 30;
        d.columns[1].indentMm = 10;
        d.columns[2].bold = true;
        d.columns[2].pointSize = 11;
        d.font.pointSize = 9;
        const QList<QStringList> rows = {{"UM TEXTO MUITO LONGO QUE NAO CABE EM TRINTA MILIMETROS", "B", "C"}};
        QPdfWriter writer(dir.filePath("set.pdf"));
        writer.setResolution(300);
        const ReportLayout l = ReportRenderer(d, rows).layout(&writer);
        const double mm = writer.width() / double(writer.widthMM());
        QVERIFY(qAbs(l.width[0] - 30 * mm) < 1);
        const QString path = dir.filePath("set.pdf");
        QVERIFY(ReportRenderer(d, rows).writePdf(path));
        const QList<PdfWord> words = pdfWords(path);
        // The third heading is in its column's larger font, so on a line of its own height.
        const PdfHeadings h = pdfHeadings(words, {"ESPERADO", "REALIZADO"}, 1);
        QCOMPARE(h.left.size(), 2);
        // The long text wraps inside its 30 mm and loses nothing.
        QVERIFY(pdfColumnTexts(words, h.left).first().contains("UM TEXTO MUITO LONGO QUE NAO CABE EM TRINTA MILIMETROS"));
        for (const PdfWord &w : words)
            if (w.text == "MILIMETROS")
                QVERIFY(w.x1 < h.left[1]);
        for (const PdfWord &w : words) {
            if (w.text == "B")  // 10 mm in from its column's edge, as its heading
                QVERIFY(qAbs(w.x0 - h.left[0] - 40 * 72 / 25.4) < 1.5 && qAbs(w.x0 - h.left[1]) < 1);
            if (w.text == "C")  // 11 pt, taller than the 9 pt text beside it
                QVERIFY(w.y1 - w.y0 > 10);
        }
    }

    void savingProposesMyDocumentsAndTheTitle()
    {
        qputenv("TORVEL_DOCUMENTS", dir.filePath("docs").toUtf8());
        ReportDefinition d = definition();
        d.title = QString::fromUtf8("Analítico por Coletor: 01/03");
        const QString proposed = ReportRenderer(d, {}).proposedPdfPath();
        QVERIFY(proposed.startsWith(dir.filePath("docs")));
        QVERIFY2(proposed.endsWith(QString::fromUtf8("/Analítico por Coletor 01 03.pdf")), qPrintable(proposed));
    }

    void emptyDataPrintsNothingUnlessAsked()
    {
        QCOMPARE(ReportRenderer(definition(), {}).render(nullptr), 0);
        ReportDefinition d = definition();
        d.printWhenEmpty = true;
        QVERIFY(ReportRenderer(d, {}).writePdf(dir.filePath("empty.pdf")));
    }

    // A PDF that cannot be written is told with the file and the reason, and costs the file that
    // was there nothing: no half-written PDF, no warnings of a painter that never started.
    void aPdfThatCannotBeWrittenIsToldAndLosesNothing()
    {
        QTest::failOnWarning(QRegularExpression("."));
        const ReportRenderer report(definition(), {{"A", "B", "C"}});
        QDir().mkpath(dir.filePath("naopode/pasta"));
        QString error;
        QVERIFY(!report.writePdf(dir.filePath("naopode/pasta"), &error));
        QCOMPARE(error, QString::fromUtf8("Não foi possível gravar o arquivo %1: é uma pasta")
                            .arg(dir.filePath("naopode/pasta")));
        QVERIFY(!report.writePdf(dir.filePath("naopode/falta/r.pdf"), &error));
        QCOMPARE(error, QString::fromUtf8("Não foi possível gravar o arquivo %1: a pasta %2 não existe")
                            .arg(dir.filePath("naopode/falta/r.pdf"), dir.filePath("naopode/falta")));
        QCOMPARE(QDir(dir.filePath("naopode")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"pasta"});

        // Saving from the preview says the same.
        ScriptedMessageService msgs;
        msgs.expectFile(MessageService::Kind::SaveFile, dir.filePath("naopode/pasta"));
        msgs.expect(MessageService::Kind::Error,
                    QString::fromUtf8("Não foi possível gravar o arquivo %1: é uma pasta").arg(dir.filePath("naopode/pasta")));
        QVERIFY(!report.savePdfAs());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));

        // Over an old file: the new PDF whole, nothing beside it.
        const QString path = dir.filePath("naopode/r.pdf");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("antigo");
        old.close();
        QVERIFY(report.writePdf(path, &error));
        QVERIFY(pdfText(path).contains(QString::fromUtf8("Consistência")));
        QCOMPARE(QDir(dir.filePath("naopode")).entryList(QDir::Files | QDir::Hidden), QStringList{"r.pdf"});
    }

    void aDeviceThatCannotBePaintedGetsNothing()
    {
        QPdfWriter writer(dir.filePath("nao/existe/r.pdf"));
        // Qt's one line for the painter that would not start; nothing after it.
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QTest::failOnWarning(QRegularExpression("."));
        QCOMPARE(ReportRenderer(definition(), {{"A", "B", "C"}}).render(&writer), -1);
    }

    // Every column filled with the longest texts it holds, with a long title, installation
    // name and title line: each value reads whole in its own column, none runs into the next,
    // and the page header's parts do not run over each other.
    void everyValueIsPrintedWholeInItsColumn()
    {
        const QStringList headings = {"DATA DO TOQUE", QString::fromUtf8("FUNCIONÁRIO"), "LOCAL",
                                      "EVENTO", QString::fromUtf8("OCORRÊNCIA"), "TEMPO (min)"};
        ReportDefinition d = definition();
        d.title = "Consistência das Rondas Noturnas por Coletor";
        d.installation = QString::fromUtf8(
            "VIGILÂNCIA E SEGURANÇA PATRIMONIAL ALFA BETA GAMA LTDA FILIAL SÃO BERNARDO DO CAMPO");
        d.titleLines = {QString::fromUtf8(
            "Coletor: COL01 - COLETOR DA PORTARIA PRINCIPAL     Período: 01/12/2026 00:00 a "
            "31/12/2026 23:59     Tempo entre Ciclos: Min: 0 Max: 30     Empresa: ALFA BETA GAMA "
            "SERVICOS     Roteiro: RONDA DA MADRUGADA NO PATIO     Funcionário: MARIA")};
        d.columns.clear();
        for (const QString &h : headings)
            d.columns.append({h});
        d.columns[0].keepWhole = true;
        d.columns[0].widest = "00/00/0000 00:00:00";
        d.columns[4].keepWhole = true;
        d.columns[5].keepWhole = true;
        d.headingsOnEveryPage = true;
        const QStringList verdicts = {QString::fromUtf8("BEEF01 não cadastrada"),
                                      QString::fromUtf8("HORÁRIO DIVERGENTE"),
                                      QString::fromUtf8("Não visitado"), ""};
        QList<QStringList> rows;
        for (int r = 0; r < 70; ++r) {
            const QString n = QStringLiteral("%1").arg(r, 3, 10, QChar('0'));
            rows << QStringList{QStringLiteral("08/12/2026 12:%1:%2").arg(r % 60, 2, 10, QChar('0')).arg(r % 7, 2, 10, QChar('0')),
                                "MARIA APARECIDA DOS SANTOS OLIVEIRA R" + n,
                                "PORTAO DOS FUNDOS DO ESTACIONAMENTO B" + n,
                                "VERIFICACAO DE CADEADOS E LUZES DOS E" + n,
                                verdicts.at(r % verdicts.size()),
                                r % 2 ? QString::fromUtf8("Atrasado 1.234,56") : QString()};
            QCOMPARE(rows.last().at(1).size(), 40);
            QCOMPARE(rows.last().at(2).size(), 40);
            QCOMPARE(rows.last().at(3).size(), 40);
        }
        const QString path = dir.filePath("whole.pdf");
        QVERIFY(ReportRenderer(d, rows).writePdf(path));
        const QList<PdfWord> words = pdfWords(path);
        const int pages = words.isEmpty() ? 0 : words.last().page;
        QVERIFY(pages >= 2);

        const PdfHeadings first = pdfHeadings(words, headings, 1);
        QVERIFY2(first.left.size() == headings.size(), "a heading is cut or missing");
        const QStringList columns = pdfColumnTexts(words, first.left);
        for (const QStringList &row : rows)
            for (int c = 0; c < row.size(); ++c)
                QVERIFY2(columns[c].contains(row[c]), qPrintable(headings[c] + ": " + row[c]));
        // Below the headings of every page, no word runs past its column.
        const double right = 595.3 - 12 * 72 / 25.4;
        for (int page = 1; page <= pages; ++page) {
            const PdfHeadings h = pdfHeadings(words, headings, page);
            QVERIFY2(h.left == first.left, qPrintable(QString::number(page)));
            for (const PdfWord &w : words) {
                if (w.page != page || w.y0 <= h.y)
                    continue;
                qsizetype c = h.left.size() - 1;
                while (c > 0 && w.x0 < h.left[c] - 1)
                    --c;
                const double end = c + 1 < h.left.size() ? h.left[c + 1] : right;
                QVERIFY2(w.x1 <= end + 1, qPrintable(w.text));
            }
        }
        // Date-times, verdicts and times stay on one line.
        const QString layout = pdfText(path);
        for (const QStringList &row : rows)
            for (int c : {0, 4, 5})
                QVERIFY2(layout.contains(row[c]), qPrintable(row[c]));
        QVERIFY(layout.simplified().contains(d.titleLines.first().simplified()));

        // The page header: the installation name and the title read whole, apart.
        const auto titleLine = std::find_if(words.begin(), words.end(),
                                            [](const PdfWord &w) { return w.text == "Coletor:"; });
        QVERIFY(titleLine != words.end());
        QList<PdfWord> installation, title;
        for (const PdfWord &w : words) {
            if (w.page != 1 || w.y0 >= titleLine->y0)
                continue;
            if (d.installation.split(' ').contains(w.text))
                installation << w;
            else if (d.title.split(' ').contains(w.text))
                title << w;
        }
        auto joined = [](QList<PdfWord> list) {
            return pdfColumnTexts(list, {0}).first();
        };
        QCOMPARE(joined(installation), d.installation);
        QCOMPARE(joined(title), d.title);
        for (const PdfWord &a : installation)
            for (const PdfWord &b : title)
                QVERIFY2(a.x1 <= b.x0 || b.x1 <= a.x0 || a.y1 <= b.y0 || b.y1 <= a.y0,
                         qPrintable(a.text + " / " + b.text));
    }

    // A group heading never ends a page; without keep-with-next these groups leave one there.
    void groupHeadingNeverEndsAPage()
    {
        QList<QStringList> rows;
        for (int g = 1; rows.size() < 400; ++g) {
            rows << QStringList{QStringLiteral("GRUPO %1").arg(g)};
            for (int i = 1; i <= 1 + g % 9; ++i)
                rows << QStringList{QStringLiteral("ITEM %1.%2").arg(g).arg(i), "PORTARIA", "X"};
        }
        ReportDefinition d = definition();
        d.spillIntoEmptyColumns = true;
        d.countInFooter = true;
        auto headingEndsAPage = [&](const ReportDefinition &def, const QString &name) {
            const QString path = dir.filePath(name);
            if (!ReportRenderer(def, rows).writePdf(path))
                return QString("<no pdf>");
            const QString text = pdfText(path);
            int items = 0;
            for (const QString &page : text.split('\f', Qt::SkipEmptyParts)) {
                QStringList lines = page.split('\n', Qt::SkipEmptyParts);
                lines.removeIf([](const QString &l) {
                    return l.trimmed().isEmpty() || l.contains("Registros impressos");
                });
                if (!lines.isEmpty() && lines.last().trimmed().startsWith("GRUPO"))
                    return lines.last().trimmed();
                items += int(page.count("ITEM "));
            }
            const int expected = int(std::count_if(rows.begin(), rows.end(), [](const QStringList &r) {
                return r.first().startsWith("ITEM");
            }));
            return items == expected ? QString() : QString("<rows lost>");
        };
        QVERIFY(!headingEndsAPage(d, "loose.pdf").isEmpty());
        d.keepWithNext = [&rows](int r) { return rows.at(r).first().startsWith("GRUPO"); };
        d.boldRow = d.keepWithNext;
        QCOMPARE(headingEndsAPage(d, "kept.pdf"), QString());
    }

    // The font shrinks first, within its limit; past that, text columns wrap and the columns
    // kept whole keep their width.
    void fontShrinksBeforeTextColumnsWrap()
    {
        QPdfWriter writer(dir.filePath("layout.pdf"));
        writer.setResolution(300);
        ReportDefinition d = definition();
        const QString date = "08/12/2026 12:34:56";

        const ReportLayout roomy = ReportRenderer(d, {{"PATIO", "PORTARIA", date}}).layout(&writer);
        QCOMPARE(roomy.fontScale, 1.0);
        const double page = roomy.left.last() + roomy.width.last() - roomy.left.first();

        // About a fifth too wide at the base size: a smaller font, nothing wrapped.
        const QFontMetricsF base(QFont("DejaVu Sans", 8), &writer);
        QString wide;
        while (base.horizontalAdvance(wide) < 0.6 * page)
            wide += "ABCDEFGHIJ ";
        const ReportRenderer shrunk(d, {{wide, wide.left(wide.size() / 2), date}});
        const ReportLayout tight = shrunk.layout(&writer);
        QVERIFY2(tight.fontScale < 1 && tight.fontScale >= d.minimumFontScale,
                 qPrintable(QString::number(tight.fontScale)));
        QVERIFY(shrunk.writePdf(dir.filePath("shrunk.pdf")));
        QVERIFY(pdfText(dir.filePath("shrunk.pdf")).contains(wide.trimmed()));

        // Far too wide: the smallest font, the names wrap, the date-time keeps its width.
        d.columns[2].keepWhole = true;
        d.columns[2].widest = "00/00/0000 00:00:00";
        const QList<QStringList> rows = {{wide + wide, wide + wide, date}};
        const ReportRenderer report(d, rows);
        const ReportLayout crowded = report.layout(&writer);
        QCOMPARE(crowded.fontScale, d.minimumFontScale);
        const QString path = dir.filePath("crowded.pdf");
        QVERIFY(report.writePdf(path));
        const QString text = pdfText(path);
        QVERIFY(text.contains(date));
        QVERIFY(!text.contains(rows[0][0].trimmed()));
        const QList<PdfWord> words = pdfWords(path);
        const QStringList columns =
            pdfColumnTexts(words, pdfHeadings(words, {"ESPERADO", "REALIZADO", "DATA"}, 1).left);
        QVERIFY(columns.value(0).contains(rows[0][0].simplified()));
        QVERIFY(columns.value(1).contains(rows[0][1].simplified()));
    }

    // A column as wide as its heading (short values under a long heading) still leaves a clear
    // gap before the next heading: "REFERÊNCIA DESCRIÇÃO" once read as one heading.
    void headingsNeverTouchTheNextColumn()
    {
        ReportDefinition d = definition();
        d.columns = {{QString::fromUtf8("MEMÓRIA"), 1}, {QString::fromUtf8("REFERÊNCIA"), 1},
                     {QString::fromUtf8("DESCRIÇÃO"), 4}, {"DATA CADASTRO", 1}};
        d.columns[1].keepWhole = true;
        d.columns[3].keepWhole = true;
        d.columns[3].widest = "00/00/0000 00:00:00";
        QList<QStringList> rows;
        for (const char *kind : {"Local", "Evento", ""})
            rows << QStringList{"F20001", QString::fromLatin1(kind), "PORTARIA", "10/11/2026 09:00:00"};
        const QString path = dir.filePath("headings.pdf");
        QVERIFY(ReportRenderer(d, rows).writePdf(path));
        const QList<PdfWord> words = pdfWords(path);
        auto word = [&](const QString &text) {
            const auto it = std::find_if(words.begin(), words.end(), [&](const PdfWord &w) { return w.text == text; });
            return it == words.end() ? PdfWord{} : *it;
        };
        const double mm = 72 / 25.4;
        const QStringList order = {QString::fromUtf8("MEMÓRIA"), QString::fromUtf8("REFERÊNCIA"),
                                   QString::fromUtf8("DESCRIÇÃO"), "DATA"};
        for (int i = 0; i + 1 < order.size(); ++i) {
            const PdfWord left = word(order[i]), right = word(order[i + 1]);
            QVERIFY2(!left.text.isEmpty() && !right.text.isEmpty(), qPrintable(order[i]));
            QVERIFY2(right.x0 - left.x1 >= 2.5 * mm,
                     qPrintable(QStringLiteral("%1 / %2: %3 pt").arg(order[i], order[i + 1]).arg(right.x0 - left.x1)));
        }
        QVERIFY2(!pdfText(path).contains(QString::fromUtf8("REFERÊNCIA DESCRIÇÃO")), "the two headings read as one");
    }

    void wrapBreaksAtBlanksAndLosesNothing()
    {
        QFont f("DejaVu Sans", 8);
        const QFontMetricsF m(f);
        const double width = m.horizontalAdvance("PORTAO DOS");
        QCOMPARE(ReportRenderer::wrap("PORTAO DOS FUNDOS", m, width), QStringList({"PORTAO DOS", "FUNDOS"}));
        // A text that fits keeps its own spacing; an indent stays on the first line.
        QCOMPARE(ReportRenderer::wrap("A  -  B ", m, 1000), QStringList({"A  -  B "}));
        QCOMPARE(ReportRenderer::wrap("   - VIGILANCIA PATRIMONIAL", m, m.horizontalAdvance("   - VIGILANCIA")),
                 QStringList({"   - VIGILANCIA", "PATRIMONIAL"}));
        // A word wider than the line is broken inside it, never dropped; a character outside
        // the basic plane stays whole.
        const QString word = "ABCDEFGHIJKLMNOPQRSTUVWXYZ" + QString::fromUtf8("😀") + "0123456789";
        const QStringList broken = ReportRenderer::wrap(word, m, m.horizontalAdvance("ABCDEFG"));
        QVERIFY(broken.size() > 3);
        QCOMPARE(broken.join(QString()), word);
        for (const QString &piece : broken)
            QVERIFY(!piece.isEmpty() && !piece.back().isHighSurrogate());
        QCOMPARE(ReportRenderer::wrap("X", m, 0.1), QStringList({"X"}));
        QCOMPARE(ReportRenderer::wrap("UM\nDOIS", m, 1000), QStringList({"UM", "DOIS"}));
        QCOMPARE(ReportRenderer::wrap("", m, 10), QStringList({""}));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
