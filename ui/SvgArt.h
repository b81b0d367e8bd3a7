// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's pictures and button glyphs are SVG files in ui/art, compiled into the program as
// Qt resources, so that a designer can edit them without touching the code.

#include <QPixmap>
#include <QSize>

// The art file name (for example "hare.svg") drawn on a transparent pixmap of the given size.
// A file that is missing or does not parse gives a transparent pixmap.
QPixmap RenderArt(const char* fileName, QSize size);
