#pragma once
// Small pictures on the station's buttons, drawn in code.

#include <QPixmap>

// The test chooser's start picture: a sheet of paper with a pencil writing on it.
QPixmap DrawStartTestGlyph(int size = 32);
// A green check mark, the glyph of an OK button.
QPixmap DrawCheckMarkGlyph(int size = 16);
