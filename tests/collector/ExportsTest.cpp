// SPDX-License-Identifier: GPL-3.0-or-later
// What the teacher takes away (JSON and CSV) and the password check in front of it.

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

#include "collector/Exports.h"
#include "collector/TeacherAccess.h"

namespace {

std::vector<StoredResult> SampleRows() {
    return {
        {1, "2025-05-14T10:23:45+03:00", "127.0.0.5", "10Б", "Иванов", 35000, 4, "http"},
        {2, "2025-05-14T10:24:01+03:00", "127.0.0.6", "9;A", "=HYPERLINK(\"x\")", 27000, 3,
         "http"},
        {3, "2025-05-14T10:25:00+03:00", "127.0.0.7", "", "O\"Neil\r\nX", -5000, 1, "report.log"},
    };
}

TEST(Exports, PointsTable) {
    const std::pair<std::int64_t, std::string> cases[] = {
        {0, "0"},
        {35000, "3.5"},
        {27000, "2.7"},
        {100000, "10"},
        {12345, "1.2345"},
        {1, "0.0001"},
        {-5000, "-0.5"},
        {-123456, "-12.3456"},
        {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"},
        {std::numeric_limits<std::int64_t>::max(), "922337203685477.5807"},
    };
    for (const auto& [res, text] : cases) {
        EXPECT_EQ(PointsText(res, '.'), text);
    }
    EXPECT_EQ(PointsText(35000, ','), "3,5");
}

TEST(Exports, JsonHasExactlyTheKeys) {
    const auto array = nlohmann::json::parse(ResultsJson(SampleRows()));
    ASSERT_EQ(array.size(), 3u);
    const auto& first = array[0];
    EXPECT_EQ(first.size(), 6u);
    EXPECT_EQ(first["received"], "2025-05-14T10:23:45+03:00");
    EXPECT_EQ(first["station"], "127.0.0.5");
    EXPECT_EQ(first["group"], "10Б");
    EXPECT_EQ(first["user"], "Иванов");
    EXPECT_TRUE(first["points"].is_number());
    EXPECT_DOUBLE_EQ(first["points"].get<double>(), 3.5);
    EXPECT_TRUE(first["mark"].is_number_integer());
    EXPECT_EQ(first["mark"], 4);
    EXPECT_EQ(array[1]["user"], "=HYPERLINK(\"x\")");  // JSON keeps the value as it is
    EXPECT_DOUBLE_EQ(array[2]["points"].get<double>(), -0.5);
    EXPECT_EQ(ResultsJson({}), "[]");
}

TEST(Exports, CsvOpensAsColumnsInARussianSpreadsheet) {
    const std::string csv = ResultsCsv(SampleRows());
    const std::string expected =
        "\xEF\xBB\xBF"
        "Время;Станция;Класс;Фамилия;Баллы;Оценка\r\n"
        "2025-05-14 10:23:45;127.0.0.5;10Б;Иванов;3,5;4\r\n"
        "2025-05-14 10:24:01;127.0.0.6;\"9;A\";\"'=HYPERLINK(\"\"x\"\")\";2,7;3\r\n"
        "2025-05-14 10:25:00;127.0.0.7;;\"O\"\"Neil\r\nX\";-0,5;1\r\n";
    EXPECT_EQ(csv, expected);
}

TEST(TeacherAccess, AuthorizationTable) {
    const std::string password = "пароль 1";
    // "t:пароль 1", ":пароль 1", "t:пароль" and "t:пароль 12" in Base64.
    const std::string right = "dDrQv9Cw0YDQvtC70YwgMQ==";
    const std::pair<std::string, bool> cases[] = {
        {"Basic " + right, true},
        {"basic  " + right + " ", true},
        {"Basic OtC/0LDRgNC+0LvRjCAx", true},
        {"Basic dDrQv9Cw0YDQvtC70Yw=", false},
        {"Basic dDrQv9Cw0YDQvtC70YwgMTI=", false},
        {"Bearer " + right, false},
        {"Basic", false},
        {"", false},
        {"Basic !!!!", false},
        {"Basic dDpw", false},  // "t:p"
        {"Basic dHA=", false},  // no colon
    };
    for (const auto& [header, allowed] : cases) {
        EXPECT_EQ(AuthorizationAllows(header, password), allowed) << header;
    }
}

TEST(TeacherAccess, ConstantTimeEqualsComparesWholeTexts) {
    EXPECT_TRUE(ConstantTimeEquals("secret", "secret"));
    EXPECT_FALSE(ConstantTimeEquals("secre", "secret"));
    EXPECT_FALSE(ConstantTimeEquals("secrets", "secret"));
    EXPECT_FALSE(ConstantTimeEquals("", "secret"));
    EXPECT_FALSE(ConstantTimeEquals(std::string("secret\0", 7), "secret"));
    EXPECT_FALSE(ConstantTimeEquals("Secret", "secret"));
}

TEST(TeacherAccess, PasswordFilesAndGeneratedPasswords) {
    EXPECT_EQ(DecodeBase64Text("YWJj"), "abc");
    EXPECT_FALSE(DecodeBase64Text("YWJ"));
    const std::string first = GeneratePassword();
    EXPECT_EQ(first.size(), 12u);
    EXPECT_NE(first, GeneratePassword());
}

}  // namespace
