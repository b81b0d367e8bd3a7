// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

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

}  // namespace
