#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QPainter;
class QPagedPaintDevice;
class QPrinter;
class QWidget;

// The banded report engine every printed report and listing uses. A definition names the
// bands; the data set is its rows, printed in order, one detail band each, on A4 portrait:
// - page header on every page: the title centred, the installation name at the left, the
//   printing date-time and "Página N" at the right, a rule beneath;
// - title band (lines of text) on the first page only;
// - column headings on the first page or on every page;
// - detail band per row; text that does not fit its column is cut, never drawn over the next;
// - summary band (lines) after the last row, and an optional page footer with the number of
//   rows printed so far.
struct ReportColumn {
    QString heading;
    double width;  // share of the printable width; the shares are normalised
    Qt::Alignment alignment = Qt::AlignLeft;
};

struct ReportDefinition {
    QString title;
    QString installation;
    QStringList titleLines;
    QList<ReportColumn> columns;
    bool headingsOnEveryPage = false;
    bool shadeAlternateRows = false;
    bool pageBreakPerRow = false;
    bool printWhenEmpty = false;
    // A left-aligned text runs on over the empty cells to its right before it is cut (cycle
    // headers and summary lines of a report whose other columns are empty on those rows).
    bool spillIntoEmptyColumns = false;
    QStringList summaryLines;
    // "Registros impressos: N" at the foot of every page.
    bool countInFooter = false;
    QDateTime printedAt;  // the page header's date-time; now when invalid
    // A row drawn in bold (e.g. group headings), by row index.
    std::function<bool(int row)> boldRow;
};

class ReportRenderer {
public:
    ReportRenderer(ReportDefinition definition, QList<QStringList> rows);

    bool isEmpty() const { return m_rows.isEmpty() && !m_def.printWhenEmpty; }
    // Paints every page on `device` (a QPrinter, or a QPdfWriter); the number of pages.
    int render(QPagedPaintDevice *device) const;
    // Writes the report as a PDF file; false when the file cannot be written.
    bool writePdf(const QString &path) const;
    // Shows the modal preview (print and save as PDF from there); returns when it closes.
    // Nothing is shown for an empty report.
    void preview(QWidget *parent) const;

    // The longest leading part of `text` that fits `width` pixels in `metrics`.
    static QString cut(const QString &text, const class QFontMetricsF &metrics, double width);

private:
    ReportDefinition m_def;
    QList<QStringList> m_rows;
};
