#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>

class OutputFile;

// Spreadsheet output, with the operations the reports call in the order they call them:
// create, show, add a workbook, then cell values, fonts, alignment and column widths. Cells are
// collected and written as a real .xlsx file (libxlsxwriter) when the report finishes, in the
// folder Planilhas under My Documents with a readable, unique name; the desktop's spreadsheet
// program then opens it, and where the desktop has none the user is told the file's full path.
// Every value is text, formatted by the report. A spreadsheet dropped before finish() removes
// its reserved file.
//
// The workbook is written through OutputFile: it takes its file's place only once whole, so a
// failure leaves no half-written workbook and never spoils a file that was there. With a
// destination (setDestination: torvelctl's --xlsx) the workbook goes straight to that file,
// and nothing is written in Planilhas.
//
// Most reports write one shape (SheetLayout, write()), so none of them repeats it.
//
// Setting CONFIG/ABRIRPLANILHA=0 in TORVEL.INI (or TORVEL_NO_SPREADSHEET_PROGRAM=1 in the
// environment) writes the file without opening it, for tests and batch use.
// One column of a report's spreadsheet: where its values go, the heading above them in row 4
// (none when empty), and whether each value is written after one blank.
struct SheetColumn {
    int column = 1;
    QString heading;
    bool leadingBlank = false;
};

// The shape the report spreadsheets share: the title in (1, 1) at size 16 and the moment
// "dd/mm/yyyy hh:mm" in (1, 9); the header lines in column 1 from row 2; the headings in row 4,
// bold and aligned left; one row per data row from `firstRow`, each value aligned left at
// `dataFontSize`; column 1 20 wide; and, when asked, "TOTAL: n" in bold in column 1 two rows
// below the row after the last data row.
struct SheetLayout {
    QString title;
    QStringList headerLines;
    int headerFontSize = 0;  // 0: the application's
    QList<SheetColumn> columns;
    int firstRow = 5;
    int dataFontSize = 10;
    bool totalLine = false;
    int total = -1;  // the number after "TOTAL: "; -1 counts the data rows
};

class Spreadsheet {
public:
    Spreadsheet();
    ~Spreadsheet();
    Spreadsheet(const Spreadsheet &) = delete;
    Spreadsheet &operator=(const Spreadsheet &) = delete;

    // The message every caller shows when the spreadsheet cannot be produced.
    static QString failureMessage();
    // Shows that message (an error box), the same for every report, with what went wrong
    // (error()) under it.
    static void showFailure(const QString &detail = {});

    // "Create the application": reserves the file and opens its temporary file beside it.
    // False (nothing written, error() says why) when it cannot be written there.
    bool create(const QString &title);
    void show() {}
    void addWorkbook() {}

    // Rows and columns count from 1.
    void setValue(int row, int column, const QString &text);
    void setFontSize(int row, int column, int size);
    // "bold", or empty for regular.
    void setFontStyle(int row, int column, const QString &style);
    // 2 aligns left, as the reports ask; any other value is refused (a warning, nothing
    // applied, false): a report that asks for one wants a look this writer cannot give.
    bool setHorizontalAlignment(int row, int column, int alignment);
    void setColumnWidth(int column, int width);

    // Writes the file and opens it (or says where it is); false (the reserved file removed, a
    // destination's old file untouched, error() says why) when it could not be written.
    bool finish();

    QString fileName() const { return m_path; }
    // The file and the reason of the last failure of create() or finish().
    QString error() const { return m_error; }
    // Writes `rows` (values in the order of `layout.columns`) in the shape of `layout`, as a
    // whole spreadsheet; shows failureMessage() and gives false when it cannot. The file
    // written in `path`.
    static bool write(const SheetLayout &layout, const QList<QStringList> &rows,
                      QString *path = nullptr);
    QString text(int row, int column) const;

    // The folder the files go to.
    static QString folder();
    // Whether the desktop's program is asked to open the files.
    static bool opensFiles();
    // Replaces the opener (tests); empty restores the desktop's.
    static void setOpener(std::function<bool(const QString &path)> opener);
    // Every later spreadsheet of this process goes to `path` and is not opened; empty goes
    // back to Planilhas.
    static void setDestination(const QString &path);

private:
    struct Cell {
        QString text;
        int size = 0;
        bool bold = false;
        int alignment = 0;
    };
    Cell &cell(int row, int column);
    bool reserve(const QString &title);
    bool abandon(const QString &error);
    QMap<std::pair<int, int>, Cell> m_cells;
    QMap<int, int> m_widths;
    QString m_path;
    QString m_error;
    std::unique_ptr<OutputFile> m_output;
    bool m_reserved = false;  // m_path is an empty file of ours, made to keep the name
    bool m_created = false;
};
