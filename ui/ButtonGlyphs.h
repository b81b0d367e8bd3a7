// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small pictures on the station's buttons, SVG files of ui/art.

#include <QIcon>
#include <QPixmap>

// The test chooser's start picture: a sheet of paper with a pencil writing on it.
QPixmap DrawStartTestGlyph(int size = 32);
// A green check mark, the glyph of an OK button.
QPixmap DrawCheckMarkGlyph(int size = 16);
// The test window's answer button: a green tick, 18 by 18, with a grey outline of the same
// tick for the disabled button.
QIcon AnswerGlyph();
// The test window's defer button, 28 by 14: a red dot, two blue dots and an empty circle, with
// a red arrow leaping from the red dot to the circle.
QIcon DeferGlyph();
