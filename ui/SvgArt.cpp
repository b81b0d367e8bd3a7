// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SvgArt.h"

#include <QPainter>
#include <QString>
#include <QSvgRenderer>

QPixmap RenderArt(const char* fileName, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/art/") + QString::fromLatin1(fileName));
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    return pixmap;
}
