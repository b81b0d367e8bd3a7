// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ButtonGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>

namespace {

QPixmap Transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A transparent square pixmap with an antialiased painter working on a grid x grid area.
class GlyphCanvas {
public:
    GlyphCanvas(int size, double grid) : Pixmap(Transparent(size, size)) {
        Painter.begin(&Pixmap);
        Painter.setRenderHint(QPainter::Antialiasing);
        Painter.scale(size / grid, size / grid);
    }
    QPixmap Take() {
        Painter.end();
        return Pixmap;
    }

    QPixmap Pixmap;
    QPainter Painter;
};

QPen RoundPen(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath TickPath() {
    QPainterPath tick;
    tick.moveTo(3, 9.5);
    tick.lineTo(7.5, 14);
    tick.lineTo(15, 4);
    return tick;
}

// The answer tick drawn as a thick stroke, or only the outline of that stroke.
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
        painter.setPen(RoundPen(color, 3.5));
        painter.drawPath(TickPath());
    }
    return pixmap;
}

}  // namespace

QPixmap DrawStartTestGlyph(int size) {
    GlyphCanvas canvas(size, 32);
    QPainter& p = canvas.Painter;
    // The sheet, with a folded corner and written lines.
    QPolygonF sheet(
        {QPointF(3, 2), QPointF(18, 2), QPointF(23, 7), QPointF(23, 30), QPointF(3, 30)});
    p.setPen(RoundPen(QColor(0x54, 0x6e, 0x7a), 1.2));
    p.setBrush(Qt::white);
    p.drawPolygon(sheet);
    p.setBrush(QColor(0xcf, 0xd8, 0xdc));
    p.drawPolygon(QPolygonF({QPointF(18, 2), QPointF(18, 7), QPointF(23, 7)}));
    p.setPen(RoundPen(QColor(0x90, 0xa4, 0xae), 1.4));
    for (double y : {11.0, 15.5, 20.0}) {
        p.drawLine(QPointF(6.5, y), QPointF(19.5, y));
    }
    p.setPen(RoundPen(QColor(0x43, 0xa0, 0x47), 2.0));
    p.drawPolyline(QPolygonF({QPointF(6.5, 25), QPointF(9, 27.5), QPointF(13.5, 22.5)}));
    // The pencil, lying across the sheet with its point on the last line.
    p.save();
    p.translate(15.5, 26.5);
    p.rotate(-50);
    p.setPen(RoundPen(QColor(0x6d, 0x4c, 0x41), 1.0));
    p.setBrush(QColor(0xf3, 0xc6, 0x8f));
    p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(5, -2.6), QPointF(5, 2.6)}));  // wood
    p.setBrush(QColor(0x37, 0x47, 0x4f));
    p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(1.8, -0.95), QPointF(1.8, 0.95)}));
    p.setBrush(QColor(0xff, 0xb3, 0x00));
    p.drawRect(QRectF(5, -2.6, 11, 5.2));  // body
    p.setBrush(QColor(0xb0, 0xbe, 0xc5));
    p.drawRect(QRectF(16, -2.6, 2.2, 5.2));  // ferrule
    p.setBrush(QColor(0xf4, 0x8f, 0xb1));
    p.drawRoundedRect(QRectF(18.2, -2.6, 3.2, 5.2), 1.2, 1.2);  // eraser
    p.restore();
    return canvas.Take();
}

QPixmap DrawCheckMarkGlyph(int size) {
    GlyphCanvas canvas(size, 16);
    QPainter& p = canvas.Painter;
    QPainterPath tick;
    tick.moveTo(2.5, 8.5);
    tick.lineTo(6.5, 12.5);
    tick.lineTo(13.5, 3.5);
    p.setPen(RoundPen(QColor(0x1b, 0x5e, 0x20), 3.6));
    p.drawPath(tick);
    p.setPen(RoundPen(QColor(0x4c, 0xaf, 0x50), 2.2));
    p.drawPath(tick);
    return canvas.Take();
}

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
    painter.setPen(RoundPen(red, 1.5));
    QPainterPath leap;
    leap.moveTo(3.5, 7.5);
    leap.cubicTo(7, 0.5, 19, 0.5, 23.5, 6.5);
    painter.drawPath(leap);
    painter.setBrush(red);
    painter.drawPolygon(QPolygonF({QPointF(24.5, 8), QPointF(20.5, 5.5), QPointF(25, 3.5)}));
    return QIcon(pixmap);
}
