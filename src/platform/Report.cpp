#include "platform/Report.h"

#include "platform/Folders.h"
#include "platform/MessageService.h"
#include "platform/OutputFile.h"
#include "platform/SystemServices.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
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
// The room between two columns: wide enough that two headings or values side by side
// always read as two (a single space's width ran them together).
constexpr double kColumnGapMm = 3.0;

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

QFont ReportRenderer::font(int column, double scale, bool bold) const
{
    QFont result(m_def.font.family.isEmpty() ? QStringLiteral("DejaVu Sans") : m_def.font.family);
    double size = m_def.font.pointSize > 0 ? m_def.font.pointSize : kBasePointSize;
    if (column >= 0 && column < m_def.columns.size()) {
        const ReportColumn &c = m_def.columns[column];
        if (c.pointSize > 0)
            size = c.pointSize;
        bold = bold || c.bold;
    }
    result.setPointSizeF(size * scale);
    result.setBold(bold);
    return result;
}

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
    const double mm = device->width() / double(device->widthMM());
    const double gap = kColumnGapMm * mm;
    auto fixedWidth = [&](int c) { return m_def.columns[c].fixedWidthMm * mm; };
    auto isFixed = [&](int c) { return m_def.columns[c].fixedWidthMm > 0; };
    auto indent = [&](int c) { return std::max(0.0, m_def.columns[c].indentMm) * mm; };

    // What each column holds, measured once at the base size: its widest text, and the widest
    // word of its texts (the narrowest a wrapped column can be without breaking a word).
    QList<Held> widest(count), widestWord(count);
    auto hold = [&](int c, const QString &text, bool bold) {
        const QFontMetricsF metrics(font(c, 1, bold), device);
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
            if (!runsToMargin && !cells[c].isEmpty() && !isFixed(c))
                hold(c, cells[c], bold);
        }
    }

    auto measured = [&](int c, const Held &held, double scale) {
        return held.text.isEmpty()
                   ? 0.0
                   : QFontMetricsF(font(c, scale, held.bold), device).horizontalAdvance(held.text);
    };
    auto naturalWidths = [&](double scale) {
        QList<double> widths;
        for (int c = 0; c < count; ++c)
            widths << (isFixed(c) ? fixedWidth(c) : measured(c, widest[c], scale) + gap + indent(c));
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
    // their shares (to every measured column when all keep whole). Columns of a set width
    // keep it.
    const double floor = std::clamp(m_def.minimumFontScale, 0.1, 1.0);
    for (double scale = 1;; scale = std::max(floor, scale - kScaleStep)) {
        QList<double> widths = naturalWidths(scale);
        const double spare = areaWidth - sum(widths);
        if (spare >= 0) {
            double shares = 0;
            for (int c = 0; c < count; ++c)
                shares += m_def.columns[c].keepWhole || isFixed(c) ? 0 : std::max(0.0, m_def.columns[c].width);
            const bool onlyWhole = shares <= 0;
            if (onlyWhole)
                for (int c = 0; c < count; ++c)
                    shares += isFixed(c) ? 0 : std::max(0.0, m_def.columns[c].width);
            for (int c = 0; c < count && shares > 0; ++c)
                if (!isFixed(c) && (onlyWhole || !m_def.columns[c].keepWhole))
                    widths[c] += spare * std::max(0.0, m_def.columns[c].width) / shares;
            return place(scale, widths);
        }
        if (scale <= floor)
            break;
    }

    // Smallest font, and still too wide: the columns kept whole (and those of a set width)
    // take their full width, the text columns share the rest, each at least as wide as its
    // widest word and the rest of the room in proportion to what wrapping takes from it.
    QList<double> widths = naturalWidths(floor);
    double fixed = 0, least = 0, most = 0;
    QList<double> minimum(count, 0.0);
    for (int c = 0; c < count; ++c) {
        if (m_def.columns[c].keepWhole || isFixed(c)) {
            fixed += widths[c];
        } else {
            minimum[c] = measured(c, widestWord[c], floor) + gap + indent(c);
            least += minimum[c];
            most += widths[c];
        }
    }
    const double rest = areaWidth - fixed;
    if (most > 0 && rest >= least) {
        for (int c = 0; c < count; ++c)
            if (!m_def.columns[c].keepWhole && !isFixed(c))
                widths[c] = most > least
                                ? minimum[c] + (rest - least) * (widths[c] - minimum[c]) / (most - least)
                                : minimum[c];
        return place(floor, widths);
    }
    // Not even every word fits: every measured column in proportion to what it holds, and
    // text breaks inside words (still nothing is lost).
    double setWidths = 0;
    for (int c = 0; c < count; ++c)
        if (isFixed(c))
            setWidths += widths[c];
    const double room = std::max(0.0, areaWidth - setWidths);
    const double total = sum(widths) - setWidths;
    for (int c = 0; c < count; ++c)
        if (!isFixed(c))
            widths[c] = total > 0 ? widths[c] * room / total : room / count;
    return place(floor, widths);
}

int ReportRenderer::render(QPagedPaintDevice *device) const
{
    if (isEmpty())
        return 0;
    setA4Portrait(device);
    // A device that cannot be painted on (a printer that will not start) gets nothing: every
    // call on an inactive painter would only add a warning.
    QPainter p;
    if (!p.begin(device))
        return -1;
    const Page page = pageOf(device);
    const QRectF area = page.area;
    const ReportLayout columns = layoutOn(device, area.left(), area.width());
    const int count = int(columns.width.size());

    const QFont body = font(-1, 1, false);
    const QFont bold = font(-1, 1, true);
    const QFont big = font(-1, kTitlePointSize / kBasePointSize, true);
    const QFontMetricsF bodyMetrics(body, device), boldMetrics(bold, device), bigMetrics(big, device);
    const double line = bodyMetrics.height() * 1.25;
    const double bigLine = bigMetrics.height() * 1.1;
    // The lines of one wrapped cell sit closer than the rows, so a wrapped value reads as one.
    double cellHeight = QFontMetricsF(font(-1, columns.fontScale, false), device).height();
    for (int c = 0; c < count; ++c)
        cellHeight = std::max(cellHeight, QFontMetricsF(font(c, columns.fontScale, true), device).height());
    const double cellLine = cellHeight * 1.05;
    const double rowPadding = cellHeight * 0.2;
    const double gap = kColumnGapMm * page.mm;
    auto indent = [&](int c) { return std::max(0.0, m_def.columns[c].indentMm) * page.mm; };

    // The lines of each cell of a row; a row is as tall as its tallest cell.
    struct Laid {
        QList<QStringList> cells;
        double height = 0;
    };
    auto layCells = [&](const QStringList &cells, bool strong, bool spill) {
        Laid laid;
        qsizetype lines = 1;
        for (int c = 0; c < count; ++c) {
            double width = columns.width[c] - indent(c);
            if (spill && (m_def.columns[c].alignment & Qt::AlignLeft))
                for (int n = c + 1; n < count && cells.value(n).isEmpty(); ++n)
                    width += columns.width[n];
            const QFontMetricsF metrics(font(c, columns.fontScale, strong), device);
            laid.cells << wrap(cells.value(c), metrics, width - gap);
            lines = std::max(lines, laid.cells.last().size());
        }
        laid.height = double(lines) * cellLine + rowPadding;
        return laid;
    };
    auto drawCells = [&](const Laid &laid, double y, bool strong) {
        for (int c = 0; c < count; ++c) {
            p.setFont(font(c, columns.fontScale, strong));
            for (int i = 0; i < laid.cells[c].size(); ++i) {
                const QRectF cell(columns.left[c] + indent(c), y + rowPadding / 2 + i * cellLine,
                                  std::max(0.0, columns.width[c] - indent(c) - gap), cellLine);
                // Not clipped: a text that spills runs on over the empty cells beside it.
                p.drawText(cell, int(m_def.columns[c].alignment | Qt::AlignVCenter) | Qt::TextDontClip,
                           laid.cells[c][i]);
            }
        }
    };

    QList<Laid> rows;
    rows.reserve(m_rows.size());
    for (int r = 0; r < m_rows.size(); ++r)
        rows << layCells(m_rows[r], m_def.boldRow && m_def.boldRow(r), m_def.spillIntoEmptyColumns);
    QStringList headingTexts;
    for (const ReportColumn &c : m_def.columns)
        headingTexts << c.heading;
    const Laid headings = layCells(headingTexts, true, false);

    // Page header: the date-time and page number keep their room at the right, the title is
    // centred between that room and its mirror at the left, the installation name takes what
    // the title leaves at the left; each wraps within its room. The extra lines follow under
    // them, across the page.
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
    QStringList headerLines;
    for (const QString &h : m_def.headerLines)
        headerLines << wrap(h, bodyMetrics, area.width());

    int pageNumber = 0;
    int printed = 0;
    bool drawingPages = false;  // the pages of drawings carry no column headings
    double y = 0;
    double rowsTop = 0;  // where the first row of the current page goes
    auto drawLines = [&](const QStringList &lines, double top, double lineHeight, Qt::Alignment align) {
        for (int i = 0; i < lines.size(); ++i)
            p.drawText(QRectF(area.left(), top + i * lineHeight, area.width(), lineHeight),
                       int(align | Qt::AlignVCenter) | Qt::TextDontClip, lines[i]);
    };
    // A label (and a count) set at a column's left edge, or against the right margin.
    auto countText = [](const ReportCountLine &c, int n) {
        return c.withCount ? c.label + QString::number(n) : c.label;
    };
    auto drawUnderColumn = [&](const ReportCountLine &c, const QString &text, double top) {
        const bool right = c.column < 0 || c.column >= count;
        const double left = right ? area.left() : columns.left[c.column];
        p.drawText(QRectF(left, top, area.right() - left, line),
                   int(right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextDontClip,
                   text);
    };
    const ReportCountLine footerCount =
        m_def.footerCount.isSet() ? m_def.footerCount
                                  : ReportCountLine{QStringLiteral("Registros impressos: "), -1};
    const bool hasFooter = m_def.countInFooter || m_def.footerCount.isSet();
    auto footer = [&] {
        if (!hasFooter)
            return;
        p.setFont(body);
        drawUnderColumn(footerCount, countText(footerCount, printed), area.bottom() - line);
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
        y += headerHeight;
        p.setFont(body);
        drawLines(headerLines, y, line, Qt::AlignLeft);
        y += double(headerLines.size()) * line + page.mm;
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
        if (pageNumber == 1 || (m_def.headingsOnEveryPage && !drawingPages)) {
            const double bandTop = y;
            const double inset = m_def.frameHeadingBand ? page.mm : 0;
            y += inset;
            p.setFont(bold);
            for (const QString &t : m_def.headingLines) {
                const QStringList lines = wrap(t, boldMetrics, area.width() - 2 * inset);
                for (int i = 0; i < lines.size(); ++i)
                    p.drawText(QRectF(area.left() + inset, y + i * line, area.width() - 2 * inset, line),
                               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, lines[i]);
                y += double(lines.size()) * line;
            }
            if (count > 0 && !m_def.group.headingsUnderHeader) {
                y += page.mm;
                drawCells(headings, y, true);
                y += headings.height;
                if (!m_def.frameHeadingBand)
                    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            }
            y += inset;
            if (m_def.frameHeadingBand && y > bandTop) {
                p.setPen(QPen(Qt::black, 0.25 * page.mm));
                p.drawRect(QRectF(area.left(), bandTop, area.width(), y - bandTop));
                p.setPen(Qt::black);
            }
            y += page.mm;
        }
        rowsTop = y;
    };
    const double bottom = area.bottom() - (hasFooter ? line * 1.5 : 0);
    const ReportGroup &group = m_def.group;
    auto startsGroup = [&](int r) {
        return group.isSet() && (r == 0 || group.key(r) != group.key(r - 1));
    };
    int groupRows = 0;
    auto closeGroup = [&] {
        if (!group.footer.isSet())
            return;
        if (y + line > bottom)
            startPage();
        p.setFont(bold);
        drawUnderColumn(group.footer, countText(group.footer, groupRows), y);
        y += line * 1.5;
    };

    // The group header band: its lines, then the column headings when they go under it.
    auto groupHeaderOf = [&](int r) {
        return group.header ? wrap(group.header(r), boldMetrics, area.width()) : QStringList();
    };
    auto groupHeaderHeight = [&](const QStringList &header) {
        return double(header.size()) * line + (group.headingsUnderHeader ? headings.height + 2 * page.mm + line : 0);
    };
    auto drawGroupHeader = [&](const QStringList &header) {
        // A band with its own headings stands apart from the rows of the group before it.
        if (group.headingsUnderHeader && y > rowsTop)
            y += line;
        p.setFont(bold);
        drawLines(header, y, line, Qt::AlignLeft);
        y += double(header.size()) * line;
        if (group.headingsUnderHeader) {
            y += page.mm;
            drawCells(headings, y, true);
            y += headings.height;
            p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            y += page.mm;
        }
    };
    auto headerOnly = [&](int r) { return m_def.headerOnlyRow && m_def.headerOnlyRow(r); };
    int groupStart = 0;
    int shade = 0;  // rows since the group began, so each group starts unshaded

    startPage();
    for (int r = 0; r < rows.size(); ++r) {
        if (startsGroup(r)) {
            if (r > 0) {
                closeGroup();
                if (group.newPagePerGroup)
                    startPage();
            }
            groupRows = 0;
            groupStart = r;
            shade = 0;
            // The group header goes to the next page with the group's first row.
            const QStringList header = groupHeaderOf(r);
            const double height = groupHeaderHeight(header);
            if (y > rowsTop && y + height + (headerOnly(r) ? 0 : rows[r].height) > bottom)
                startPage();
            drawGroupHeader(header);
        }
        if (headerOnly(r))
            continue;
        // A row that keeps with the next needs room for both; a page that has no row yet
        // takes the row whatever its height, so a row taller than a page still prints.
        double needed = rows[r].height;
        if (m_def.keepWithNext && r + 1 < rows.size() && m_def.keepWithNext(r))
            needed += rows[r + 1].height;
        const bool pageHasRows = y > rowsTop;
        if ((m_def.pageBreakPerRow && r > 0) || (pageHasRows && y + needed > bottom)) {
            startPage();
            if (group.isSet() && group.headerOnEveryPage) {
                drawGroupHeader(groupHeaderOf(groupStart));
                rowsTop = y;
            }
        }
        ++printed;
        ++groupRows;
        const bool shaded = m_def.shadeAlternateRows && shade++ % 2 == 1;
        // A blank separator row at the top of a page separates nothing.
        if (y <= rowsTop && !m_def.pageBreakPerRow && isBlank(m_rows[r]))
            continue;
        if (shaded)
            p.fillRect(QRectF(area.left(), y, area.width(), rows[r].height), QColor(235, 235, 235));
        if (m_def.cellColour)
            for (int c = 0; c < count; ++c)
                if (const QColor colour = m_def.cellColour(r, c); colour.isValid())
                    p.fillRect(QRectF(columns.left[c], y, columns.width[c] - gap / 2, rows[r].height), colour);
        drawCells(rows[r], y, m_def.boldRow && m_def.boldRow(r));
        y += rows[r].height;
    }
    if (group.isSet() && !rows.isEmpty())
        closeGroup();
    if (m_def.summaryCount.isSet()) {
        if (y + line > bottom)
            startPage();
        p.setFont(bold);
        drawUnderColumn(m_def.summaryCount, countText(m_def.summaryCount, printed), y);
        y += line;
    }
    for (const QString &s : m_def.summaryLines) {
        const QStringList lines = wrap(s, boldMetrics, area.width());
        if (y + double(lines.size()) * line > bottom)
            startPage();
        p.setFont(bold);
        drawLines(lines, y, line, Qt::AlignLeft);
        y += double(lines.size()) * line;
    }
    drawingPages = true;
    for (const ReportDrawing &drawing : m_def.drawings) {
        for (int from = 0; from < drawing.items;) {
            startPage();
            p.setFont(bold);
            const QStringList heading = wrap(drawing.heading, boldMetrics, area.width());
            drawLines(heading, y, line, Qt::AlignLeft);
            y += double(heading.size()) * line + page.mm;
            p.save();
            const int next = drawing.draw(p, QRectF(area.left(), y, area.width(), bottom - y), page.mm, from);
            p.restore();
            from = std::max(next, from + 1);
        }
    }
    footer();
    return pageNumber;
}

bool ReportRenderer::writePdf(const QString &path, QString *error) const
{
    const auto failed = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    OutputFile file(path);
    if (!file.begin())
        return failed(file.error());
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setTitle(m_def.title);
        writer.setCreator(QStringLiteral("Torvel - Controle de Rondas"));
        pages = render(&writer);
    }
    if (pages <= 0)
        return failed(OutputFile::failureText(path, pages == 0 ? QString::fromUtf8("o relatório não tem páginas")
                                                               : QString::fromUtf8("o PDF não pôde ser iniciado")));
    if (!file.commit())
        return failed(file.error());
    return true;
}

QString ReportRenderer::proposedPdfPath() const
{
    QString name = m_def.title.simplified();
    // A title is no path: the characters a file name cannot hold become blanks.
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral(" "));
    name = name.simplified();
    if (name.isEmpty())
        name = QStringLiteral("Relatório");
    return Folders::documentsFolder() + name + QStringLiteral(".pdf");
}

bool ReportRenderer::savePdfAs() const
{
    const QString path = MessageService::instance().saveFileName(
        QStringLiteral("Salvar como PDF"), proposedPdfPath(), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return false;
    QString error;
    if (!writePdf(path, &error)) {
        Msg::error(error);
        return false;
    }
    return true;
}

void ReportRenderer::preview(QWidget *parent) const
{
    if (isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(m_def.title);
    QPrintPreviewDialog dialog(&printer, parent);
    // A report without a title is previewed under the bare caption, not one ending in a dash.
    dialog.setWindowTitle(m_def.title.isEmpty() ? QString::fromUtf8("Visualização")
                                                : QString::fromUtf8("Visualização - ") + m_def.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this](QPrinter *target) { render(target); });
    // Saving goes straight to a PDF in the user's documents, named after the report.
    if (auto *bar = dialog.findChild<QToolBar *>()) {
        QAction *save = bar->addAction(
            dialog.style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Salvar como PDF"));
        save->setObjectName(QStringLiteral("salvarPdf"));
        QObject::connect(save, &QAction::triggered, &dialog, [this] { savePdfAs(); });
    }
    // As tall as a page where the screen allows, never larger than the screen.
    QSize size(900, 1000);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        size = size.boundedTo(QSize(room.width() * 95 / 100, room.height() * 90 / 100));
        dialog.resize(size);
        dialog.move(room.center() - QPoint(size.width() / 2, size.height() / 2));
    } else {
        dialog.resize(size);
    }
    // The print dialog proposes its "print to file" name in the current folder (when it is
    // under the home folder), which for the program is its own hidden data folder: while the
    // preview is open the current folder is the user's documents, where "Salvar como PDF"
    // proposes its file too.
    const QString previous = QDir::currentPath();
    const QString documents = Folders::documentsFolder();
    const bool moved = QDir().mkpath(documents) && QDir::setCurrent(documents);
    DialogRunner::exec(&dialog);
    if (moved)
        QDir::setCurrent(previous);
}
