#include "ui/ButtonGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// A transparent square pixmap with an antialiased painter working on a grid x grid area.
class GlyphCanvas {
public:
    GlyphCanvas(int size, double grid) : Pixmap(size, size) {
        Pixmap.fill(Qt::transparent);
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
