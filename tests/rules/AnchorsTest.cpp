// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/Anchors.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable rectangles in failure messages.
void PrintTo(const TRect& rect, std::ostream* out) {
    *out << rect.Left << "," << rect.Top << " " << rect.Width << "x" << rect.Height;
}

namespace {

TEST(Anchors, ControlsFollowTheSidesTheyAreAnchoredTo) {
    // The answer panel of the test window, designed 846 by 208, lowered to 96 and widened.
    const TSize design{846, 208};
    struct Case {
        const char* name;
        TRect rect;
        unsigned anchors;
        TSize parent;
        TRect placed;
    };
    const Case cases[] = {
        {"all sides stretch", {0, 1, 697, 206}, akAll, {846, 96}, {0, 1, 697, 94}},
        {"all sides, wider", {4, 4, 689, 202}, akAll, {1046, 120}, {4, 4, 889, 114}},
        {"right and bottom move",
         {706, 174, 126, 26},
         akRight | akBottom,
         {846, 96},
         {706, 62, 126, 26}},
        {"right and bottom, wider",
         {700, 112, 141, 53},
         akRight | akBottom,
         {1000, 208},
         {854, 112, 141, 53}},
        {"left, right and bottom",
         {4, 139, 685, 26},
         akLeft | akRight | akBottom,
         {900, 96},
         {4, 27, 739, 26}},
        {"top-left stays", {15, 31, 50, 18}, akLeft | akTop, {100, 50}, {15, 31, 50, 18}},
        {"no anchors stay", {15, 31, 50, 18}, 0, {100, 50}, {15, 31, 50, 18}},
        {"never below zero", {0, 1, 697, 206}, akAll, {100, 20}, {0, 1, 0, 18}},
        {"never below zero, both", {0, 1, 697, 206}, akAll, {0, 0}, {0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnchoredRect(c.rect, design, c.anchors, c.parent), c.placed) << c.name;
    }
}

}  // namespace
