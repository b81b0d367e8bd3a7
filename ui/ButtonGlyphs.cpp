// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ButtonGlyphs.h"

#include "ui/SvgArt.h"

QPixmap DrawStartTestGlyph(int size) {
    return RenderArt("start-test.svg", QSize(size, size));
}

QPixmap DrawCheckMarkGlyph(int size) {
    return RenderArt("check-mark.svg", QSize(size, size));
}

QIcon AnswerGlyph() {
    QIcon icon;
    icon.addPixmap(RenderArt("answer.svg", QSize(18, 18)), QIcon::Normal);
    icon.addPixmap(RenderArt("answer-disabled.svg", QSize(18, 18)), QIcon::Disabled);
    return icon;
}

QIcon DeferGlyph() {
    return QIcon(RenderArt("defer.svg", QSize(28, 14)));
}
