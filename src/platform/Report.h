#pragma once

#include <QColor>

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QFont;
class QPainter;
class QRectF;
class QFontMetricsF;
class QPagedPaintDevice;
class QPaintDevice;
class QWidget;

// The banded report engine every printed report and listing uses. A definition names the
// bands; the data set is its rows, printed in order, one detail band each, on A4 portrait:
// - page header on every page: the title centred, the installation name at the left, the
//   printing date-time and "Página N" at the right, extra lines under them, a rule beneath; a
//   long title or installation name wraps within its own room, so neither runs over the other;
// - title band (lines of text, wrapped) on the first page only;
// - heading band on the first page or on every page: its lines of text, then the column
//   headings, framed if asked;
// - group bands: a header before each group of rows, a count after it, a page per group if
//   asked;
// - detail band per row; a printed report never loses a value (see the layout below);
// - summary band (a count under a column, lines) after the last row, and an optional page
//   footer with the number of rows printed so far.
//
// Column layout: each column is as wide as what it holds, its heading and its widest value
// measured with the report's font (or its declared `widest` sample, if wider). When that does
// not fit the page, the font of headings and rows shrinks, down to `minimumFontScale` of its
// size; when it still does not fit, the text columns wrap their values onto more lines (the
// row grows taller). Columns marked `keepWhole` get their full width first and are never
// wrapped: dates, times, verdicts, numbers.
struct ReportColumn {
    QString heading;
    // Share of the room left over once every column has what it holds.
    double width = 1;
    Qt::Alignment alignment = Qt::AlignLeft;
    // The widest text the column has to hold, whatever the rows of this printing hold: e.g.
    // "00/00/0000 00:00:00" keeps every date-time column of a report equally wide.
    QString widest;
    // Never wrapped: dates, times, verdicts, numbers.
    bool keepWhole = false;
    // An absolute width, for a report laid out to measure; 0 sizes the column from what it
    // holds. Never shrunk nor widened; what does not fit wraps in it.
    double fixedWidthMm = 0;
    // The field starts this far into its column: a field set in from the band's left edge.
    double indentMm = 0;
    // The column's own font: bold, and a size in points (0: the report's size).
    bool bold = false;
    double pointSize = 0;
};

// A text set under a column, followed by a count when `withCount`: "TOTAL: 12",
// "Total de registros: 3", "Total de locais: 20". Column -1 sets it against the right margin.
struct ReportCountLine {
    QString label;
    int column = 0;
    bool withCount = true;
    bool isSet() const { return !label.isEmpty(); }
};

// Master bands: consecutive rows with the same key are one group, opened by a header band
// (bold, never left alone at the foot of a page) and closed by an optional count of its rows.
struct ReportGroup {
    std::function<QString(int row)> key;
    // The header band's text, given the group's first row.
    std::function<QString(int row)> header;
    bool newPagePerGroup = false;
    ReportCountLine footer;
    // The column headings print under each group header rather than at the top of the page
    // (a master band followed by its details' headings).
    bool headingsUnderHeader = false;
    // A group that runs on to another page opens that page with its header (and headings)
    // again, so every page says whose rows it holds.
    bool headerOnEveryPage = false;
    bool isSet() const { return bool(key); }
};

// The report's font; an empty family or a size of 0 keeps the engine's (DejaVu Sans, 8 pt).
struct ReportFont {
    QString family;
    double pointSize = 0;
};

// Pages of pictures after the rows (the timelines of a board), in the same page frame. Each
// page opens with `heading` in bold; `draw` paints items from `from` on into `area` (device
// pixels, `mm` pixels a millimetre) and returns where the next page goes on; a page always
// takes at least one item.
struct ReportDrawing {
    QString heading;
    int items = 0;
    std::function<int(QPainter &p, const QRectF &area, double mm, int from)> draw;
};

struct ReportDefinition {
    QString title;
    QString installation;
    // Lines of the page header under the title and the installation name, on every page
    // ("Coletor: ...", "Torvel - Controle de Rotas").
    QStringList headerLines;
    // The title band: lines of text on the first page only.
    QStringList titleLines;
    QList<ReportColumn> columns;
    // The heading band: these lines of text (a period line) above the column headings, on the
    // pages that carry the headings.
    QStringList headingLines;
    bool headingsOnEveryPage = false;
    // A box drawn round the heading band.
    bool frameHeadingBand = false;
    ReportFont font;
    ReportGroup group;
    bool shadeAlternateRows = false;
    bool pageBreakPerRow = false;
    bool printWhenEmpty = false;
    // A left-aligned text runs on over the empty cells to its right (cycle headers and summary
    // lines of a report whose other columns are empty on those rows). A text with nothing to
    // its right may run on to the right margin, so it does not widen its column.
    bool spillIntoEmptyColumns = false;
    // After the last row: the count of rows under its column, then the summary lines.
    ReportCountLine summaryCount;
    QStringList summaryLines;
    // The rows printed so far at the foot of every page: "Registros impressos: N" at the right
    // unless `footerCount` says otherwise.
    bool countInFooter = false;
    ReportCountLine footerCount;
    QDateTime printedAt;  // the page header's date-time; now when invalid
    // How far the font of headings and rows may shrink before text columns wrap.
    double minimumFontScale = 0.7;
    // A row drawn in bold (e.g. group headings), by row index.
    std::function<bool(int row)> boldRow;
    // A row that never ends a page: it goes to the next page with the row after it (a group
    // heading stays with the first row of its group).
    std::function<bool(int row)> keepWithNext;
    // A row that only opens its group (a master without details): the group's header prints,
    // the row itself neither prints nor counts.
    std::function<bool(int row)> headerOnlyRow;
    // A cell's background (a status colour), by row and column; an invalid colour leaves it.
    std::function<QColor(int row, int column)> cellColour;
    QList<ReportDrawing> drawings;
};

// Where the columns went on a page: the font scale of headings and rows, and each column's
// left edge and width in device pixels.
struct ReportLayout {
    double fontScale = 1;
    QList<double> left;
    QList<double> width;
};

class ReportRenderer {
public:
    ReportRenderer(ReportDefinition definition, QList<QStringList> rows);

    bool isEmpty() const { return m_rows.isEmpty() && !m_def.printWhenEmpty; }
    // Paints every page on `device` (a QPrinter, or a QPdfWriter); the number of pages, 0 for an
    // empty report, -1 when the device cannot be painted on (nothing is painted then).
    int render(QPagedPaintDevice *device) const;
    // Writes the report as a PDF file, through OutputFile: the file asked for is replaced only
    // by a whole PDF. False when it cannot be written, with the file and the reason in `error`.
    bool writePdf(const QString &path, QString *error = nullptr) const;
    // Shows the modal preview, sized to the screen, with print and "Salvar como PDF"; returns
    // when it closes. Nothing is shown for an empty report.
    void preview(QWidget *parent) const;
    // Asks where to save (proposing proposedPdfPath()) and writes the PDF; false when the user
    // cancels or the file cannot be written (the user is told the file and the reason).
    bool savePdfAs() const;
    // The user's My Documents folder and the report's title as the file name.
    QString proposedPdfPath() const;

    // The column layout on an A4 portrait page of `device`.
    ReportLayout layout(QPagedPaintDevice *device) const;

    // `text` broken into lines of at most `width` pixels in `metrics`: at blanks where it can,
    // inside a word only when the word alone is wider than `width`. A line break in the text
    // always breaks. Nothing is dropped but the blanks at a break.
    static QStringList wrap(const QString &text, const QFontMetricsF &metrics, double width);

private:
    // The report's font at `scale`, as column `column` (-1: none in particular) sets it.
    QFont font(int column, double scale, bool bold) const;
    ReportLayout layoutOn(QPaintDevice *device, double areaLeft, double areaWidth) const;

    ReportDefinition m_def;
    QList<QStringList> m_rows;
};
