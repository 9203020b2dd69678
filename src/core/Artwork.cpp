#include "core/Artwork.h"

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
    const qreal ratio = deviceRatio();
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
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
               QStringLiteral("Versão 5.0.3 - Carregando..."));
    return pixmap;
}

}  // namespace Artwork
