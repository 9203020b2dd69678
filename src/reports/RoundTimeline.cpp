#include "reports/RoundTimeline.h"

#include "platform/OutputFile.h"
#include "platform/Report.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

using Mark = TimelineModel::Mark;

const QColor kTouch(31, 78, 121);
const QColor kLeg(120, 144, 170);
const QColor kLate(230, 149, 0);
const QColor kMissed(198, 40, 40);
const QColor kInversion(142, 36, 170);
const QColor kOutside(150, 150, 150);
const QColor kBand(238, 238, 238);
const QColor kGrid(222, 222, 222);

QFont fontOf(double mm, double sizeMm, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(1, int(std::lround(sizeMm * mm))));
    font.setBold(bold);
    return font;
}

QString delayText(const QString &verdict) { return verdict + QStringLiteral(" min"); }

// Where everything of one timeline goes, worked out once for its height and its painting.
struct Layout {
    QFont body, bold, small;
    double rowHeight = 0;
    double line = 0;
    QStringList title;
    double titleHeight = 0;
    double labelWidth = 0;
    QRectF chart;  // the rows, reference to band, relative to the timeline's top left
    double axisHeight = 0;
    qint64 span = 1;  // seconds from the left edge of the chart to its right edge
    QDateTime origin;
    struct Placed {
        QRectF box;
        QString text;
    };
    std::vector<Placed> delays;
    QStringList notes;  // under the chart: delays with no free place, the duration
    QStringList legend;
    double height = 0;

    int rows(const TimelineModel &m) const { return int(m.rows.size()) + 1; }
    double rowTop(const TimelineModel &m, int row) const
    {
        const int index = row < 0 ? rows(m) - 1 : row;
        return chart.top() + index * rowHeight;
    }
    double rowCentre(const TimelineModel &m, int row) const { return rowTop(m, row) + rowHeight / 2; }
    double x(const QDateTime &at) const
    {
        return chart.left() + chart.width() * double(origin.secsTo(at)) / double(span);
    }
};

const char *const kLegend[] = {"toque", "não visitado", "inversão", "fora do tempo", "fora do roteiro"};

Layout layOut(const TimelineModel &m, double width, double mm)
{
    Layout l;
    l.body = fontOf(mm, 2.6, false);
    l.bold = fontOf(mm, 3.0, true);
    l.small = fontOf(mm, 2.3, false);
    const QFontMetricsF body(l.body), bold(l.bold), small(l.small);
    l.line = body.height() * 1.2;
    l.rowHeight = std::max(4.5 * mm, body.height() * 1.35);

    const double chip = 3 * mm;
    l.title = ReportRenderer::wrap(m.title, bold, std::max(10 * mm, width - chip - mm));
    l.titleHeight = double(l.title.size()) * bold.height() * 1.15 + mm;

    double widest = body.horizontalAdvance(QStringLiteral("Fora do roteiro"));
    for (const QString &row : m.rows)
        widest = std::max(widest, body.horizontalAdvance(row));
    l.labelWidth = std::min(widest + 3 * mm, width * 0.32);

    const double right = std::max(l.labelWidth + 20 * mm, width - 3 * mm);
    l.chart = QRectF(l.labelWidth, l.titleHeight, right - l.labelWidth, l.rows(m) * l.rowHeight);
    l.axisHeight = small.height() * 1.6 + mm;

    // A little room either side, so the first and last marks sit inside the chart.
    const qint64 cycle = std::max<qint64>(60, m.from.secsTo(m.to));
    const qint64 pad = std::max<qint64>(15, cycle / 30);
    l.origin = m.from.addSecs(-pad);
    l.span = cycle + 2 * pad;

    // Delay labels: right of the late touch, else left of it, else a note under the chart.
    std::vector<QRectF> taken;
    const double markSize = 2.2 * mm;
    for (const Mark &mark : m.marks)
        taken.push_back(QRectF(l.x(mark.at) - markSize / 2, l.rowCentre(m, mark.row) - markSize / 2,
                               markSize, markSize));
    for (const auto &[row, at] : m.missed)
        taken.push_back(QRectF(l.x(at) - markSize / 2, l.rowCentre(m, row) - markSize / 2, markSize, markSize));
    auto free = [&](const QRectF &box) {
        if (box.left() < l.chart.left() || box.right() > l.chart.right())
            return false;
        return std::none_of(taken.begin(), taken.end(), [&](const QRectF &t) { return t.intersects(box); });
    };
    for (const Mark &mark : m.marks) {
        if (mark.delay.isEmpty())
            continue;
        const QString text = delayText(mark.delay);
        const double w = small.horizontalAdvance(text) + mm;
        const double h = small.height();
        const double cx = l.x(mark.at);
        const double cy = l.rowCentre(m, mark.row);
        const QRectF rightOf(cx + markSize / 2 + 0.5 * mm, cy - h / 2, w, h);
        const QRectF leftOf(cx - markSize / 2 - 0.5 * mm - w, cy - h / 2, w, h);
        if (free(rightOf)) {
            taken.push_back(rightOf);
            l.delays.push_back({rightOf, text});
        } else if (free(leftOf)) {
            taken.push_back(leftOf);
            l.delays.push_back({leftOf, text});
        } else {
            const QString stop = mark.row > 0 ? m.rows.value(mark.row) : QString();
            l.notes << mark.at.toString(QStringLiteral("hh:mm:ss")) + u' ' + stop + QStringLiteral(": ") + text;
        }
    }
    if (!m.duration.isEmpty())
        l.notes << m.duration.mid(m.duration.indexOf(u'T')).trimmed();

    QStringList wrappedNotes;
    for (const QString &note : l.notes)
        wrappedNotes << ReportRenderer::wrap(note, body, width);
    l.notes = wrappedNotes;

    // The legend, its entries on as many lines as they need.
    double x = 0;
    QString current;
    for (const char *entry : kLegend) {
        const QString text = QString::fromUtf8(entry);
        const double w = 4 * mm + small.horizontalAdvance(text) + 3 * mm;
        if (x > 0 && x + w > width) {
            l.legend << current;
            current.clear();
            x = 0;
        }
        current += (current.isEmpty() ? QString() : QStringLiteral("\t")) + text;
        x += w;
    }
    l.legend << current;

    l.height = l.chart.bottom() + l.axisHeight + double(l.notes.size()) * l.line +
               double(l.legend.size()) * small.height() * 1.4 + 2 * mm;
    return l;
}

void drawMark(QPainter &p, Mark::Shape shape, const QPointF &at, double size)
{
    const double r = size / 2;
    switch (shape) {
    case Mark::Shape::Touch:
        p.setPen(Qt::NoPen);
        p.setBrush(kTouch);
        p.drawEllipse(at, r, r);
        break;
    case Mark::Shape::Inversion: {
        QPainterPath diamond;
        diamond.moveTo(at.x(), at.y() - r * 1.3);
        diamond.lineTo(at.x() + r * 1.3, at.y());
        diamond.lineTo(at.x(), at.y() + r * 1.3);
        diamond.lineTo(at.x() - r * 1.3, at.y());
        diamond.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kInversion);
        p.drawPath(diamond);
        break;
    }
    case Mark::Shape::Outside:
        p.setPen(Qt::NoPen);
        p.setBrush(kOutside);
        p.drawEllipse(at, r * 0.85, r * 0.85);
        break;
    }
}

void drawMissed(QPainter &p, const QPointF &at, double size, double mm)
{
    p.setPen(QPen(kMissed, 0.45 * mm));
    p.setBrush(Qt::white);
    p.drawEllipse(at, size / 2, size / 2);
}

// A step between ticks whose labels never touch.
qint64 tickStep(qint64 span, double width, double labelWidth)
{
    static const qint64 steps[] = {10,   15,   30,   60,    120,   300,   600,  900,
                                   1800, 3600, 7200, 10800, 21600, 43200, 86400};
    for (qint64 step : steps)
        if (width * double(step) / double(span) >= labelWidth * 1.6)
            return step;
    return 86400;
}

}  // namespace

QColor RoundTimeline::statusColour(CycleStatus status, bool light)
{
    switch (status) {
    case CycleStatus::Correct:
        return light ? QColor(200, 235, 200) : QColor(46, 125, 50);
    case CycleStatus::OutOfTime:
    case CycleStatus::OutOfOrder:
        return light ? QColor(255, 228, 170) : QColor(230, 149, 0);
    case CycleStatus::Incomplete:
        break;
    }
    return light ? QColor(248, 200, 200) : QColor(198, 40, 40);
}

double RoundTimeline::heightFor(const TimelineModel &model, double width, double mm)
{
    return layOut(model, width, mm).height;
}

RoundTimeline::Placement RoundTimeline::placement(const TimelineModel &model, double width, double mm)
{
    const Layout l = layOut(model, width, mm);
    Placement placed;
    for (const Layout::Placed &delay : l.delays)
        placed.delays.push_back(delay.box);
    placed.notes = l.notes;
    return placed;
}

void RoundTimeline::paint(QPainter &p, const QRectF &rect, double mm, const TimelineModel &m)
{
    const Layout l = layOut(m, rect.width(), mm);
    p.save();
    p.translate(rect.topLeft());
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF body(l.body), small(l.small), bold(l.bold);

    // Title, after a chip of the status colour (the status word is in the title).
    p.fillRect(QRectF(0, (bold.height() - 2.4 * mm) / 2, 2.4 * mm, 2.4 * mm), statusColour(m.status));
    p.setPen(Qt::black);
    p.setFont(l.bold);
    for (int i = 0; i < l.title.size(); ++i)
        p.drawText(QRectF(3 * mm, i * bold.height() * 1.15, rect.width() - 3 * mm, bold.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, l.title[i]);

    // Rows: their names at the left, alternate shading, the band of touches outside the route.
    p.setFont(l.body);
    const int rows = l.rows(m);
    for (int r = 0; r < rows; ++r) {
        const bool band = r == rows - 1;
        const QRectF row(0, l.chart.top() + r * l.rowHeight, l.chart.right(), l.rowHeight);
        if (band)
            p.fillRect(row, kBand);
        else if (r % 2 == 1)
            p.fillRect(row, QColor(248, 248, 248));
        const QString name = band ? QStringLiteral("Fora do roteiro") : m.rows.value(r);
        const QString shown = body.elidedText(name.isEmpty() && r == 0 ? QStringLiteral("Referência") : name,
                                              Qt::ElideRight, l.labelWidth - 2 * mm);
        p.setPen(band ? QColor(90, 90, 90) : Qt::black);
        p.drawText(QRectF(mm, row.top(), l.labelWidth - 2 * mm, l.rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   shown);
    }

    // Time axis with ticks whose labels have room.
    p.setFont(l.small);
    const qint64 step = tickStep(l.span, l.chart.width(), small.horizontalAdvance(QStringLiteral("00:00:00")));
    const QString format = step < 60 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm");
    const qint64 startSeconds = l.origin.time().msecsSinceStartOfDay() / 1000;
    qint64 first = ((startSeconds + step - 1) / step) * step - startSeconds;
    for (qint64 s = first; s <= l.span; s += step) {
        const double x = l.chart.left() + l.chart.width() * double(s) / double(l.span);
        p.setPen(QPen(kGrid, 0.15 * mm));
        p.drawLine(QPointF(x, l.chart.top()), QPointF(x, l.chart.bottom()));
        p.setPen(QColor(60, 60, 60));
        const QString label = l.origin.addSecs(s).toString(format);
        const double w = small.horizontalAdvance(label);
        p.drawText(QRectF(x - w / 2, l.chart.bottom() + 0.5 * mm, w, small.height()),
                   Qt::AlignCenter | Qt::TextDontClip, label);
    }
    p.setPen(QPen(QColor(120, 120, 120), 0.2 * mm));
    p.drawLine(l.chart.bottomLeft(), l.chart.bottomRight());
    p.drawLine(l.chart.topLeft(), l.chart.bottomLeft());

    // Legs between consecutive touches on the route, amber when the later one is out of time.
    const double markSize = 2.2 * mm;
    const Mark *previous = nullptr;
    for (const Mark &mark : m.marks) {
        if (mark.row < 0)
            continue;
        if (previous) {
            const bool late = !mark.delay.isEmpty();
            p.setPen(QPen(late ? kLate : kLeg, (late ? 0.7 : 0.3) * mm));
            p.drawLine(QPointF(l.x(previous->at), l.rowCentre(m, previous->row)),
                       QPointF(l.x(mark.at), l.rowCentre(m, mark.row)));
        }
        previous = &mark;
    }
    for (const auto &[row, at] : m.missed)
        drawMissed(p, QPointF(l.x(at), l.rowCentre(m, row)), markSize, mm);
    for (const Mark &mark : m.marks)
        drawMark(p, mark.shape, QPointF(l.x(mark.at), l.rowCentre(m, mark.row)), markSize);

    p.setFont(l.small);
    for (const Layout::Placed &delay : l.delays) {
        p.fillRect(delay.box, QColor(255, 255, 255, 220));
        p.setPen(QColor(150, 90, 0));
        p.drawText(delay.box, Qt::AlignCenter, delay.text);
    }

    // Notes, then the legend.
    double y = l.chart.bottom() + l.axisHeight;
    p.setFont(l.body);
    p.setPen(Qt::black);
    for (const QString &note : l.notes) {
        p.drawText(QRectF(0, y, rect.width(), l.line), Qt::AlignLeft | Qt::AlignVCenter, note);
        y += l.line;
    }
    p.setFont(l.small);
    for (const QString &legendLine : l.legend) {
        double x = 0;
        const double cy = y + small.height() * 0.7;
        for (const QString &entry : legendLine.split(u'\t')) {
            const QPointF at(x + 1.5 * mm, cy);
            const QString text = entry;
            if (text == QString::fromUtf8(kLegend[0]))
                drawMark(p, Mark::Shape::Touch, at, markSize);
            else if (text == QString::fromUtf8(kLegend[1]))
                drawMissed(p, at, markSize, mm);
            else if (text == QString::fromUtf8(kLegend[2]))
                drawMark(p, Mark::Shape::Inversion, at, markSize);
            else if (text == QString::fromUtf8(kLegend[3])) {
                p.setPen(QPen(kLate, 0.7 * mm));
                p.drawLine(QPointF(x, cy), QPointF(x + 3 * mm, cy));
            } else {
                drawMark(p, Mark::Shape::Outside, at, markSize);
            }
            p.setPen(QColor(60, 60, 60));
            const double w = small.horizontalAdvance(text);
            p.drawText(QRectF(x + 4 * mm, cy - small.height() / 2, w + mm, small.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, text);
            x += 4 * mm + w + 3 * mm;
        }
        y += small.height() * 1.4;
    }
    p.restore();
}

int RoundTimeline::paintStack(QPainter &p, const QRectF &area, double mm,
                              const std::vector<TimelineModel> &models, int from)
{
    double y = area.top();
    int i = from;
    for (; i < int(models.size()); ++i) {
        const double height = heightFor(models[size_t(i)], area.width(), mm);
        if (i > from && y + height > area.bottom())
            break;
        paint(p, QRectF(area.left(), y, area.width(), height), mm, models[size_t(i)]);
        y += height + 4 * mm;
    }
    return i;
}

bool RoundTimeline::writePng(const TimelineModel &model, const QString &path, QString *error)
{
    // About 150 dots an inch at 26 cm across: sharp on a screen, a page's width when printed.
    constexpr double mm = 6.0;
    constexpr int width = 1560;
    const double margin = 3 * mm;
    const int height = int(std::ceil(heightFor(model, width - 2 * margin, mm) + 2 * margin));
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        paint(p, QRectF(margin, margin, width - 2 * margin, height - 2 * margin), mm, model);
    }
    OutputFile file(path);
    if (!file.begin() || !image.save(&file, "PNG") || !file.commit()) {
        if (error)
            *error = file.error().isEmpty() ? OutputFile::failureText(path, QStringLiteral("PNG")) : file.error();
        return false;
    }
    return true;
}
