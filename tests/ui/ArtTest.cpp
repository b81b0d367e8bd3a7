// SPDX-License-Identifier: GPL-3.0-or-later
// The results window's pictures and the buttons' glyphs come from the art compiled into the
// program: each is drawn at the size asked for, covers a fair part of its square, and no two
// of them are alike.

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <string>
#include <vector>

#include "ui/ButtonGlyphs.h"
#include "ui/ResultPictures.h"
#include "ui/SvgArt.h"

namespace {

// The share of the pixels that are not fully transparent.
double Covered(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int covered = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            covered += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    return image.isNull() ? 0.0 : double(covered) / (image.width() * image.height());
}

TEST(Art, EveryPictureAndGlyphIsDrawnAtItsSize) {
    struct Row {
        std::string Name;
        QPixmap Pixmap;
        QSize Size;
        double MinCovered;
    };
    std::vector<Row> rows;
    const char* pictures[] = {"Fast",   "Normal",  "Slow", "VerySlow",
                              "Genius", "Sapiens", "Dumb", "Idiot"};
    for (int i = 0; i < 8; ++i) {
        rows.push_back({pictures[i], DrawResultPicture(TResultPicture(i), 64), {64, 64}, 0.2});
    }
    rows.push_back({"Fast at 100", DrawResultPicture(TResultPicture::Fast, 100), {100, 100}, 0.2});
    rows.push_back({"start", DrawStartTestGlyph(32), {32, 32}, 0.3});
    rows.push_back({"check mark", DrawCheckMarkGlyph(16), {16, 16}, 0.2});
    rows.push_back({"answer", AnswerGlyph().pixmap(18, 18), {18, 18}, 0.15});
    rows.push_back(
        {"answer disabled", AnswerGlyph().pixmap(18, 18, QIcon::Disabled), {18, 18}, 0.15});
    rows.push_back({"defer", DeferGlyph().pixmap(28, 14), {28, 14}, 0.15});
    for (const Row& row : rows) {
        EXPECT_EQ(row.Pixmap.size(), row.Size) << row.Name;
        EXPECT_GE(Covered(row.Pixmap), row.MinCovered) << row.Name;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        for (std::size_t j = i + 1; j < 8; ++j) {
            EXPECT_NE(rows[i].Pixmap.toImage(), rows[j].Pixmap.toImage())
                << rows[i].Name << " " << rows[j].Name;
        }
    }
    // The disabled answer button shows the tick's outline, not the tick.
    EXPECT_NE(rows[11].Pixmap.toImage(), rows[12].Pixmap.toImage());
}

TEST(Art, AMissingFileGivesAnEmptyPictureOfTheSize) {
    const QPixmap pixmap = RenderArt("no-such-picture.svg", QSize(20, 10));
    EXPECT_EQ(pixmap.size(), QSize(20, 10));
    EXPECT_EQ(Covered(pixmap), 0.0);
}

}  // namespace
