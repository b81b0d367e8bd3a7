#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ui/rules/LoginPulse.h"

namespace {

TEST(LoginPulse, RisesFrom127To255AndFallsBackOverSixtyFourTicks) {
    unsigned char counter = 0;
    std::vector<int> opacities;
    for (int tick = 0; tick < 129; ++tick) {
        opacities.push_back(LoginPulseOpacity(counter));
        counter = NextLoginPulse(counter);
    }
    struct Row {
        int Tick;  // counted from 1
        int Opacity;
    };
    const Row rows[] = {{1, 127},  {2, 131},  {3, 135},  {32, 251}, {33, 255}, {34, 251},
                        {63, 135}, {64, 131}, {65, 127}, {97, 255}, {129, 127}};
    for (const Row& row : rows) {
        EXPECT_EQ(opacities[row.Tick - 1], row.Opacity) << row.Tick;
    }
    for (int tick = 1; tick < 64; ++tick) {
        // Steps of 4 up to the top, then down: never a jump.
        EXPECT_EQ(std::abs(opacities[tick] - opacities[tick - 1]), 4) << tick;
    }
    EXPECT_EQ(counter, 129 % 64);
}

}  // namespace
