// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

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

// Splits a log into its records by the separator line; each must be nine CR LF lines.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

TEST(ResultLog, TextsWithControlBytesCannotAddLines) {
    struct Case {
        std::string User;
        std::string Group;
        std::string TestName;
        const char* UserLine;
    };
    const Case cases[] = {
        {"X\r\nGroup=5\r\nMark=5\r\n\r\n===================\r\nUser=Y", "9", "T",
         "User=X  Group=5  Mark=5    ===================  User=Y"},
        {"Tab\tand\x7F del", "\n", "a\rb", "User=Tab and  del"},
        {std::string("nul\0byte", 8), "\x1F", "\x01", "User=nul byte"},
        {"\xC8\xE2\xE0\xED\xEE\xE2 \xFF\x80", "", "", "User=\xC8\xE2\xE0\xED\xEE\xE2 \xFF\x80"},
    };
    for (const Case& c : cases) {
        TResultRecord record = Record(1, 2, At(8, 0, 0), At(8, 1, 0));
        record.User = c.User;
        record.Group = c.Group;
        record.TestName = c.TestName;
        const std::string text = FormatResultRecord(record);
        const std::vector<std::string> lines = Lines(text);
        ASSERT_EQ(lines.size(), 9u) << text;
        EXPECT_EQ(lines[1], c.UserLine);
        EXPECT_EQ(lines[2].size(), 6 + c.Group.size());
        EXPECT_EQ(lines[3].size(), 5 + c.TestName.size());
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find_first_of(std::string("\r\n\t\x7F\0", 5)), std::string::npos);
        }
    }
}

// A log that cannot take the record leaves the file as it was and says why.
TEST(ResultLog, UnwritableLogFailsAndLeavesNoPartOfARecord) {
    TempDir dir;
    const TResultRecord record = Record(1, 2, At(8, 0, 0), At(8, 1, 0));
    const auto folderLog = dir.Path / "folder";
    std::filesystem::create_directories(folderLog);
    const auto fifoLog = dir.Path / "fifo";
    ASSERT_EQ(mkfifo(fifoLog.c_str(), 0644), 0);
    for (const auto& log : {folderLog, fifoLog, dir.Path / "missing" / "report.log"}) {
        std::error_code error;
        EXPECT_FALSE(AppendResultRecord(log, record, &error)) << log;
        EXPECT_TRUE(error) << log;
    }

    // A file size limit makes the write short, as a full disk does.
    const auto log = dir.Path / "report.log";
    ASSERT_TRUE(AppendResultRecord(log, record));
    const std::string before = TempDir::Read(log);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const std::size_t room : {std::size_t{0}, std::size_t{1}, std::size_t{40},
                                   FormatResultRecord(record).size() + 1}) {
        rlimit small = saved;
        small.rlim_cur = before.size() + room;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        std::error_code error;
        const bool written = AppendResultRecord(log, record, &error);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
        EXPECT_FALSE(written) << room;
        EXPECT_EQ(TempDir::Read(log), before) << room;
    }
    std::signal(SIGXFSZ, oldHandler);
    // With room again the next record follows the first one whole.
    ASSERT_TRUE(AppendResultRecord(log, record));
    EXPECT_EQ(TempDir::Read(log), before + "\r\n" + before);
}

TEST(ResultLog, EmptyExistingLogGetsNoLeadingEmptyLine) {
    TempDir dir;
    const auto log = dir.Write("report.log", "");
    ASSERT_TRUE(AppendResultRecord(log, Record(1, 2, At(8, 0, 0), At(8, 1, 0))));
    EXPECT_EQ(TempDir::Read(log).rfind("===================\r\n", 0), 0u);
}

}  // namespace
