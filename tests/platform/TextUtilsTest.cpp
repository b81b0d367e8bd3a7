// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/TextUtils.h"

namespace {

TEST(TextUtils, TrimRemovesControlCharactersAndBlanks) {
    EXPECT_EQ(Trim(" \t\r\x01 a b \x1F\n"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // a no-break space (0xA0) is text
}

TEST(TextUtils, SplitTextLinesLikeAStringList) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitTextLines("a\r\nb\rc\n"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitTextLines(""), Lines{});
    EXPECT_EQ(SplitTextLines("\n"), (Lines{""}));
    EXPECT_EQ(SplitTextLines("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("a\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines(std::string("ab\0cd\ne", 7)), (Lines{"ab"}));
    EXPECT_EQ(SplitTextLines("x\r"), (Lines{"x"}));
}

TEST(TextUtils, LineBreaksBecomeOneLfEach) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\rb", "a\nb"},
        {"a\r\nb", "a\nb"},
        {"a\r\r\nb", "a\n\nb"},
        {"a\n\rb", "a\n\nb"},
        {"\r", "\n"},
        {"x\r\r", "x\n\n"},
        {"", ""},
        {"\xCE\xEA", "\xCE\xEA"},
        {std::string("\0\r", 2), std::string("\0\n", 2)},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(LineBreaksToLf(text), expected) << text;
    }
}

}  // namespace
