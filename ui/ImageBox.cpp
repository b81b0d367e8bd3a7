// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ImageBox.h"

#include <QPaintEvent>
#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImage::SetPicture(const TRgbImage& image) {
    picture_ = QImage(image.Pixels.data(), image.Width, image.Height, image.Width * 3,
                      QImage::Format_RGB888);
    resize(image.Width, image.Height);
    update();
}

void TImage::Clear() {
    picture_ = QImage();
    update();
}

void TImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect exposed = event->rect();
    if (picture_.isNull()) {
        painter.fillRect(exposed, palette().window());
        return;
    }
    painter.drawImage(exposed.topLeft(), picture_, exposed);
}
