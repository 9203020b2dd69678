#include "XlsxReader.h"
#include "platform/Report.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemServices.h"

#include <QFontMetricsF>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The report engine and the spreadsheet writer, checked on the files a user would get.
class TestReport : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QString pdfText(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {"-layout", path, "-"});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

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
        qputenv("TORVEL_HOME", dir.filePath("home").toUtf8());
        qputenv("TORVEL_DOCUMENTS", dir.filePath("docs").toUtf8());
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "1");
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

    void emptyDataPrintsNothingUnlessAsked()
    {
        QCOMPARE(ReportRenderer(definition(), {}).render(nullptr), 0);
        ReportDefinition d = definition();
        d.printWhenEmpty = true;
        QVERIFY(ReportRenderer(d, {}).writePdf(dir.filePath("empty.pdf")));
    }

    void longTextIsCutAtItsColumn()
    {
        const QString longText = QString("X").repeated(300);
        const QString path = dir.filePath("cut.pdf");
        QVERIFY(ReportRenderer(definition(), {{longText, "PORTARIA", "DATA"}}).writePdf(path));
        const QString text = pdfText(path);
        QVERIFY(text.contains("PORTARIA"));
        QVERIFY(!text.contains(longText));
        QFont f;
        QFontMetricsF m(f);
        const QString cut = ReportRenderer::cut("ABCDEFGHIJ", m, m.horizontalAdvance("ABCD") + 0.5);
        QCOMPARE(cut, QString("ABCD"));
        QCOMPARE(ReportRenderer::cut("AB", m, 1000), QString("AB"));
    }

    void spreadsheetCellsReadBack()
    {
        SystemServices::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(11, 0, 0)); });
        Spreadsheet a;
        QVERIFY(a.create(QString::fromUtf8("Consistência")));
        a.show();
        a.addWorkbook();
        a.setValue(1, 1, QString::fromUtf8("Consistência"));
        a.setFontSize(1, 1, 16);
        a.setValue(4, 2, QString::fromUtf8("Funcionário"));
        a.setFontStyle(4, 2, "bold");
        a.setHorizontalAlignment(4, 2, 2);
        a.setValue(6, 1, " ");
        a.setColumnWidth(1, 20);
        QVERIFY(a.finish());
        QVERIFY(a.fileName().startsWith(Spreadsheet::folder()));
        QVERIFY(a.fileName().endsWith("-2026-12-09-110000.xlsx"));
        const XlsxReader x(a.fileName());
        QVERIFY(x.ok());
        QCOMPARE(x.text("A1"), QString::fromUtf8("Consistência"));
        QCOMPARE(x.text("B4"), QString::fromUtf8("Funcionário"));
        QCOMPARE(x.text("A6"), QString(" "));
        QVERIFY(!x.has("A5"));
        QVERIFY(qAbs(x.width(1) - 20.0) < 1.0);  // Excel pads widths by a fraction
        QVERIFY(x.styles().contains("<b/>"));
        QVERIFY(x.styles().contains("<sz val=\"16\"/>"));
        QVERIFY(x.styles().contains("horizontal=\"left\""));

        // A second report in the same second gets its own workbook.
        Spreadsheet b;
        QVERIFY(b.create(QString::fromUtf8("Consistência")));
        b.setValue(1, 1, "outra");
        QVERIFY(b.finish());
        QVERIFY(a.fileName() != b.fileName());
        QCOMPARE(XlsxReader(a.fileName()).text("A1"), QString::fromUtf8("Consistência"));
        SystemServices::setClock({});
    }

    void spreadsheetThatCannotBeWrittenOrOpened()
    {
        qputenv("TORVEL_DOCUMENTS", "/proc/nao-pode");
        Spreadsheet s;
        QVERIFY(!s.create("X"));
        qputenv("TORVEL_DOCUMENTS", dir.filePath("docs").toUtf8());
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "0");
        Spreadsheet::setOpener([](const QString &) { return false; });
        Spreadsheet t;
        QVERIFY(t.create("X"));
        t.setValue(1, 1, "a");
        QVERIFY(!t.finish());
        Spreadsheet::setOpener({});
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "1");
        QCOMPARE(Spreadsheet::failureMessage(), QString::fromUtf8("Não foi possível imprimir no Excel"));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
