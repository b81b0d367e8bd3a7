// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/StationLimits.h"
#include "settings/TestDescription.h"
#include "tests/common/TempDir.h"

namespace {

TEST(TestDescription, FirstLineOfTheDescriptionOrTheBareName) {
    TempDir dir;
    struct Case {
        const char* TestFile;
        const char* DescFile;  // nullptr: none
        const char* Desc;
        std::string Text;
    };
    const Case cases[] = {
        {"geo.ttxt", "geo.desc", "\xC3\xE5\xEE\r\nsecond line\r\n", "\xC3\xE5\xEE"},
        {"math.txt", "math.desc", "Fractions\nmore", "Fractions"},
        {"plain.bin", nullptr, "", "plain"},
        {"noext", "noext.desc", "No extension", "No extension"},
        {"a.b.tbin", "a.b.desc", "Dotted", "Dotted"},
        {"empty.ttxt", "empty.desc", "\r\nsecond", "empty"},
        {"карта.ttxt", nullptr, "", "\xEA\xE0\xF0\xF2\xE0"},
    };
    for (const auto& c : cases) {
        const auto test = dir.Write(c.TestFile, "x");
        if (c.DescFile != nullptr) {
            dir.Write(c.DescFile, c.Desc);
        }
        EXPECT_EQ(TestDisplayText(test), c.Text) << c.TestFile;
    }
    EXPECT_EQ(DescriptionPath("/t/x.tbin.txt"), std::filesystem::path("/t/x.tbin.desc"));
}

TEST(TestDescription, EditedDescriptionIsReadAfresh) {
    TempDir dir;
    const auto test = dir.Write("t.ttxt", "x");
    dir.Write("t.desc", "Old");
    EXPECT_EQ(TestDisplayText(test), "Old");
    dir.Write("t.desc", "New");
    EXPECT_EQ(TestDisplayText(test), "New");
}

// A FIFO or a device under the description's name would block or never end: it is passed
// over, and a long first line is cut at the limit.
TEST(TestDescription, OnlyRegularFilesAndOnlyUpToTheLimit) {
    TempDir dir;
    const auto fifoTest = dir.Write("fifo.ttxt", "x");
    ASSERT_EQ(mkfifo((dir.Path / "fifo.desc").c_str(), 0644), 0);
    EXPECT_EQ(TestDisplayText(fifoTest), "fifo");
    const auto zeroTest = dir.Write("zero.ttxt", "x");
    std::filesystem::create_symlink("/dev/zero", dir.Path / "zero.desc");
    EXPECT_EQ(TestDisplayText(zeroTest), "zero");
    const auto folderTest = dir.Write("folder.ttxt", "x");
    std::filesystem::create_directories(dir.Path / "folder.desc");
    EXPECT_EQ(TestDisplayText(folderTest), "folder");

    struct Case {
        std::string Desc;
        std::size_t Length;
    };
    const std::size_t limit = kMaxDescriptionLine;
    const Case cases[] = {
        {std::string(limit, 'a'), limit},
        {std::string(limit + 1, 'a'), limit},
        {std::string(limit, 'a') + "\r\nmore", limit},
        {std::string(limit - 1, 'a') + "\nmore", limit - 1},
        {std::string(3 * limit, 'a'), limit},
    };
    for (const Case& c : cases) {
        const auto test = dir.Write("long.ttxt", "x");
        dir.Write("long.desc", c.Desc);
        const auto line = DescriptionFirstLine(test);
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(line->size(), c.Length);
    }
}

}  // namespace
