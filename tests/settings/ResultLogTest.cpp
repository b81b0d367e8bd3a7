// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "settings/ResultLog.h"
#include "settings/UCommon.h"
#include "tests/common/TempDir.h"

namespace {

double At(int h, int m, int s) {
    return (h * 3600 + m * 60 + s) / 86400.0;
}

TResultRecord Record(float points, int mark, double start, double end) {
    return {
        "\xC8\xE2\xE0\xED\xEE\xE2", "5\xC0", "Geo", {8, points, mark}, {2026, 12, 8}, start, end};
}

TEST(ResultLog, RecordHasNineLinesWithFixedPointsAndDuration) {
    const std::string text = FormatResultRecord(Record(7.5f, 4, At(9, 0, 0), At(9, 2, 5)));
    EXPECT_EQ(text,
              "===================\r\n"
              "User=\xC8\xE2\xE0\xED\xEE\xE2\r\n"
              "Group=5\xC0\r\n"
              "Test=Geo\r\n"
              "Questions=8\r\n"
              "Points=7.500\r\n"
              "Mark=4\r\n"
              "Start at=08.12.2026 9:00:00\r\n"
              "Duration=2:5\r\n");
}

TEST(ResultLog, DurationFoldsHoursAndCrossesMidnight) {
    struct Case {
        double Start;
        double End;
        const char* Line;
    };
    const Case cases[] = {
        {At(10, 0, 0), At(11, 0, 3), "Duration=60:3\r\n"},
        {At(10, 0, 0), At(10, 0, 0), "Duration=0:0\r\n"},
        {At(10, 0, 0), At(11, 15, 0), "Duration=75:0\r\n"},
        {At(23, 59, 0), At(0, 1, 30), "Duration=2:30\r\n"},
    };
    for (const auto& c : cases) {
        const std::string text = FormatResultRecord(Record(10, 5, c.Start, c.End));
        EXPECT_NE(text.find(c.Line), std::string::npos) << text;
        EXPECT_NE(text.find("Points=10.000\r\n"), std::string::npos);
    }
}

TEST(ResultLog, RecordsAreSeparatedByOneEmptyLine) {
    TempDir dir;
    const auto log = dir.Path / "report.log";
    ASSERT_TRUE(AppendResultRecord(log, Record(1, 2, At(8, 0, 0), At(8, 1, 0))));
    const std::string first = TempDir::Read(log);
    EXPECT_EQ(first.rfind("===================\r\n", 0), 0u);
    ASSERT_TRUE(AppendResultRecord(log, Record(2, 3, At(8, 5, 0), At(8, 6, 0))));
    const std::string both = TempDir::Read(log);
    EXPECT_EQ(both.substr(0, first.size()), first);
    EXPECT_EQ(both.substr(first.size(), 21), "\r\n===================");
    EXPECT_FALSE(AppendResultRecord(dir.Path / "missing" / "report.log",
                                    Record(1, 2, At(8, 0, 0), At(8, 1, 0))));
}

TEST(ResultLog, SettingsWriteTheStudentsPass) {
    TempDir dir;
    TSettings settings(dir.Path / "tezra-net");
    settings.User = "Smith";
    settings.StudentGroup = "9B";
    settings.TestName = "Capitals";
    settings.StartDate = {2026, 1, 2};
    settings.StartTime = At(12, 30, 0);
    settings.EndTime = At(12, 31, 1);
    ASSERT_TRUE(settings.AppendResultLog({3, 2.7f, 3}));
    EXPECT_EQ(TempDir::Read(settings.ReportLog),
              "===================\r\nUser=Smith\r\nGroup=9B\r\nTest=Capitals\r\n"
              "Questions=3\r\nPoints=2.700\r\nMark=3\r\nStart at=02.01.2026 12:30:00\r\n"
              "Duration=1:1\r\n");
}

}  // namespace
