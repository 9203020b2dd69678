#include "XlsxReader.h"
#include "platform/MessageService.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemServices.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using Kind = MessageService::Kind;

// The spreadsheet writer, checked on the files a user would get.
class TestSpreadsheet : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QStringList filesWritten() const
    {
        return QDir(Spreadsheet::folder()).entryList(QDir::Files);
    }

private Q_SLOTS:
    void init()
    {
        qputenv("TORVEL_HOME", dir.filePath("home").toUtf8());
        qputenv("TORVEL_DOCUMENTS", dir.filePath("docs").toUtf8());
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "1");
        QDir(Spreadsheet::folder()).removeRecursively();
    }

    void cleanup()
    {
        Spreadsheet::setOpener({});
        Spreadsheet::setDestination({});
        SystemServices::setClock({});
    }

    void cellsReadBack()
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
    }

    // The shape the reports share, and an alignment the writer cannot give refused aloud.
    void reportShapeAndRefusedAlignment()
    {
        SystemServices::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(11, 5, 0)); });
        SheetLayout layout;
        layout.title = "Coletores";
        layout.headerLines = {"Linha A"};
        layout.headerFontSize = 12;
        layout.columns = {{1, QString::fromUtf8("Descrição"), true}, {3, QString::fromUtf8("Código")}, {6, QString()}};
        layout.dataFontSize = 8;
        layout.totalLine = true;
        QString path;
        QVERIFY(Spreadsheet::write(layout, {{"ALFA", "01", "x"}, {"BETA", "02", "y"}, {"GAMA", "03", "z"}}, &path));
        const XlsxReader x(path);
        QCOMPARE(x.text("A1"), QString("Coletores"));
        QCOMPARE(x.text("I1"), QString("09/12/2026 11:05"));
        QCOMPARE(x.text("A2"), QString("Linha A"));
        QCOMPARE(x.text("A4"), QString::fromUtf8("Descrição"));
        QCOMPARE(x.text("C4"), QString::fromUtf8("Código"));
        QVERIFY(!x.has("F4"));  // no heading over column 6
        QCOMPARE(x.text("A5"), QString(" ALFA"));
        QCOMPARE(x.text("C7"), QString("03"));
        QCOMPARE(x.text("F7"), QString("z"));
        QVERIFY(!x.has("A8") && !x.has("A9"));
        QCOMPARE(x.text("A10"), QString("TOTAL: 3"));  // n + 7
        QVERIFY(qAbs(x.width(1) - 20.0) < 1.0);
        QVERIFY(x.style("A4") != x.style("A5"));
        QVERIFY(x.styles().contains("<sz val=\"8\"/>"));
        QVERIFY(x.styles().contains("<sz val=\"12\"/>"));

        Spreadsheet s;
        QVERIFY(s.create("Alinhamento"));
        s.setValue(1, 1, "a");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("alignment 3 refused"));
        QVERIFY(!s.setHorizontalAlignment(1, 1, 3));
        QVERIFY(s.setHorizontalAlignment(1, 2, 2));
        s.setValue(1, 2, "b");
        QVERIFY(s.finish());
        const XlsxReader y(s.fileName());
        QCOMPARE(y.style("A1"), 0);  // nothing applied
        QVERIFY(y.style("B1") != 0);
    }

    void withoutAProgramTheFileIsWrittenAndItsPathTold()
    {
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "0");
        Spreadsheet::setOpener([](const QString &) { return false; });
        Spreadsheet t;
        QVERIFY(t.create("X"));
        t.setValue(1, 1, "a");
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, "");
        QVERIFY(t.finish());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(msgs.shown().first().contains(t.fileName()));
        QCOMPARE(XlsxReader(t.fileName()).text("A1"), QString("a"));

        // With a program, it opens the file and says nothing.
        QString opened;
        Spreadsheet::setOpener([&](const QString &path) { opened = path; return true; });
        Spreadsheet u;
        QVERIFY(u.create("Y"));
        QVERIFY(u.finish());
        QVERIFY(msgs.done());
        QCOMPARE(opened, u.fileName());
    }

    // A destination (torvelctl's --xlsx) gets the workbook and nothing else does: not Planilhas,
    // not the folder beside it; a destination that cannot be written keeps its old file.
    void aDestinationGetsTheWholeWorkbookOrKeepsItsOldFile()
    {
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "0");
        QString opened;
        Spreadsheet::setOpener([&](const QString &path) { opened = path; return true; });
        QDir().mkpath(dir.filePath("saida"));
        const QString target = dir.filePath("saida/planilha.xlsx");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("antigo");
        old.close();
        Spreadsheet::setDestination(target);
        const SheetLayout layout{.title = "Coletores", .columns = {{1, "Nome"}}};
        QString written;
        QVERIFY(Spreadsheet::write(layout, {{"ALFA"}}, &written));
        QCOMPARE(written, target);
        QCOMPARE(XlsxReader(target).text("A5"), QString("ALFA"));
        QVERIFY(opened.isEmpty());
        QVERIFY(filesWritten().isEmpty());
        QCOMPARE(QDir(dir.filePath("saida")).entryList(QDir::Files | QDir::Hidden), QStringList{"planilha.xlsx"});

        // A folder, a missing folder: the message names the file and why, nothing is left.
        const QByteArray before = [&] { QFile f(target); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        for (const QString &bad : {dir.filePath("saida"), dir.filePath("saida/falta/p.xlsx")}) {
            Spreadsheet::setDestination(bad);
            ScriptedMessageService msgs;
            msgs.expect(Kind::Error, QString::fromUtf8("Não foi possível imprimir no Excel\nNão foi possível gravar o arquivo %1: *").arg(bad));
            QVERIFY(!Spreadsheet::write(layout, {{"BETA"}}));
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        }
        Spreadsheet::setDestination({});
        QVERIFY(filesWritten().isEmpty());
        QCOMPARE(QDir(dir.filePath("saida")).entryList(QDir::Files | QDir::Hidden), QStringList{"planilha.xlsx"});
        QFile kept(target);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
    }

    void aFolderThatCannotBeWrittenFailsAndNothingEmptyStays()
    {
        qputenv("TORVEL_DOCUMENTS", "/proc/nao-pode");
        Spreadsheet s;
        QVERIFY(!s.create("X"));
        qputenv("TORVEL_DOCUMENTS", dir.filePath("docs").toUtf8());
        QCOMPARE(Spreadsheet::failureMessage(), QString::fromUtf8("Não foi possível imprimir no Excel"));

        // A report that stops after starting its spreadsheet leaves no empty file.
        {
            Spreadsheet abandoned;
            QVERIFY(abandoned.create("Abandonada"));
            QCOMPARE(filesWritten().size(), 1);
        }
        QVERIFY(filesWritten().isEmpty());
    }
};

QTEST_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
