// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ResultPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Every drawing is made on a 64 x 64 grid and scaled to the size asked for.
constexpr double kGrid = 64.0;

void Outline(QPainter& p, const QColor& colour, double width = 1.6) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// An ellipse with radii rx, ry around (x, y), turned by degrees.
void TurnedEllipse(QPainter& p, double x, double y, double rx, double ry, double degrees) {
    p.save();
    p.translate(x, y);
    p.rotate(degrees);
    p.drawEllipse(QPointF(0, 0), rx, ry);
    p.restore();
}

void Dot(QPainter& p, double x, double y, double r, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(x, y), r, r);
}

// A dark eye with a small white gleam.
void Eye(QPainter& p, double x, double y, double r) {
    Dot(p, x, y, r, QColor(0x26, 0x1a, 0x12));
    Dot(p, x + r * 0.35, y - r * 0.35, r * 0.35, Qt::white);
}

// The lower arc of an ellipse inside rect: a smile.
void Smile(QPainter& p, const QRectF& rect, double width, const QColor& colour) {
    Outline(p, colour, width);
    p.setBrush(Qt::NoBrush);
    p.drawArc(rect, 200 * 16, 140 * 16);
}

void SpeedLines(QPainter& p, const QColor& colour, std::initializer_list<QLineF> lines) {
    p.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap));
    for (const QLineF& line : lines) {
        p.drawLine(line);
    }
}

void DrawHare(QPainter& p) {
    const QColor fur(0xd9, 0xb4, 0x8f);
    const QColor edge(0x8a, 0x62, 0x40);
    SpeedLines(p, QColor(0x3a, 0x9a, 0xd9),
               {QLineF(2, 30, 13, 30), QLineF(4, 38, 15, 38), QLineF(2, 46, 11, 46)});
    Outline(p, edge);
    p.setBrush(fur);
    TurnedEllipse(p, 22, 50, 10, 4, 20);     // hind leg stretched back
    TurnedEllipse(p, 32, 40, 15, 10, -12);   // body
    TurnedEllipse(p, 48, 50, 8, 3, 25);      // front legs reaching forward
    TurnedEllipse(p, 40, 14, 3.6, 10, -28);  // ears
    TurnedEllipse(p, 46, 12, 3.6, 10.5, -10);
    p.setBrush(QColor(0xf4, 0xa6, 0xb8));
    p.setPen(Qt::NoPen);
    TurnedEllipse(p, 40.5, 14.5, 1.6, 7, -28);
    TurnedEllipse(p, 46.3, 12.5, 1.6, 7.5, -10);
    Outline(p, edge);
    p.setBrush(fur);
    TurnedEllipse(p, 47, 29, 9.5, 8, 8);  // head
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(17, 36), 4.5, 4.5);  // tail
    Eye(p, 49.5, 26.5, 1.9);
    Dot(p, 56, 30, 1.7, QColor(0xe0, 0x6c, 0x8a));  // nose
}

void DrawHedgehog(QPainter& p) {
    // Spikes: a zigzag over the back, between the body's outline and a larger one.
    QPolygonF spikes;
    const double cx = 30, cy = 44;
    const int count = 11;
    spikes << QPointF(cx - 20, cy + 4);
    for (int i = 0; i <= 2 * count; ++i) {
        const double angle = kPi + kPi * 0.85 * i / (2 * count);
        const double grow = i % 2 == 1 ? 8.0 : 0.0;
        spikes << QPointF(cx + (20 + grow) * std::cos(angle), cy + (15 + grow) * std::sin(angle));
    }
    spikes << QPointF(cx + 12, cy);
    Outline(p, QColor(0x4a, 0x2f, 0x1c));
    p.setBrush(QColor(0x7b, 0x52, 0x34));
    p.drawPolygon(spikes);
    const QColor skin(0xf1, 0xd3, 0xa8);
    Outline(p, QColor(0x9c, 0x74, 0x48));
    p.setBrush(QColor(0x3b, 0x2a, 0x1e));
    TurnedEllipse(p, 24, 56, 4, 2.5, 0);  // feet
    TurnedEllipse(p, 40, 56, 4, 2.5, 0);
    p.setBrush(skin);
    QPainterPath face;
    face.moveTo(36, 34);
    face.cubicTo(46, 34, 52, 40, 59, 45);
    face.cubicTo(54, 50, 46, 55, 36, 54);
    face.closeSubpath();
    p.drawPath(face);
    TurnedEllipse(p, 30, 50, 14, 5, 0);  // belly
    Eye(p, 46, 41, 2.1);
    Dot(p, 59, 45, 2.6, QColor(0x26, 0x1a, 0x12));  // nose
    Smile(p, QRectF(46, 42, 8, 6), 1.2, QColor(0x6d, 0x4c, 0x2f));
}

void DrawTurtle(QPainter& p) {
    const QColor skin(0xa5, 0xd6, 0x7a);
    const QColor skinEdge(0x55, 0x8b, 0x2f);
    Outline(p, skinEdge);
    p.setBrush(skin);
    p.drawPolygon(QPolygonF({QPointF(9, 46), QPointF(2, 50), QPointF(10, 51)}));  // tail
    TurnedEllipse(p, 19, 51, 5, 4.5, 0);                                          // legs
    TurnedEllipse(p, 42, 51, 5, 4.5, 0);
    TurnedEllipse(p, 48, 43, 7, 4, -15);     // neck
    p.drawEllipse(QPointF(54, 38), 7, 6.5);  // head
    Eye(p, 56, 36, 1.8);
    Smile(p, QRectF(52, 37, 7, 5), 1.2, skinEdge);
    // The shell: an upper half ellipse with plates drawn inside it.
    QPainterPath shell;
    shell.moveTo(8, 47);
    shell.arcTo(QRectF(8, 22, 44, 50), 180, -180);
    shell.closeSubpath();
    QRadialGradient green(QPointF(26, 30), 30);
    green.setColorAt(0, QColor(0x8b, 0xc3, 0x4a));
    green.setColorAt(1, QColor(0x38, 0x8e, 0x3c));
    Outline(p, QColor(0x1b, 0x5e, 0x20));
    p.setBrush(green);
    p.drawPath(shell);
    p.save();
    p.setClipPath(shell);
    Outline(p, QColor(0x1b, 0x5e, 0x20), 1.4);
    p.setBrush(Qt::NoBrush);
    QPolygonF plate;
    for (int i = 0; i < 6; ++i) {
        const double angle = kPi / 3 * i;
        plate << QPointF(30 + 7 * std::cos(angle), 37 + 6 * std::sin(angle));
    }
    p.drawPolygon(plate);
    for (const QPointF& corner : plate) {
        const QPointF away = corner + (corner - QPointF(30, 37)) * 3;
        p.drawLine(corner, away);
    }
    p.restore();
    Outline(p, QColor(0x1b, 0x5e, 0x20));
    p.setBrush(QColor(0x55, 0x8b, 0x2f));
    p.drawRoundedRect(QRectF(6, 45, 48, 5), 2.5, 2.5);  // rim
}

void DrawSnail(QPainter& p) {
    const QColor body(0xdc, 0xed, 0xc8);
    const QColor bodyEdge(0x7c, 0xb3, 0x42);
    Outline(p, bodyEdge, 1.6);
    p.drawLine(QPointF(51, 38), QPointF(48, 25));  // eye stalks
    p.drawLine(QPointF(55, 38), QPointF(58, 26));
    Eye(p, 48, 24, 2.4);
    Eye(p, 58, 25, 2.4);
    Outline(p, bodyEdge);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 48, 50, 9), 4.5, 4.5);
    TurnedEllipse(p, 53, 46, 6, 10, 12);  // head
    Smile(p, QRectF(50, 43, 7, 6), 1.2, QColor(0x55, 0x8b, 0x2f));
    // The shell with its spiral.
    QRadialGradient orange(QPointF(22, 30), 18);
    orange.setColorAt(0, QColor(0xff, 0xc0, 0x70));
    orange.setColorAt(1, QColor(0xf0, 0x80, 0x30));
    Outline(p, QColor(0xa0, 0x52, 0x14));
    p.setBrush(orange);
    p.drawEllipse(QPointF(26, 35), 15, 15);
    QPainterPath spiral;
    for (double angle = 0; angle <= 3.2 * kPi; angle += 0.1) {
        const double r = 12.5 - angle * 1.15;
        const QPointF point(26 + r * std::cos(angle), 35 + r * std::sin(angle));
        if (angle == 0) {
            spiral.moveTo(point);
        } else {
            spiral.lineTo(point);
        }
    }
    Outline(p, QColor(0xa0, 0x52, 0x14), 1.8);
    p.setBrush(Qt::NoBrush);
    p.drawPath(spiral);
}

// A small four-pointed sparkle.
void Sparkle(QPainter& p, double x, double y, double r) {
    QPolygonF star;
    for (int i = 0; i < 8; ++i) {
        const double angle = kPi / 4 * i;
        const double reach = i % 2 == 0 ? r : r * 0.3;
        star << QPointF(x + reach * std::cos(angle), y + reach * std::sin(angle));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xc1, 0x07));
    p.drawPolygon(star);
}

void Cheeks(QPainter& p, double leftX, double rightX, double y, double r) {
    Dot(p, leftX, y, r, QColor(0xff, 0x80, 0x80, 0x90));
    Dot(p, rightX, y, r, QColor(0xff, 0x80, 0x80, 0x90));
}

void DrawStar(QPainter& p) {
    Sparkle(p, 8, 10, 6);
    Sparkle(p, 57, 9, 5);
    Sparkle(p, 57, 56, 4);
    Sparkle(p, 7, 54, 4.5);
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double angle = -kPi / 2 + kPi / 5 * i;
        const double r = i % 2 == 0 ? 28.0 : 12.5;
        star << QPointF(32 + r * std::cos(angle), 35 + r * std::sin(angle));
    }
    QRadialGradient gold(QPointF(30, 32), 28);
    gold.setColorAt(0, QColor(0xff, 0xf5, 0x9d));
    gold.setColorAt(0.6, QColor(0xff, 0xca, 0x28));
    gold.setColorAt(1, QColor(0xff, 0xa0, 0x00));
    Outline(p, QColor(0xe6, 0x5c, 0x00), 1.8);
    p.setBrush(gold);
    p.drawPolygon(star);
    Eye(p, 27.5, 33, 2.1);
    Eye(p, 36.5, 33, 2.1);
    Cheeks(p, 24, 40, 38.5, 2);
    Smile(p, QRectF(26.5, 32, 11, 9), 1.8, QColor(0x8d, 0x3b, 0x00));
}

// A round face with its outline; the features are drawn by the caller.
void Face(QPainter& p, QPointF centre, double r, const QColor& light, const QColor& dark,
          const QColor& edge) {
    QRadialGradient fill(centre - QPointF(r / 3, r / 3), r * 1.4);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    Outline(p, edge, 1.8);
    p.setBrush(fill);
    p.drawEllipse(centre, r, r);
}

void DrawHappyFace(QPainter& p) {
    Face(p, QPointF(32, 32), 27, QColor(0xc5, 0xf0, 0xa4), QColor(0x66, 0xbb, 0x4a),
         QColor(0x2e, 0x7d, 0x32));
    Eye(p, 23, 26, 3.4);
    Eye(p, 41, 26, 3.4);
    Cheeks(p, 17, 47, 36, 3.4);
    // A wide open smile.
    QPainterPath mouth;
    mouth.moveTo(19, 36);
    mouth.cubicTo(22, 52, 42, 52, 45, 36);
    mouth.closeSubpath();
    Outline(p, QColor(0x1b, 0x5e, 0x20), 1.8);
    p.setBrush(QColor(0x8e, 0x24, 0x24));
    p.drawPath(mouth);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(22, 36.8, 20, 3.2));
}

void DrawThinkingFace(QPainter& p) {
    Face(p, QPointF(30, 34), 26, QColor(0xff, 0xf3, 0xb0), QColor(0xff, 0xc8, 0x2c),
         QColor(0xc7, 0x8a, 0x00));
    Eye(p, 23, 29, 3.2);  // eyes looking up at the thought
    Eye(p, 39, 29, 3.2);
    Outline(p, QColor(0x8d, 0x5a, 0x00), 2.2);
    p.drawLine(QPointF(22, 46), QPointF(39, 44));  // a flat, unsure mouth
    Outline(p, QColor(0x8d, 0x5a, 0x00), 1.8);
    p.drawLine(QPointF(35, 21), QPointF(43, 19));  // one eyebrow raised
    // Thought dots rising to the corner.
    Dot(p, 52, 16, 2.2, QColor(0x90, 0xa4, 0xae));
    Dot(p, 57, 10, 2.8, QColor(0x90, 0xa4, 0xae));
    Dot(p, 60, 3.5, 3.2, QColor(0x90, 0xa4, 0xae));
}

void DrawPuzzledFace(QPainter& p) {
    Face(p, QPointF(28, 36), 25, QColor(0xff, 0xe0, 0xc0), QColor(0xff, 0xa7, 0x6a),
         QColor(0xc5, 0x5a, 0x11));
    Eye(p, 20, 32, 3.8);  // one eye wide open, the other small
    Eye(p, 36, 33, 2.4);
    Outline(p, QColor(0x5d, 0x2e, 0x0b), 1.8);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(15, 21, 10, 7), 20 * 16, 140 * 16);  // one eyebrow raised high
    p.drawLine(QPointF(31, 26), QPointF(40, 28.5));       // the other frowning
    // A wavy mouth.
    QPainterPath mouth;
    mouth.moveTo(18, 47);
    mouth.cubicTo(22, 43, 25, 51, 29, 47);
    mouth.cubicTo(33, 43, 36, 51, 39, 46);
    Outline(p, QColor(0x5d, 0x2e, 0x0b), 2.2);
    p.drawPath(mouth);
    // A big question mark over the corner.
    QPainterPath hook;
    hook.moveTo(47, 12);
    hook.cubicTo(47, 2, 62, 2, 61, 11);
    hook.cubicTo(60.5, 16, 54, 16, 54, 23);
    p.setPen(QPen(QColor(0x1e, 0x88, 0xe5), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(hook);
    Dot(p, 54, 29.5, 2.6, QColor(0x1e, 0x88, 0xe5));
}

}  // namespace

QPixmap DrawResultPicture(TResultPicture picture, int size) {
    // In the order of TResultPicture.
    using Drawing = void (*)(QPainter&);
    static constexpr Drawing kDrawings[] = {DrawHare,         DrawHedgehog,   DrawTurtle,
                                            DrawSnail,        DrawStar,       DrawHappyFace,
                                            DrawThinkingFace, DrawPuzzledFace};
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kGrid, size / kGrid);
    kDrawings[static_cast<int>(picture)](p);
    return pixmap;
}
