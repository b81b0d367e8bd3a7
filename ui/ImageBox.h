// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An image control: shows a decoded picture at its own size, painting only the part that is
// exposed, so that a large picture costs nothing until it is scrolled into view.

#include <QImage>
#include <QWidget>

#include "platform/Jpeg.h"

class TImage : public QWidget {
    Q_OBJECT

public:
    explicit TImage(QWidget* parent = nullptr);

    // Shows the pixels of image, which are not copied: image must stay unchanged until the
    // next SetPicture or Clear. The control takes the picture's size.
    void SetPicture(const TRgbImage& image);
    void Clear();
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};
