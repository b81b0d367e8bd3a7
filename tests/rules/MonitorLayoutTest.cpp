// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "ui/rules/MonitorLayout.h"

namespace {

TEST(MonitorLayout, SpanMonitorsNamesTheMonitorAtEachEdge) {
    struct Case {
        const char* name;
        std::vector<TRect> monitors;
        std::optional<TSpanMonitors> span;
    };
    const Case cases[] = {
        {"no monitor", {}, std::nullopt},
        {"one monitor", {{0, 0, 1024, 768}}, TSpanMonitors{0, 0, 0, 0}},
        // The test setup: a taller primary monitor left of a smaller one, tops aligned.
        {"side by side, different heights",
         {{0, 0, 1024, 768}, {1024, 0, 800, 600}},
         TSpanMonitors{0, 0, 0, 1}},
        {"primary on the right",
         {{1280, 0, 1280, 1024}, {0, 0, 1280, 1024}},
         TSpanMonitors{0, 0, 1, 0}},
        {"one above the other",
         {{0, 1080, 1920, 1080}, {0, 0, 1920, 1080}},
         TSpanMonitors{1, 0, 0, 0}},
        {"three in an L",
         {{0, 0, 1024, 768}, {1024, 0, 1024, 768}, {0, 768, 800, 900}},
         TSpanMonitors{0, 2, 0, 1}},
        {"negative origin", {{0, 0, 800, 600}, {-800, -100, 800, 600}}, TSpanMonitors{1, 0, 1, 0}},
        {"edges past the int range do not wrap",
         {{2147483000, 0, 600, 600}, {0, 2147483000, 600, 600}},
         TSpanMonitors{0, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SpanMonitors(c.monitors), c.span) << c.name;
    }
}

TEST(MonitorLayout, FullScreenOnlyWhereItCoversEveryMonitor) {
    struct Case {
        std::size_t monitors;
        bool spans;
        bool fullScreen;
    };
    const Case cases[] = {
        {0, false, true}, {1, false, true},
        {1, true, true},  {2, false, false},  // the window manager would size it to one monitor
        {2, true, true},  {3, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CoverWithFullScreen(c.monitors, c.spans), c.fullScreen)
            << c.monitors << " monitors, spans " << c.spans;
    }
}

TEST(MonitorLayout, CentredOnTheMonitor) {
    struct Case {
        const char* name;
        TRect monitor;
        TSize window;
        TRect at;
    };
    const Case cases[] = {
        {"primary of two", {0, 0, 1024, 768}, {365, 327}, {329, 220, 365, 327}},
        {"primary right of the other", {800, 0, 1024, 768}, {529, 393}, {1047, 187, 529, 393}},
        {"odd remainder truncates", {0, 0, 1025, 769}, {100, 100}, {462, 334, 100, 100}},
        {"window as large as the monitor", {0, 0, 800, 600}, {800, 600}, {0, 0, 800, 600}},
        {"larger window keeps its corner on the monitor",
         {100, 50, 800, 600},
         {1000, 700},
         {100, 50, 1000, 700}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CentredOn(c.monitor, c.window), c.at) << c.name;
    }
}

}  // namespace
