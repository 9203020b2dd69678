#include "platform/Report.h"

#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <numeric>

namespace {

constexpr double kBasePointSize = 8;
constexpr double kTitlePointSize = 13;
constexpr double kScaleStep = 0.05;
constexpr double kColumnGapMm = 1.2;

// Layout in device pixels derived from the page in millimetres.
struct Page {
    QRectF area;  // printable area
    double mm;    // pixels per millimetre
};

Page pageOf(QPaintDevice *device)
{
    const QRectF paint = QRectF(0, 0, device->width(), device->height());
    const double mm = device->width() / double(device->widthMM());
    return {paint.adjusted(12 * mm, 10 * mm, -12 * mm, -12 * mm), mm};
}

void setA4Portrait(QPagedPaintDevice *device)
{
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageOrientation(QPageLayout::Portrait);
}

QFont reportFont(double scale, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(kBasePointSize * scale);
    font.setBold(bold);
    return font;
}

bool isBlank(const QStringList &cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString &c) { return c.isEmpty(); });
}

// The widest thing a column holds, kept as text so it can be measured again at another size.
struct Held {
    QString text;
    bool bold = false;
    double width = 0;  // at the base size
};

void keepWider(Held &held, const QString &text, bool bold, double width)
{
    if (width > held.width)
        held = {text, bold, width};
}

// The first character of `text` that starts no blank run, from `from`.
qsizetype skipBlanks(const QString &text, qsizetype from)
{
    while (from < text.size() && text.at(from).isSpace())
        ++from;
    return from;
}

qsizetype skipWord(const QString &text, qsizetype from)
{
    while (from < text.size() && !text.at(from).isSpace())
        ++from;
    return from;
}

// The longest leading part of `text` that fits `width`, at least one whole character so a
// line too narrow for any still makes progress.
qsizetype fittingPrefix(const QString &text, const QFontMetricsF &metrics, double width)
{
    qsizetype lo = 0, hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && lo < text.size() && text.at(lo - 1).isHighSurrogate())
        --lo;
    if (lo == 0)
        lo = text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1;
    return lo;
}

}  // namespace

ReportRenderer::ReportRenderer(ReportDefinition definition, QList<QStringList> rows)
    : m_def(std::move(definition)), m_rows(std::move(rows))
{
    if (!m_def.printedAt.isValid())
        m_def.printedAt = SystemServices::now();
}

QStringList ReportRenderer::wrap(const QString &text, const QFontMetricsF &metrics, double width)
{
    QStringList lines;
    for (const QString &paragraph : text.split(u'\n')) {
        // A text that fits keeps its spacing as it is, trailing blanks included.
        if (metrics.horizontalAdvance(paragraph) <= width) {
            lines << paragraph;
            continue;
        }
        QString line;
        bool first = true;  // the paragraph's leading blanks are an indent, kept
        qsizetype at = 0;
        while (at < paragraph.size()) {
            const qsizetype wordStart = skipBlanks(paragraph, at);
            const qsizetype wordEnd = skipWord(paragraph, wordStart);
            if (wordStart == wordEnd)
                break;
            const QString blanks = paragraph.mid(at, wordStart - at);
            const QString word = paragraph.mid(wordStart, wordEnd - wordStart);
            at = wordEnd;
            if (!line.isEmpty() && metrics.horizontalAdvance(line + blanks + word) <= width) {
                line += blanks + word;
                continue;
            }
            if (!line.isEmpty()) {
                lines << line;
                first = false;
            }
            QString rest = (first ? blanks : QString()) + word;
            while (metrics.horizontalAdvance(rest) > width) {
                const qsizetype fit = fittingPrefix(rest, metrics, width);
                if (fit >= rest.size())
                    break;
                lines << rest.left(fit);
                first = false;
                rest = rest.mid(fit);
            }
            line = rest;
        }
        lines << line;
    }
    return lines;
}

ReportLayout ReportRenderer::layout(QPagedPaintDevice *device) const
{
    setA4Portrait(device);
    const Page page = pageOf(device);
    return layoutOn(device, page.area.left(), page.area.width());
}

ReportLayout ReportRenderer::layoutOn(QPaintDevice *device, double areaLeft, double areaWidth) const
{
    ReportLayout result;
    const int count = int(m_def.columns.size());
    if (count == 0)
        return result;
    const double gap = kColumnGapMm * device->width() / double(device->widthMM());

    // What each column holds, measured once at the base size: its widest text, and the widest
    // word of its texts (the narrowest a wrapped column can be without breaking a word).
    QList<Held> widest(count), widestWord(count);
    const QFontMetricsF plain(reportFont(1, false), device), strong(reportFont(1, true), device);
    auto hold = [&](int c, const QString &text, bool bold) {
        const QFontMetricsF &metrics = bold ? strong : plain;
        const double width = metrics.horizontalAdvance(text);
        keepWider(widest[c], text, bold, width);
        if (width <= widestWord[c].width)
            return;  // none of its words can be wider
        for (qsizetype at = skipBlanks(text, 0); at < text.size();) {
            const qsizetype end = skipWord(text, at);
            const QString word = text.mid(at, end - at);
            keepWider(widestWord[c], word, bold, metrics.horizontalAdvance(word));
            at = skipBlanks(text, end);
        }
    };
    for (int c = 0; c < count; ++c) {
        hold(c, m_def.columns[c].heading, true);
        hold(c, m_def.columns[c].widest, false);
    }
    for (int r = 0; r < m_rows.size(); ++r) {
        const QStringList &cells = m_rows[r];
        const bool bold = m_def.boldRow && m_def.boldRow(r);
        for (int c = 0; c < count && c < cells.size(); ++c) {
            // A text with only empty cells to its right has the rest of the line for itself.
            const bool runsToMargin = m_def.spillIntoEmptyColumns && c + 1 < count &&
                                      (m_def.columns[c].alignment & Qt::AlignLeft) &&
                                      std::all_of(cells.begin() + c + 1, cells.end(),
                                                  [](const QString &s) { return s.isEmpty(); });
            if (!runsToMargin && !cells[c].isEmpty())
                hold(c, cells[c], bold);
        }
    }

    auto measured = [&](const Held &held, double scale) {
        return held.text.isEmpty()
                   ? 0.0
                   : QFontMetricsF(reportFont(scale, held.bold), device).horizontalAdvance(held.text);
    };
    auto naturalWidths = [&](double scale) {
        QList<double> widths;
        for (int c = 0; c < count; ++c)
            widths << measured(widest[c], scale) + gap;
        return widths;
    };
    auto sum = [](const QList<double> &values) {
        return std::accumulate(values.begin(), values.end(), 0.0);
    };
    auto place = [&](double scale, QList<double> widths) {
        result.fontScale = scale;
        result.width = widths;
        double x = areaLeft;
        for (double w : widths) {
            result.left << x;
            x += w;
        }
        return result;
    };

    // Largest font at which everything fits whole; the room left goes to the text columns by
    // their shares (to every column when all keep whole).
    const double floor = std::clamp(m_def.minimumFontScale, 0.1, 1.0);
    for (double scale = 1;; scale = std::max(floor, scale - kScaleStep)) {
        QList<double> widths = naturalWidths(scale);
        const double spare = areaWidth - sum(widths);
        if (spare >= 0) {
            double shares = 0;
            for (const ReportColumn &column : m_def.columns)
                shares += column.keepWhole ? 0 : std::max(0.0, column.width);
            const bool onlyWhole = shares <= 0;
            if (onlyWhole)
                for (const ReportColumn &column : m_def.columns)
                    shares += std::max(0.0, column.width);
            for (int c = 0; c < count && shares > 0; ++c)
                if (onlyWhole || !m_def.columns[c].keepWhole)
                    widths[c] += spare * std::max(0.0, m_def.columns[c].width) / shares;
            return place(scale, widths);
        }
        if (scale <= floor)
            break;
    }

    // Smallest font, and still too wide: the columns kept whole take their full width, the
    // text columns share the rest, each at least as wide as its widest word and the rest of the
    // room in proportion to what wrapping takes from it.
    QList<double> widths = naturalWidths(floor);
    double fixed = 0, least = 0, most = 0;
    QList<double> minimum(count, 0.0);
    for (int c = 0; c < count; ++c) {
        if (m_def.columns[c].keepWhole) {
            fixed += widths[c];
        } else {
            minimum[c] = measured(widestWord[c], floor) + gap;
            least += minimum[c];
            most += widths[c];
        }
    }
    const double rest = areaWidth - fixed;
    if (most > 0 && rest >= least) {
        for (int c = 0; c < count; ++c)
            if (!m_def.columns[c].keepWhole)
                widths[c] = minimum[c] + (rest - least) * (widths[c] - minimum[c]) / (most - least);
        return place(floor, widths);
    }
    // Not even every word fits: every column in proportion to what it holds, and text breaks
    // inside words (still nothing is lost).
    const double total = sum(widths);
    for (double &w : widths)
        w = total > 0 ? w * areaWidth / total : areaWidth / count;
    return place(floor, widths);
}

int ReportRenderer::render(QPagedPaintDevice *device) const
{
    if (isEmpty())
        return 0;
    setA4Portrait(device);
    QPainter p(device);
    const Page page = pageOf(device);
    const QRectF area = page.area;
    const ReportLayout columns = layoutOn(device, area.left(), area.width());
    const int count = int(columns.width.size());

    const QFont body = reportFont(1, false);
    const QFont bold = reportFont(1, true);
    const QFont big = reportFont(kTitlePointSize / kBasePointSize, true);
    const QFont cellBody = reportFont(columns.fontScale, false);
    const QFont cellBold = reportFont(columns.fontScale, true);
    const QFontMetricsF bodyMetrics(body, device), boldMetrics(bold, device), bigMetrics(big, device);
    const double line = bodyMetrics.height() * 1.25;
    const double bigLine = bigMetrics.height() * 1.1;
    // The lines of one wrapped cell sit closer than the rows, so a wrapped value reads as one.
    const double cellHeight = QFontMetricsF(cellBody, device).height();
    const double cellLine = cellHeight * 1.05;
    const double rowPadding = cellHeight * 0.2;
    const double gap = kColumnGapMm * page.mm;

    // The lines of each cell of a row; a row is as tall as its tallest cell.
    struct Laid {
        QList<QStringList> cells;
        double height = 0;
    };
    auto layCells = [&](const QStringList &cells, const QFont &font, bool spill) {
        const QFontMetricsF metrics(font, device);
        Laid laid;
        qsizetype lines = 1;
        for (int c = 0; c < count; ++c) {
            double width = columns.width[c];
            if (spill && (m_def.columns[c].alignment & Qt::AlignLeft))
                for (int n = c + 1; n < count && cells.value(n).isEmpty(); ++n)
                    width += columns.width[n];
            laid.cells << wrap(cells.value(c), metrics, width - gap);
            lines = std::max(lines, laid.cells.last().size());
        }
        laid.height = double(lines) * cellLine + rowPadding;
        return laid;
    };
    auto drawCells = [&](const Laid &laid, double y, const QFont &font) {
        p.setFont(font);
        for (int c = 0; c < count; ++c)
            for (int i = 0; i < laid.cells[c].size(); ++i) {
                const QRectF cell(columns.left[c], y + rowPadding / 2 + i * cellLine,
                                  std::max(0.0, columns.width[c] - gap), cellLine);
                // Not clipped: a text that spills runs on over the empty cells beside it.
                p.drawText(cell, int(m_def.columns[c].alignment | Qt::AlignVCenter) | Qt::TextDontClip,
                           laid.cells[c][i]);
            }
    };

    QList<Laid> rows;
    rows.reserve(m_rows.size());
    for (int r = 0; r < m_rows.size(); ++r)
        rows << layCells(m_rows[r], m_def.boldRow && m_def.boldRow(r) ? cellBold : cellBody,
                         m_def.spillIntoEmptyColumns);
    QStringList headingTexts;
    for (const ReportColumn &c : m_def.columns)
        headingTexts << c.heading;
    const Laid headings = layCells(headingTexts, cellBold, false);

    // Page header: the date-time and page number keep their room at the right, the title is
    // centred between that room and its mirror at the left, the installation name takes what
    // the title leaves at the left; each wraps within its room.
    const QString printedAt = m_def.printedAt.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    const double rightRoom = std::max(bodyMetrics.horizontalAdvance(printedAt),
                                      bodyMetrics.horizontalAdvance(QString::fromUtf8("Página 0000")));
    const double apart = 4 * page.mm;
    const QStringList titleText =
        wrap(m_def.title, bigMetrics, std::max(area.width() - 2 * (rightRoom + apart), 10 * page.mm));
    double titleWidth = 0;
    for (const QString &t : titleText)
        titleWidth = std::max(titleWidth, bigMetrics.horizontalAdvance(t));
    const double leftRoom = m_def.title.isEmpty() ? area.width() - rightRoom - apart
                                                  : (area.width() - titleWidth) / 2 - apart;
    const QStringList installationText = wrap(m_def.installation, bodyMetrics, leftRoom);
    const double headerHeight = std::max({double(installationText.size()) * line,
                                          double(titleText.size()) * bigLine, 2 * line});

    int pageNumber = 0;
    int printed = 0;
    double y = 0;
    double rowsTop = 0;  // where the first row of the current page goes
    auto drawLines = [&](const QStringList &lines, double top, double lineHeight, Qt::Alignment align) {
        for (int i = 0; i < lines.size(); ++i)
            p.drawText(QRectF(area.left(), top + i * lineHeight, area.width(), lineHeight),
                       int(align | Qt::AlignVCenter) | Qt::TextDontClip, lines[i]);
    };
    auto footer = [&] {
        if (!m_def.countInFooter)
            return;
        p.setFont(body);
        p.drawText(QRectF(area.left(), area.bottom() - line, area.width(), line),
                   Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Registros impressos: %1").arg(printed));
    };
    auto startPage = [&] {
        if (pageNumber > 0) {
            footer();
            device->newPage();
        }
        ++pageNumber;
        y = area.top();
        p.setFont(body);
        for (int i = 0; i < installationText.size(); ++i)
            p.drawText(QRectF(area.left(), y + i * line, leftRoom, line),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, installationText[i]);
        const QRectF right(area.right() - rightRoom, y, rightRoom, line);
        p.drawText(right, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, printedAt);
        p.drawText(right.translated(0, line), Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip,
                   QString::fromUtf8("Página ") + QString::number(pageNumber));
        p.setFont(big);
        drawLines(titleText, y, bigLine, Qt::AlignHCenter);
        y += headerHeight + page.mm;
        p.setPen(QPen(Qt::black, 0.3 * page.mm));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(Qt::black);
        y += page.mm * 2;
        if (pageNumber == 1) {
            p.setFont(bold);
            for (const QString &t : m_def.titleLines) {
                const QStringList lines = wrap(t, boldMetrics, area.width());
                drawLines(lines, y, line, Qt::AlignLeft);
                y += double(lines.size()) * line;
            }
        }
        if (count > 0 && (pageNumber == 1 || m_def.headingsOnEveryPage)) {
            y += page.mm;
            drawCells(headings, y, cellBold);
            y += headings.height;
            p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            y += page.mm;
        }
        rowsTop = y;
    };
    const double bottom = area.bottom() - (m_def.countInFooter ? line * 1.5 : 0);

    startPage();
    for (int r = 0; r < rows.size(); ++r) {
        // A row that keeps with the next needs room for both; a page that has no row yet
        // takes the row whatever its height, so a row taller than a page still prints.
        double needed = rows[r].height;
        if (m_def.keepWithNext && r + 1 < rows.size() && m_def.keepWithNext(r))
            needed += rows[r + 1].height;
        const bool pageHasRows = y > rowsTop;
        if ((m_def.pageBreakPerRow && r > 0) || (pageHasRows && y + needed > bottom))
            startPage();
        ++printed;
        // A blank separator row at the top of a page separates nothing.
        if (y <= rowsTop && !m_def.pageBreakPerRow && isBlank(m_rows[r]))
            continue;
        if (m_def.shadeAlternateRows && r % 2 == 1)
            p.fillRect(QRectF(area.left(), y, area.width(), rows[r].height), QColor(235, 235, 235));
        const bool strong = m_def.boldRow && m_def.boldRow(r);
        drawCells(rows[r], y, strong ? cellBold : cellBody);
        y += rows[r].height;
    }
    for (const QString &s : m_def.summaryLines) {
        const QStringList lines = wrap(s, boldMetrics, area.width());
        if (y + double(lines.size()) * line > bottom)
            startPage();
        p.setFont(bold);
        drawLines(lines, y, line, Qt::AlignLeft);
        y += double(lines.size()) * line;
    }
    footer();
    return pageNumber;
}

bool ReportRenderer::writePdf(const QString &path) const
{
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setTitle(m_def.title);
    writer.setCreator(QStringLiteral("Torvel - Controle de Rondas"));
    render(&writer);
    return QFileInfo(path).size() > 0;
}

void ReportRenderer::preview(QWidget *parent) const
{
    if (isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(m_def.title);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QString::fromUtf8("Visualização - ") + m_def.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this](QPrinter *target) { render(target); });
    dialog.resize(900, 1000);
    DialogRunner::exec(&dialog);
}
