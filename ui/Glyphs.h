#pragma once
// The pictures on the test window's buttons, drawn by the station itself.

#include <QIcon>

// A green tick, 18 by 18, with a grey outline of the same tick for the disabled button.
QIcon AnswerGlyph();
// 28 by 14: a red dot, two blue dots and an empty circle, with a red arrow leaping from the
// red dot to the circle.
QIcon DeferGlyph();
