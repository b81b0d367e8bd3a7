// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/Cp1251.h"

namespace {

// "Ёлка" and "ёлка" in cp1251 bytes.
const std::string kYolkaUpper = "\xA8\xEB\xEA\xE0";
const std::string kYolkaLower = "\xB8\xEB\xEA\xE0";

TEST(Cp1251, RoundTripsEveryByteThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::string utf8 = Cp1251ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1251(utf8), all);
}

TEST(Cp1251, ConvertsKnownLetters) {
    struct Case {
        std::string Cp1251;
        std::string Utf8;
    };
    const Case cases[] = {
        {"\xC8\xE2\xE0\xED\xEE\xE2", "Иванов"},
        {"10\xC1", "10Б"},
        {kYolkaUpper, "Ёлка"},
        {"\xA7", "§"},
        {"\xB9", "№"},
        {"\x88", "€"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cp1251ToUtf8(c.Cp1251), c.Utf8);
        EXPECT_EQ(Utf8ToCp1251(c.Utf8), c.Cp1251);
    }
}

TEST(Cp1251, UnrepresentableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToCp1251("中"), "?");
    EXPECT_EQ(Utf8ToCp1251("x\xC3"), "x?");       // cut-off sequence
    EXPECT_EQ(Utf8ToCp1251("\xFF\xFEz"), "??z");  // bytes that never start a sequence
    EXPECT_EQ(Utf8ToCp1251("\xD0z"), "?z");       // lead byte without continuation
}

TEST(Cp1251, FoldsLatinAndCyrillicCase) {
    EXPECT_EQ(AnsiUpperCase("abc\xE0\xFF\xB8"), "ABC\xC0\xDF\xA8");  // ё -> Ё
    EXPECT_EQ(AnsiLowerCase("ABC\xC0\xDF\xA8"), "abc\xE0\xFF\xB8");
    EXPECT_TRUE(AnsiSameText(kYolkaUpper, kYolkaLower));
    EXPECT_TRUE(AnsiSameText("Rome", "rOME"));
    EXPECT_FALSE(AnsiSameText("Rome", "Rom"));
    EXPECT_FALSE(AnsiSameText("\xE5", "\xB8"));  // е and ё are different letters
    // Symbols and digits have no case.
    EXPECT_EQ(AnsiUpperCase("1;\xA7\xB9"), "1;\xA7\xB9");
}

TEST(Cp1251, CompareTextOrdersWithoutCase) {
    EXPECT_EQ(AnsiCompareText("apple", "APPLE"), 0);
    EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
    EXPECT_GT(AnsiCompareText("b", "A"), 0);
    EXPECT_LT(AnsiCompareText("ab", "abc"), 0);
    EXPECT_LT(AnsiCompareText("\xC0", "\xE1"), 0);  // А before б
}

TEST(Cp1251, LatinUpperCaseLeavesCyrillic) {
    EXPECT_EQ(LatinUpperCase("ok \xEE\xEA"), "OK \xEE\xEA");
}

}  // namespace
