// SPDX-License-Identifier: GPL-3.0-or-later
// The results window's values: the elapsed time and its text, the gauges and their pictures.

#include <gtest/gtest.h>

#include <limits>

#include "platform/Cp1251.h"
#include "platform/TimeOfDay.h"
#include "ui/rules/ElapsedTime.h"
#include "ui/rules/ReportView.h"

namespace {

double AtMs(long long ms) {
    return static_cast<double>(ms) / kMsPerDay;
}

TEST(ReportRules, ElapsedSecondsRoundHalvesToEvenAndAreAtLeastOne) {
    struct Row {
        long long StartMs, EndMs;
        int Seconds;
    };
    const Row rows[] = {
        {1000, 1000 + 150000, 150},
        {0, 2500, 2},  // a half goes to the even second
        {0, 3500, 4},
        {0, 1500, 2},
        {0, 2501, 3},
        {0, 2499, 2},
        {0, 499, 1},  // within half a second: one second
        {0, 500, 1},  // rounds to 0, shown as 1
        {5000, 5000, 1},
        {43200000, 43200000 + 7322000, 7322},
        // Past midnight: 23:59:50 to 00:00:20 is thirty seconds, not "one second".
        {86390000, 20000, 30},
        {86399999, 0, 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ElapsedSeconds(AtMs(row.StartMs), AtMs(row.EndMs)), row.Seconds)
            << row.StartMs << " to " << row.EndMs;
    }
}

TEST(ReportRules, TimeTextNamesHoursMinutesAndSecondsInTheRightForm) {
    struct Row {
        int Seconds;
        const char* Text;
    };
    const Row rows[] = {
        {1, "1 секунда"},
        {2, "2 секунды"},
        {5, "5 секунд"},
        {12, "12 секунд"},
        {11, "11 секунд"},
        {21, "21 секунда"},
        {44, "44 секунды"},
        {60, "1 минута "},
        {65, "1 минута 5 секунд"},
        {150, "2 минуты 30 секунд"},
        {660, "11 минут "},
        {1261, "21 минута 1 секунда"},
        {3600, "1 час "},
        {3601, "1 час 1 секунда"},
        {7322, "2 часа 2 минуты 2 секунды"},
        {18000, "5 часов "},
        {36000, "10 часов "},
        {39600, "11 часов "},
        {75600, "21 час "},
        {79200, "22 часа "},
        {86400, "24 часа "},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Cp1251ToUtf8(ElapsedTimeText(row.Seconds)), row.Text) << row.Seconds;
    }
}

struct ViewRow {
    const char* Name;
    int Problems;
    float Points;
    long long Ms;
    const char* PointsText;
    const char* TimeText;
    int SpeedPosition, SpeedPicture;
    int CorrectnessPosition, CorrectnessPicture;
};

TEST(ReportRules, ViewOfAFinishedTest) {
    const ViewRow rows[] = {
        {"all right and quick", 10, 10.0f, 150000, "10", "2 минуты 30 секунд", 0, 0, 0, 0},
        {"7.4 of 10", 10, 7.4f, 400000, "7.4", "6 минут 40 секунд", 50, 1, 26, 1},
        {"7.5 of 10", 10, 7.5f, 400000, "7.5", "6 минут 40 секунд", 50, 1, 25, 0},
        {"4 problems in 320 s", 4, 1.0f, 320000, "1", "5 минут 20 секунд", 75, 2, 75, 2},
        {"2.5 of 3", 3, 2.5f, 60000, "2.5", "1 минута ", 0, 0, 17, 0},
        {"one third", 1, 1.0f / 3, 100000, "0.3333333", "1 минута 40 секунд", 80, 3, 67, 2},
        {"1 of 8, 87.5 to the even 88", 8, 1.0f, 160000, "1", "2 минуты 40 секунд", 0, 0, 88, 3},
        {"7 of 8, 12.5 to the even 12", 8, 7.0f, 320000, "7", "5 минут 20 секунд", 50, 1, 12, 0},
        {"49 of 100", 100, 49.0f, 2000000, "49", "33 минуты 20 секунд", 0, 0, 51, 2},
        {"more points than problems", 2, 3.0f, 40000, "3", "40 секунд", 0, 0, 0, 0},
        {"points not a number", 2, std::numeric_limits<float>::quiet_NaN(), 40000, "NAN",
         "40 секунд", 0, 0, 100, 3},
        {"no problems drawn", 0, 0.0f, 4000, "0", "4 секунды", 100, 3, 100, 3},
    };
    for (const ViewRow& row : rows) {
        TReportInputs inputs;
        inputs.User = Utf8ToCp1251("Иванов");
        inputs.TestTaken = true;
        inputs.Problems = row.Problems;
        inputs.Points = row.Points;
        inputs.Mark = 4;
        inputs.StartTime = AtMs(36000000);
        inputs.EndTime = AtMs(36000000 + row.Ms);
        const TReportView view = MakeReportView(inputs);
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(Cp1251ToUtf8(view.Values[rrUser]), "Иванов");
        EXPECT_EQ(view.Values[rrProblems], std::to_string(row.Problems));
        EXPECT_EQ(view.Values[rrPoints], row.PointsText);
        EXPECT_EQ(view.Values[rrMark], "4");
        EXPECT_EQ(Cp1251ToUtf8(view.Values[rrTime]), row.TimeText);
        EXPECT_TRUE(view.GaugesShown);
        EXPECT_EQ(view.SpeedPosition, row.SpeedPosition);
        EXPECT_EQ(view.SpeedPicture, row.SpeedPicture);
        EXPECT_EQ(view.CorrectnessPosition, row.CorrectnessPosition);
        EXPECT_EQ(view.CorrectnessPicture, row.CorrectnessPicture);
    }
}

}  // namespace
