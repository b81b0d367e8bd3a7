// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "model/UTypes.h"
#include "ui/rules/TestWindowRules.h"

namespace {

TEST(TestWindowRules, AnswerPanelHeightPerModeNeverBelowTheMinimum) {
    struct Case {
        std::uint8_t mode;
        long long variants;
        int fontHeight;
        int itemHeight;
        int height;
    };
    const Case cases[] = {
        {ModeRadio, 4, 16, 18, 100},   // 20 per row, one row more than the variants
        {ModeRadio, 7, 16, 18, 160},   //
        {ModeRadio, 3, 16, 18, 96},    // 80 is raised to the minimum
        {ModeRadio, 0, 16, 18, 96},    //
        {ModeRadio, 4, -16, 18, 100},  // a negative font height counts by its size
        {ModeRadio, 6, 14, 18, 122},   // 122.5 rounds to the even 122
        {ModeRadio, 8, 14, 18, 158},   // 157.5 rounds to the even 158
        {ModeRadio, 9, 13, 18, 162},   // 162.5
        {ModeRadio, 7, 13, 18, 130},   //
        {ModeCombo, 3, 16, 18, 96},    // 74 is raised to the minimum
        {ModeCombo, 5, 16, 18, 110},   //
        {ModeCombo, 8, 16, -18, 164},  //
        {ModeInput, 0, 16, 18, 96},    // 88 is raised to the minimum
        {ModeInput, 9, 40, 40, 96},    // the variants of a typed answer are never shown
        {ModeCombo, 1'000'000'000'000, 16, 18, INT_MAX},
        {ModeRadio, 1'000'000'000'000, 16, 18, INT_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnswerPanelHeight(c.mode, c.variants, c.fontHeight, c.itemHeight), c.height)
            << int{c.mode} << " " << c.variants << " " << c.fontHeight;
    }
}

TEST(TestWindowRules, UnknownModesAreShownAsASingleChoice) {
    const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {255, 0}};
    for (const auto& [mode, shown] : cases) {
        EXPECT_EQ(ShownAnswerMode(static_cast<std::uint8_t>(mode)), shown) << mode;
    }
}

TEST(TestWindowRules, PictureBoxIsThePictureWidthButAtMostHalfThePanel) {
    struct Case {
        int picture;
        int panel;
        int box;
    };
    const Case cases[] = {
        {100, 846, 101}, {422, 846, 423}, {423, 846, 423}, {1920, 846, 423},
        {421, 845, 422}, {421, 843, 421}, {1, 0, 0},       {INT_MAX, 1000, 500},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PictureBoxWidth(c.picture, c.panel), c.box) << c.picture << " " << c.panel;
    }
}

TEST(TestWindowRules, ControlsKeepToThePrimaryMonitor) {
    struct Case {
        const char* name;
        TRect desktop;
        TRect primary;
        TMargins margins;
    };
    const Case cases[] = {
        {"one monitor", {0, 0, 1024, 768}, {0, 0, 1024, 768}, {0, 0, 0, 0}},
        {"a lower monitor on the right", {0, 0, 1824, 768}, {0, 0, 1024, 768}, {0, 0, 800, 0}},
        {"a higher monitor on the right", {0, 0, 1824, 1080}, {0, 0, 1024, 768}, {0, 0, 800, 312}},
        {"primary on the right of a monitor at negative x",
         {-1280, 0, 2304, 1024},
         {0, 0, 1024, 768},
         {1280, 0, 0, 256}},
        {"primary below another", {0, -600, 1024, 1368}, {0, 0, 1024, 768}, {0, 600, 0, 0}},
        {"primary outside the desktop", {0, 0, 100, 100}, {200, 0, 100, 100}, {200, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const TMargins m = PrimaryMonitorMargins(c.desktop, c.primary);
        EXPECT_EQ(m, c.margins) << c.name << ": " << m.Left << " " << m.Top << " " << m.Right
                                << " " << m.Bottom;
    }
}

TEST(TestWindowRules, PrimaryMonitorIsTheFirstXineramaHeadWhenOnlyOneScreenIsReported) {
    struct Case {
        const char* name;
        TRect reported;
        int screens;
        std::vector<TRect> heads;
        TRect primary;
    };
    const TRect joined{0, 0, 1824, 768};
    const TRect left{0, 0, 1024, 768};
    const TRect right{1024, 0, 800, 600};
    const Case cases[] = {
        {"two heads joined into one reported screen", joined, 1, {left, right}, left},
        {"the primary head on the right",
         joined,
         1,
         {{800, 0, 1024, 768}, {0, 0, 800, 600}},
         {800, 0, 1024, 768}},
        {"no Xinerama", left, 1, {}, left},
        {"Xinerama with one head", left, 1, {left}, left},
        {"RandR reports the monitors itself", left, 2, {left, right}, left},
        {"an empty first head", joined, 1, {{0, 0, 0, 0}, right}, joined},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PrimaryMonitor(c.reported, c.screens, c.heads), c.primary) << c.name;
    }
}

}  // namespace
