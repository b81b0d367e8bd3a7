// SPDX-License-Identifier: GPL-3.0-or-later
// The splash window's rules: which picture comes next, and where it is drawn.

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "ui/rules/SplashChoice.h"
#include "ui/rules/SplashRect.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

TEST(SplashRules, PictureIndexFavoursTheFrontAndNeverPicksTheLast) {
    struct Row {
        double R;
        std::size_t N;
        std::size_t Index;
    };
    const Row rows[] = {
        {0.5, 3, 0},                     // 0.25 * 2 = 0.5
        {0.75, 3, 1},                    // 0.5625 * 2 = 1.125
        {0.0, 5, 0},  {0.999999, 5, 3},  // at most n - 2
        {0.9, 11, 8},                    // 0.81 * 10 = 8.1
        {0.5, 2, 0},  {0.99, 2, 0},      // two pictures alternate
        {0.7, 1, 0},  {0.7, 0, 0},      {1.0, 4, 2}, {-0.3, 4, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SplashPictureIndex(row.R, row.N), row.Index) << row.R << " of " << row.N;
    }
}

TEST(SplashRules, ChoiceMovesThePictureToTheEndAndLoadsIt) {
    Paths list = {"A", "B", "C"};
    Paths loaded;
    const auto load = [&](const std::filesystem::path& path) {
        loaded.push_back(path);
        return true;
    };
    ASSERT_TRUE(ChooseSplashPicture(list, 0.5, load));
    EXPECT_EQ(list, (Paths{"B", "C", "A"}));
    ASSERT_TRUE(ChooseSplashPicture(list, 0.75, load));
    EXPECT_EQ(list, (Paths{"B", "A", "C"}));
    EXPECT_EQ(loaded, (Paths{"A", "C"}));

    Paths single = {"only"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ChooseSplashPicture(single, 0.9, load));
    }
    EXPECT_EQ(single, (Paths{"only"}));

    Paths none;
    EXPECT_FALSE(ChooseSplashPicture(none, 0.5, load));
    EXPECT_EQ(loaded.size(), 5u);  // an empty list loads nothing
}

TEST(SplashRules, BadPicturesAreSkippedUntilEveryPictureWasTried) {
    const std::set<std::filesystem::path> bad = {"B", "C"};
    Paths tried;
    const auto load = [&](const std::filesystem::path& path) {
        tried.push_back(path);
        return bad.count(path) == 0;
    };
    // C is chosen and bad; the front picture, A, comes next.
    Paths list = {"A", "B", "C", "D"};
    ASSERT_TRUE(ChooseSplashPicture(list, 0.9, load));  // 0.81 * 3: k = 2
    EXPECT_EQ(tried, (Paths{"C", "A"}));
    EXPECT_EQ(list, (Paths{"B", "D", "C", "A"}));

    // Only bad pictures: each is tried once, and the choice fails.
    Paths allBad = {"B", "C"};
    tried.clear();
    EXPECT_FALSE(ChooseSplashPicture(allBad, 0.3, load));
    EXPECT_EQ(tried, (Paths{"B", "C"}));
}

TEST(SplashRules, PaintRectangleKeepsProportionsFillsOneDirectionAndCentres) {
    struct Row {
        const char* Name;
        int W, H, PictureWidth, PictureHeight;
        int Left, Top, Width, Height;
    };
    const Row rows[] = {
        {"twice as wide, as high", 800, 600, 1600, 600, 0, 150, 800, 300},
        {"tall", 1920, 1080, 600, 1200, 690, 0, 540, 1080},
        {"same shape, larger", 1920, 1080, 3840, 2160, 0, 0, 1920, 1080},
        {"small, enlarged", 1280, 800, 640, 480, 107, 0, 1066, 800},
        {"tiny, enlarged at most 100 times", 1920, 1080, 4, 3, 760, 390, 400, 300},
        {"4000 x 3000 on a wide screen", 1920, 1080, 4000, 3000, 240, 0, 1440, 1080},
        {"no picture", 1920, 1080, 0, 0, 0, 0, 0, 0},
        {"no window", 0, 1080, 640, 480, 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        const TRect rect = SplashPaintRect(row.W, row.H, row.PictureWidth, row.PictureHeight);
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(rect.Left, row.Left);
        EXPECT_EQ(rect.Top, row.Top);
        EXPECT_EQ(rect.Width, row.Width);
        EXPECT_EQ(rect.Height, row.Height);
    }
}

}  // namespace
