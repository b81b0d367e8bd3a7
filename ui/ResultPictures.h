// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results window's pictures, SVG files of ui/art: four for speed (a hare, a hedgehog, a
// turtle, a snail) and four for correctness (a bright star, a smiling face, a thinking face, a
// puzzled face), so that a child reads the result at a glance.

#include <QPixmap>

enum class TResultPicture {
    Fast,
    Normal,
    Slow,
    VerySlow,
    Genius,
    Sapiens,
    Dumb,
    Idiot,
};

// The picture on a transparent square of size x size pixels.
QPixmap DrawResultPicture(TResultPicture picture, int size = 64);
