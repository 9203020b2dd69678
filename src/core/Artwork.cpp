#include "core/Artwork.h"

#include "core/TorvelApplication.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>

namespace Artwork {

namespace {

qreal deviceRatio()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

// A transparent pixmap of `size` device-independent pixels, sharp at the screen's pixel ratio.
QPixmap transparentPixmap(const QSize &size)
{
    const qreal ratio = deviceRatio();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawEmblem(QPainter &p, const QRectF &r)
{
    // A touch memory: a steel button with a darker rim, seen from above.
    QRadialGradient steel(r.center() - QPointF(r.width() * 0.15, r.height() * 0.15),
                          r.width() * 0.6);
    steel.setColorAt(0, QColor(235, 238, 242));
    steel.setColorAt(1, QColor(120, 128, 140));
    p.setPen(QPen(QColor(40, 60, 90), r.width() * 0.05));
    p.setBrush(steel);
    p.drawEllipse(r.adjusted(r.width() * 0.05, r.height() * 0.05, -r.width() * 0.05,
                             -r.height() * 0.05));
    p.setPen(QPen(QColor(60, 70, 85), r.width() * 0.02));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(r.width() * 0.2, r.height() * 0.2, -r.width() * 0.2,
                             -r.height() * 0.2));
    // The round's path: a check mark.
    QPainterPath check;
    check.moveTo(r.left() + r.width() * 0.33, r.top() + r.height() * 0.52);
    check.lineTo(r.left() + r.width() * 0.46, r.top() + r.height() * 0.65);
    check.lineTo(r.left() + r.width() * 0.69, r.top() + r.height() * 0.38);
    p.setPen(QPen(QColor(20, 120, 60), r.width() * 0.08, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.drawPath(check);
}

}  // namespace

QPixmap logo(int size)
{
    QPixmap pixmap = transparentPixmap(QSize(size, size));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawEmblem(p, QRectF(0, 0, size, size));
    return pixmap;
}

QPixmap splash()
{
    const QSize size(480, 260);
    const qreal ratio = deviceRatio();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(28, 58, 102));
    sky.setColorAt(1, QColor(12, 28, 52));
    p.fillRect(QRect(QPoint(0, 0), size), sky);
    drawEmblem(p, QRectF(30, 60, 140, 140));
    QFont title(QStringLiteral("Sans Serif"), 36, QFont::Bold);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(190, 70, 280, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("TORVEL"));
    QFont subtitle(QStringLiteral("Sans Serif"), 15);
    p.setFont(subtitle);
    p.setPen(QColor(200, 215, 235));
    p.drawText(QRectF(190, 130, 280, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Controle de Rondas"));
    QFont small(QStringLiteral("Sans Serif"), 10);
    p.setFont(small);
    p.drawText(QRectF(190, 200, 280, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Versão %1 - Carregando...").arg(TorvelApplication::version()));
    return pixmap;
}

namespace {

QPixmap tilePixmap(Tile tile, int size)
{
    QPixmap pixmap = transparentPixmap(QSize(size, size));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    static const QColor colours[] = {QColor(41, 98, 168), QColor(22, 130, 110),
                                     QColor(180, 60, 50),  QColor(110, 70, 160),
                                     QColor(200, 120, 30), QColor(60, 110, 60),
                                     QColor(170, 50, 110), QColor(50, 90, 130),
                                     QColor(20, 120, 150)};
    QLinearGradient fill(0, 0, 0, 64);
    const QColor base = colours[int(tile)];
    fill.setColorAt(0, base.lighter(125));
    fill.setColorAt(1, base);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    QPen line(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    switch (tile) {
    case Tile::Routes: {
        QPainterPath path;
        path.moveTo(14, 48);
        path.cubicTo(14, 30, 50, 40, 50, 16);
        p.drawPath(path);
        p.setBrush(Qt::white);
        for (QPointF dot : {QPointF(14, 48), QPointF(30, 36), QPointF(50, 16)})
            p.drawEllipse(dot, 4.5, 4.5);
        break;
    }
    case Tile::Communication:
        p.drawLine(QPointF(14, 24), QPointF(48, 24));
        p.drawPolyline(QPolygonF({QPointF(40, 16), QPointF(48, 24), QPointF(40, 32)}));
        p.drawLine(QPointF(50, 42), QPointF(16, 42));
        p.drawPolyline(QPolygonF({QPointF(24, 34), QPointF(16, 42), QPointF(24, 50)}));
        break;
    case Tile::DeleteCollections:
        p.drawRect(QRectF(20, 22, 24, 28));
        p.drawLine(QPointF(16, 18), QPointF(48, 18));
        p.drawLine(QPointF(28, 14), QPointF(36, 14));
        p.drawLine(QPointF(28, 28), QPointF(28, 44));
        p.drawLine(QPointF(36, 28), QPointF(36, 44));
        break;
    case Tile::ConsistencyReport:
        for (int i = 0; i < 3; ++i) {
            const qreal y = 18 + i * 14;
            p.drawPolyline(QPolygonF({QPointF(14, y), QPointF(18, y + 4), QPointF(25, y - 4)}));
            p.drawLine(QPointF(31, y), QPointF(50, y));
        }
        break;
    case Tile::Collaborators:
        p.drawEllipse(QPointF(32, 22), 8, 8);
        p.drawArc(QRectF(16, 34, 32, 26), 0, 180 * 16);
        break;
    case Tile::CollectionReport:
        p.drawPolyline(QPolygonF({QPointF(40, 12), QPointF(18, 12), QPointF(18, 52),
                                  QPointF(46, 52), QPointF(46, 18), QPointF(40, 12)}));
        for (int y : {26, 34, 42})
            p.drawLine(QPointF(24, y), QPointF(40, y));
        break;
    case Tile::Location: {
        QPainterPath pin;
        pin.moveTo(32, 54);
        pin.cubicTo(20, 38, 16, 32, 16, 26);
        pin.arcTo(QRectF(16, 10, 32, 32), 180, -180);
        pin.cubicTo(48, 32, 44, 38, 32, 54);
        p.drawPath(pin);
        p.drawEllipse(QPointF(32, 26), 5, 5);
        break;
    }
    case Tile::AnalyticByCollector:
        p.drawEllipse(QPointF(28, 28), 12, 12);
        p.drawLine(QPointF(37, 37), QPointF(50, 50));
        break;
    case Tile::DayBoard:
        // A timeline: stops down, time across, the touches joined.
        p.setPen(QPen(QColor(255, 255, 255, 140), 2));
        for (int y : {18, 32, 46})
            p.drawLine(QPointF(12, y), QPointF(52, y));
        p.setPen(line);
        p.drawPolyline(QPolygonF({QPointF(18, 18), QPointF(30, 32), QPointF(44, 46)}));
        p.setBrush(base);
        for (QPointF dot : {QPointF(18, 18), QPointF(30, 32), QPointF(44, 46)})
            p.drawEllipse(dot, 4, 4);
        break;
    }
    return pixmap;
}

}  // namespace

QPixmap terminalPicture(int model, int height)
{
    const int width = height * 3 / 4;
    QPixmap pixmap = transparentPixmap(QSize(width, height));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width / 90.0, height / 120.0);
    static const QColor bodies[] = {QColor(50, 60, 75), QColor(30, 90, 150), QColor(150, 40, 40),
                                    QColor(30, 120, 80)};
    const QColor body = bodies[qBound(0, model, 3)];
    QLinearGradient shade(0, 0, 90, 0);
    shade.setColorAt(0, body.lighter(140));
    shade.setColorAt(1, body);
    p.setPen(QPen(body.darker(160), 2));
    p.setBrush(shade);
    if (model == 2 || model == 3) {
        // The baton models: a long grip with the reading tip at the top.
        p.drawRoundedRect(QRectF(30, 6, 30, 108), 12, 12);
        p.setBrush(QColor(190, 195, 200));
        p.drawEllipse(QRectF(34, 10, 22, 22));
        p.setBrush(QColor(255, 200, 40));
        p.drawEllipse(QRectF(40, 44, 10, 10));
    } else {
        // The pocket terminals: a case with a display and the probe.
        p.drawRoundedRect(QRectF(14, 20, 62, 92), 10, 10);
        p.setBrush(QColor(170, 210, 170));
        p.drawRect(QRectF(24, 32, 42, 26));
        p.setBrush(QColor(190, 195, 200));
        p.drawEllipse(QRectF(33, 2, 24, 24));
        p.setBrush(body.darker(130));
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(24 + i * 15, 72, 12, 10), 3, 3);
    }
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    static const char *const names[] = {"Q90", "LUMET", "VB", "VBN"};
    p.drawText(QRectF(0, 88, 90, 16), Qt::AlignCenter, QString::fromLatin1(names[qBound(0, model, 3)]));
    return pixmap;
}

QIcon tileIcon(Tile tile)
{
    QIcon icon;
    for (int size : {32, 48, 64, 96})
        icon.addPixmap(tilePixmap(tile, size));
    return icon;
}

}  // namespace Artwork
