// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>

#include "platform/Random.h"
#include "platform/TimeOfDay.h"

namespace {

TEST(TimeOfDay, NowIsAFractionOfADay) {
    const double now = TimeOfDayNow();
    EXPECT_GE(now, 0.0);
    EXPECT_LT(now, 1.0);
    const TDate today = Today();
    EXPECT_GE(today.Year, 2020);
    EXPECT_GE(today.Month, 1);
    EXPECT_LE(today.Month, 12);
}

TEST(TimeOfDay, DateTimeTextShowsDateAndTime) {
    const TDate date{2026, 3, 7};
    const double nineOhFive = (9 * 3600 + 5 * 60 + 3) / 86400.0;
    EXPECT_EQ(DateTimeText(date, nineOhFive), "07.03.2026 9:05:03");
    EXPECT_EQ(DateTimeText(date, 0.0), "07.03.2026");
    EXPECT_EQ(DateTimeText(date, (23 * 3600 + 59 * 60 + 59) / 86400.0), "07.03.2026 23:59:59");
    EXPECT_EQ(DayFractionToMs(0.5), 12 * 3600 * 1000);
}

TEST(Random, SeededDrawsRepeatAndStayInRange) {
    RandomSeed(1234);
    std::vector<int> first;
    for (int i = 0; i < 50; ++i) {
        first.push_back(RandomInt(1000));
    }
    RandomSeed(1234);
    std::set<int> seen;
    for (int i = 0; i < 50; ++i) {
        const int value = RandomInt(1000);
        EXPECT_EQ(value, first[i]);
        EXPECT_GE(value, 0);
        EXPECT_LT(value, 1000);
        seen.insert(value);
    }
    EXPECT_GT(seen.size(), 40u);
    EXPECT_EQ(RandomInt(0), 0);
    EXPECT_EQ(RandomInt(1), 0);
    for (int i = 0; i < 100; ++i) {
        const double d = RandomDouble();
        EXPECT_GE(d, 0.0);
        EXPECT_LT(d, 1.0);
    }
}

}  // namespace
