// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "kiosk/RestartPolicy.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(RestartPolicy, RestartsAtOnceAndBacksOffAfterFiveEndsInAMinute) {
    struct Case {
        const char* Name;
        std::vector<double> EndsAt;       // seconds since the first start
        std::vector<long long> DelaysMs;  // the delay after each end
    };
    const Case cases[] = {
        {"single crashes", {0, 100, 300}, {500, 500, 500}},
        {"four in a minute", {0, 1, 2, 3}, {500, 500, 500, 500}},
        {"the fifth in a minute backs off", {0, 1, 2, 3, 4}, {500, 500, 500, 500, 30000}},
        // Each further end while the loop goes on doubles the wait, up to five minutes.
        {"a crash loop",
         {0, 1, 2, 3, 4, 35, 96, 217, 458, 759, 1060},
         {500, 500, 500, 500, 30000, 60000, 500, 500, 500, 500, 500}},
        {"a loop that never calms down",
         {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9},
         {500, 500, 500, 500, 30000, 60000, 120000, 240000, 300000, 300000}},
        // Ends a minute or more apart leave the window.
        {"five ends spread over more than a minute",
         {0, 15, 30, 45, 60},
         {500, 500, 500, 500, 500}},
        {"five ends just inside a minute", {0, 15, 30, 45, 59.9}, {500, 500, 500, 500, 30000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        RestartPolicy policy;
        const RestartPolicy::TimePoint start{};
        std::vector<long long> delays;
        for (double at : c.EndsAt) {
            const auto now = start + std::chrono::duration_cast<milliseconds>(
                                         std::chrono::duration<double>(at));
            delays.push_back(policy.StationEnded(now).count());
        }
        EXPECT_EQ(delays, c.DelaysMs);
    }
}

TEST(RestartPolicy, BackingOffTellsWhetherTheLastDelayWasLong) {
    TRestartLimits limits;
    limits.EndsBeforeBackOff = 2;
    limits.Window = seconds(10);
    RestartPolicy policy(limits);
    const RestartPolicy::TimePoint start{};
    policy.StationEnded(start);
    EXPECT_FALSE(policy.BackingOff());
    EXPECT_EQ(policy.StationEnded(start + seconds(1)), limits.BackOff);
    EXPECT_TRUE(policy.BackingOff());
    EXPECT_EQ(policy.StationEnded(start + seconds(30)), limits.RestartDelay);
    EXPECT_FALSE(policy.BackingOff());
}

}  // namespace
