#include "platform/Report.h"

#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QFileInfo>

namespace {

// Layout in device pixels derived from the page in millimetres.
struct Page {
    QRectF area;  // printable area
    double mm;    // pixels per millimetre
};

Page pageOf(QPagedPaintDevice *device)
{
    const QRectF paint = QRectF(0, 0, device->width(), device->height());
    const double mm = device->width() / device->widthMM();
    return {paint.adjusted(12 * mm, 10 * mm, -12 * mm, -12 * mm), mm};
}

}  // namespace

ReportRenderer::ReportRenderer(ReportDefinition definition, QList<QStringList> rows)
    : m_def(std::move(definition)), m_rows(std::move(rows))
{
    if (!m_def.printedAt.isValid())
        m_def.printedAt = SystemServices::now();
}

QString ReportRenderer::cut(const QString &text, const QFontMetricsF &metrics, double width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    int lo = 0, hi = int(text.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return text.left(lo);
}

int ReportRenderer::render(QPagedPaintDevice *device) const
{
    if (isEmpty())
        return 0;
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageOrientation(QPageLayout::Portrait);
    QPainter p(device);
    const Page page = pageOf(device);
    const QRectF area = page.area;

    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(8);
    QFont bold = body;
    bold.setBold(true);
    QFont big = body;
    big.setPointSizeF(13);
    big.setBold(true);
    const double line = QFontMetricsF(body, device).height() * 1.25;

    // Column boundaries from the normalised shares.
    double shares = 0;
    for (const ReportColumn &c : m_def.columns)
        shares += c.width;
    QList<QPair<double, double>> columns;  // left, width
    double x = area.left();
    for (const ReportColumn &c : m_def.columns) {
        const double w = shares > 0 ? area.width() * c.width / shares : 0;
        columns.append({x, w});
        x += w;
    }
    const double gap = 1.2 * page.mm;

    auto drawCells = [&](const QStringList &cells, double y, const QFont &font) {
        p.setFont(font);
        const QFontMetricsF metrics(font, device);
        for (int c = 0; c < columns.size(); ++c) {
            double width = columns[c].second;
            if (m_def.spillIntoEmptyColumns && (m_def.columns[c].alignment & Qt::AlignLeft))
                for (int n = c + 1; n < columns.size() && cells.value(n).isEmpty(); ++n)
                    width += columns[n].second;
            const QRectF cell(columns[c].first, y, width - gap, line);
            const QString text = cut(cells.value(c), metrics, cell.width());
            p.drawText(cell, int(m_def.columns[c].alignment | Qt::AlignVCenter), text);
        }
    };

    int pageNumber = 0;
    int printed = 0;
    double y = 0;
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
        const QRectF header(area.left(), y, area.width(), line * 2);
        p.drawText(header, Qt::AlignLeft | Qt::AlignTop, m_def.installation);
        p.drawText(header, Qt::AlignRight | Qt::AlignTop,
                   m_def.printedAt.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) + "\n" +
                       QString::fromUtf8("Página ") + QString::number(pageNumber));
        p.setFont(big);
        p.drawText(header, Qt::AlignHCenter | Qt::AlignTop, m_def.title);
        y += line * 2 + page.mm;
        p.setPen(QPen(Qt::black, 0.3 * page.mm));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(Qt::black);
        y += page.mm * 2;
        if (pageNumber == 1)
            for (const QString &t : m_def.titleLines) {
                p.setFont(bold);
                p.drawText(QRectF(area.left(), y, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                           cut(t, QFontMetricsF(bold, device), area.width()));
                y += line;
            }
        if (!m_def.columns.isEmpty() && (pageNumber == 1 || m_def.headingsOnEveryPage)) {
            QStringList headings;
            for (const ReportColumn &c : m_def.columns)
                headings << c.heading;
            y += page.mm;
            drawCells(headings, y, bold);
            y += line;
            p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            y += page.mm;
        }
    };
    const double bottom = area.bottom() - (m_def.countInFooter ? line * 1.5 : 0);

    startPage();
    for (int r = 0; r < m_rows.size(); ++r) {
        if (y + line > bottom || (m_def.pageBreakPerRow && r > 0))
            startPage();
        if (m_def.shadeAlternateRows && r % 2 == 1)
            p.fillRect(QRectF(area.left(), y, area.width(), line), QColor(235, 235, 235));
        const bool strong = m_def.boldRow && m_def.boldRow(r);
        drawCells(m_rows[r], y, strong ? bold : body);
        y += line;
        ++printed;
    }
    for (const QString &s : m_def.summaryLines) {
        if (y + line > bottom)
            startPage();
        p.setFont(bold);
        p.drawText(QRectF(area.left(), y, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, s);
        y += line;
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
