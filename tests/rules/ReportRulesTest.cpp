// The results window's values: the elapsed time and its text, the gauges and their pictures,
// and what a pass with no test or with no problems shows.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "settings/UCommon.h"
#include "ui/rules/ElapsedTime.h"
#include "ui/rules/ReportView.h"
#include "ui/rules/ResultGauges.h"

namespace {

constexpr double kMsPerDay = 86400000.0;

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

TEST(ReportRules, GaugePositionsAndPictures) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        float Ratio;
        int Position;
        int Picture;
    };
    const Row rows[] = {
        {1.0f, 0, 0},    {0.75f, 25, 0},  // level 0.75 is the top picture
        {0.74f, 26, 1},  {0.5f, 50, 1},
        {0.49f, 51, 2},  {0.25f, 75, 2},  // level 0.25 is the third picture, not the lowest
        {0.24f, 76, 3},  {0.0f, 100, 3},
        {0.875f, 12, 0},  // 12.5 goes to the even 12
        {0.125f, 88, 3},  // 87.5 goes to 88
        {0.995f, 0, 0},  {0.8333333f, 17, 0},
        {-0.5f, 100, 3},  // no lower bound on the ratio, but the gauge holds at its end
        {nan, 100, 3},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(GaugePosition(row.Ratio), row.Position) << row.Ratio;
        EXPECT_EQ(GaugePicture(GaugePosition(row.Ratio)), row.Picture) << row.Ratio;
    }
}

TEST(ReportRules, RatiosAreHeldAtOne) {
    EXPECT_EQ(CorrectnessRatio(10.0f, 10), 1.0f);
    EXPECT_EQ(CorrectnessRatio(12.0f, 10), 1.0f);
    EXPECT_EQ(CorrectnessRatio(2.5f, 3), 0.8333333f);
    EXPECT_EQ(CorrectnessRatio(3.0f, 0), 0.0f);
    EXPECT_EQ(SpeedRatio(10, 150), 1.0f);  // 200 / 150
    EXPECT_EQ(SpeedRatio(4, 320), 0.25f);
    EXPECT_EQ(SpeedRatio(3, 120), 0.5f);
    EXPECT_EQ(SpeedRatio(0, 120), 0.0f);
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

// A drawn problem answered with the given weight (100 is fully right).
std::unique_ptr<TProblem> Answered(std::int32_t weight) {
    auto problem = std::make_unique<TProblem>();
    problem->Answers.Variants = {{"yes", weight}};
    problem->Given = {"yes"};
    return problem;
}

TEST(ReportRules, InputsComeFromTheTestOnlyWhenThisPassRanOne) {
    TSettings settings("/nonexistent/tezra-net");
    settings.User = "Petrov";
    settings.StudentGroup = "5A";
    settings.TestName = "Geography";
    settings.StartTime = AtMs(1000);
    settings.EndTime = AtMs(61000);
    TTezra earlier;  // the test of an earlier student: 2 of 2 points
    for (int i = 0; i < 2; ++i) {
        earlier.Problems.push_back(Answered(100));
        earlier.Selected.push_back(earlier.Problems.back().get());
    }
    earlier.MarkThresholds[5] = 2.0f;

    settings.TestFile.clear();  // nothing chosen in this pass
    TReportView view = MakeReportView(CurrentReportInputs(settings, earlier));
    EXPECT_EQ(view.Values[rrUser], "Petrov");
    EXPECT_EQ(view.Values[rrGroup], "5A");
    EXPECT_EQ(view.Values[rrTest], "Geography");
    for (int row : {rrProblems, rrPoints, rrMark, rrTime}) {
        EXPECT_EQ(view.Values[row], "") << row;
    }
    EXPECT_FALSE(view.GaugesShown);

    settings.TestFile = "/station/tezra/geography.ttxt";
    view = MakeReportView(CurrentReportInputs(settings, earlier));
    EXPECT_EQ(view.Values[rrProblems], "2");
    EXPECT_EQ(view.Values[rrPoints], "2");
    EXPECT_EQ(view.Values[rrMark], "5");
    EXPECT_EQ(Cp1251ToUtf8(view.Values[rrTime]), "1 минута ");
    EXPECT_TRUE(view.GaugesShown);
    EXPECT_EQ(view.CorrectnessPosition, 0);

    TTezra empty;  // a test that drew no problems: its mark as computed, gauges at the bottom
    empty.MarkThresholds[5] = 1.0f;
    empty.MarkThresholds[4] = 0.5f;
    view = MakeReportView(CurrentReportInputs(settings, empty));
    EXPECT_EQ(view.Values[rrProblems], "0");
    EXPECT_EQ(view.Values[rrPoints], "0");
    EXPECT_EQ(view.Values[rrMark], "3");
    EXPECT_EQ(view.SpeedPosition, 100);
    EXPECT_EQ(view.CorrectnessPicture, 3);
}

}  // namespace
