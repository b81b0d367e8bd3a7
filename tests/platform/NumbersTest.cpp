// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "platform/Numbers.h"

namespace {

TEST(Numbers, ParseIntFollowsThePlatformConversion) {
    struct Case {
        const char* Text;
        std::optional<std::int32_t> Value;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"-17", -17},
        {"+5", 5},
        {"  12", 12},
        {"$1F", 31},
        {"0x10", 16},
        {"x10", 16},
        {"X1f", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"12 ", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"1.5", std::nullopt},
        {"abc", std::nullopt},
        {"$", std::nullopt},
        {"$123456789", std::nullopt},
        {"0x", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseInt(c.Text), c.Value) << c.Text;
    }
    EXPECT_EQ(StrToIntDef("nope", 7), 7);
}

TEST(Numbers, ParseFloatTakesPointOnly) {
    struct Case {
        const char* Text;
        std::optional<double> Value;
    };
    const Case cases[] = {
        {"1.5", 1.5},           {"-2", -2.0},         {"+0.25", 0.25},       {"1e3", 1000.0},
        {"2.5E-1", 0.25},       {" 3 ", 3.0},         {".5", 0.5},           {"5.", 5.0},
        {"3,5", std::nullopt},  {"", std::nullopt},   {".", std::nullopt},   {"inf", std::nullopt},
        {"nan", std::nullopt},  {"1e", std::nullopt}, {"--1", std::nullopt}, {"+-1", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFloat(c.Text), c.Value) << c.Text;
    }
}

TEST(Numbers, GeneralFormatUsesSevenDigits) {
    struct Case {
        double Value;
        const char* Text;
    };
    const Case cases[] = {
        {3.5, "3.5"},
        {4, "4"},
        {static_cast<float>(2.7), "2.7"},
        {1.0 / 3, "0.3333333"},
        {static_cast<float>(1.0 / 3), "0.3333333"},
        {0, "0"},
        {-1.25, "-1.25"},
        {10, "10"},
        {1234567, "1234567"},
        {12345678, "1.234568E007"},
        {0.00001, "0.00001"},
        {0.0000015, "1.5E-006"},
        {123.4567891, "123.4568"},
        {static_cast<float>(0.1), "0.1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatGeneral(c.Value), c.Text) << c.Value;
    }
}

TEST(Numbers, FixedFormatHasExactDecimals) {
    EXPECT_EQ(FormatFixed(7.5, 3), "7.500");
    EXPECT_EQ(FormatFixed(10, 3), "10.000");
    EXPECT_EQ(FormatFixed(0, 3), "0.000");
    EXPECT_EQ(FormatFixed(static_cast<float>(2.7), 3), "2.700");
    EXPECT_EQ(FormatFixed(0.0005, 3), "0.001");
}

TEST(Numbers, DesktopLocaleDoesNotChangeTheDecimalPoint) {
    // On a Russian desktop the C library would print and parse with a decimal comma.
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr) {
        GTEST_SKIP() << "ru_RU.UTF-8 locale not installed";
    }
    EXPECT_EQ(FormatGeneral(3.5), "3.5");
    EXPECT_EQ(FormatFixed(7.5, 3), "7.500");
    EXPECT_EQ(ParseFloat("1.5"), 1.5);
    EXPECT_EQ(ParseFloat("1,5"), std::nullopt);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
