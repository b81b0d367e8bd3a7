#include "ui/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>

namespace {

QPixmap Transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPainterPath TickPath() {
    QPainterPath tick;
    tick.moveTo(3, 9.5);
    tick.lineTo(7.5, 14);
    tick.lineTo(15, 4);
    return tick;
}

// The tick drawn as a thick stroke, or only the outline of that stroke.
QPixmap Tick(const QColor& color, bool outlineOnly) {
    QPixmap pixmap = Transparent(18, 18);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (outlineOnly) {
        QPainterPathStroker stroker;
        stroker.setWidth(3.5);
        stroker.setCapStyle(Qt::RoundCap);
        stroker.setJoinStyle(Qt::RoundJoin);
        painter.setPen(QPen(color, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(stroker.createStroke(TickPath()).simplified());
    } else {
        painter.setPen(QPen(color, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(TickPath());
    }
    return pixmap;
}

}  // namespace

QIcon AnswerGlyph() {
    QIcon icon;
    icon.addPixmap(Tick(QColor(0, 160, 0), false), QIcon::Normal);
    icon.addPixmap(Tick(QColor(128, 128, 128), true), QIcon::Disabled);
    return icon;
}

QIcon DeferGlyph() {
    QPixmap pixmap = Transparent(28, 14);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor red(220, 0, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(red);
    painter.drawEllipse(QPointF(3.5, 10.5), 2.5, 2.5);
    painter.setBrush(QColor(0, 0, 200));
    painter.drawEllipse(QPointF(10.5, 10.5), 2.5, 2.5);
    painter.drawEllipse(QPointF(17.5, 10.5), 2.5, 2.5);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(24.5, 10.5), 2.5, 2.5);

    // The leap: an arc over the blue dots that lands on the circle, with its arrow head.
    painter.setPen(QPen(red, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath leap;
    leap.moveTo(3.5, 7.5);
    leap.cubicTo(7, 0.5, 19, 0.5, 23.5, 6.5);
    painter.drawPath(leap);
    painter.setBrush(red);
    painter.drawPolygon(QPolygonF({QPointF(24.5, 8), QPointF(20.5, 5.5), QPointF(25, 3.5)}));
    return QIcon(pixmap);
}
