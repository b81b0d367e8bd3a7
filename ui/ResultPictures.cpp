// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ResultPictures.h"

#include "ui/SvgArt.h"

QPixmap DrawResultPicture(TResultPicture picture, int size) {
    // In the order of TResultPicture.
    static constexpr const char* kFiles[] = {
        "hare.svg", "hedgehog.svg",   "turtle.svg",        "snail.svg",
        "star.svg", "happy-face.svg", "thinking-face.svg", "puzzled-face.svg",
    };
    return RenderArt(kFiles[static_cast<int>(picture)], QSize(size, size));
}
