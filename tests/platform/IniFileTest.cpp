// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/IniFile.h"
#include "platform/StationLimits.h"
#include "tests/common/TempDir.h"

namespace {

TIniFile Ini(std::string_view text) {
    TIniFile ini;
    ini.LoadFromString(text);
    return ini;
}

TEST(IniFile, SectionsAndKeysIgnoreCaseIncludingCyrillic) {
    const TIniFile ini =
        Ini("orphan=1\r\n"
            "[General]\r\n"
            "  NeedLogin = 1 \r\n"
            "; comment=5\r\n"
            "[\xCA\xEB\xE0\xF1\xF1\xFB]\r\n"  // [Классы]
            "\xE4\xE2\xE0=\r\n");
    EXPECT_TRUE(ini.SectionExists("general"));
    EXPECT_TRUE(ini.SectionExists("\xEA\xEB\xE0\xF1\xF1\xFB"));  // классы
    EXPECT_FALSE(ini.SectionExists("servers"));
    EXPECT_EQ(ini.ReadInteger("GENERAL", "needlogin", 0), 1);
    EXPECT_EQ(ini.ReadInteger("general", "comment", 9), 9);
    EXPECT_EQ(ini.ReadInteger("general", "orphan", 9), 9);
    EXPECT_EQ(ini.ReadSection("\xCA\xCB\xC0\xD1\xD1\xDB"),
              std::vector<std::string>{"\xE4\xE2\xE0"});
}

TEST(IniFile, IntegersUseThePlatformConversion) {
    const TIniFile ini = Ini("[g]\na=$10\nb=0x1A\nc=-3\nd=yes\ne=1.5\nf=\ng=\"7\"\n");
    struct Case {
        const char* Key;
        std::int32_t Value;
    };
    const Case cases[] = {{"a", 16}, {"b", 26}, {"c", -3}, {"d", 42},
                          {"e", 42}, {"f", 42}, {"g", 7},  {"missing", 42}};
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadInteger("g", c.Key, 42), c.Value) << c.Key;
    }
}

TEST(IniFile, SectionKeysKeepFileOrderAndDuplicates) {
    const TIniFile ini =
        Ini("[servers]\nb.school=\na.school=x\nb.school=\nnoequals\n\n[groups]\n");
    EXPECT_EQ(ini.ReadSection("servers"),
              (std::vector<std::string>{"b.school", "a.school", "b.school", "noequals"}));
    EXPECT_TRUE(ini.SectionExists("groups"));
    EXPECT_TRUE(ini.ReadSection("groups").empty());
    EXPECT_TRUE(ini.ReadSection("absent").empty());
}

TEST(IniFile, FirstOccurrenceWins) {
    const TIniFile ini = Ini("[g]\nk=1\nK=2\n[G]\nk=3\n");
    EXPECT_EQ(ini.ReadInteger("g", "k", 0), 1);
}

TEST(IniFile, MissingFileLoadsNothing) {
    TIniFile ini;
    EXPECT_FALSE(ini.LoadFromFile("/nonexistent/tezra-net.ini"));
    EXPECT_FALSE(ini.SectionExists("general"));
}

// A settings file of the largest size is read; one byte more and the station keeps its
// built-in settings rather than holding a file without end.
TEST(IniFile, ReadsUpToTheSizeLimitAndNoFurther) {
    const TempDir dir;
    const std::filesystem::path path = dir / "tezra-net.ini";
    for (const std::size_t size : {kMaxIniBytes, kMaxIniBytes + 1}) {
        std::string text = "[general]\nneedlogin=1\n;";
        text.append(size - text.size() - 1, 'x');
        text += '\n';
        ASSERT_EQ(text.size(), size);
        std::ofstream(path, std::ios::binary) << text;
        TIniFile ini;
        const bool within = size <= kMaxIniBytes;
        EXPECT_EQ(ini.LoadFromFile(path), within) << size;
        EXPECT_EQ(ini.ReadInteger("general", "needlogin", 0), within ? 1 : 0) << size;
    }
}

TEST(IniFile, KeepsTheLineOfEverySectionAndEntry) {
    const TIniFile ini = Ini("a=1\n; c\n\n[one]\r\nx=1\r\ny\r\n[One]\nz=2\n");
    EXPECT_EQ(ini.LinesOutsideSections(), std::vector<std::size_t>{1});
    const auto& sections = ini.AllSections();
    ASSERT_EQ(sections.size(), 2u);  // the repeated section is kept, lookups use the first
    EXPECT_EQ(sections[0].Line, 4u);
    ASSERT_EQ(sections[0].Entries.size(), 2u);
    EXPECT_EQ(sections[0].Entries[1].Key, "y");
    EXPECT_EQ(sections[0].Entries[1].Line, 6u);
    EXPECT_EQ(sections[1].Line, 7u);
    EXPECT_EQ(sections[1].Entries[0].Line, 8u);
    EXPECT_EQ(ini.ReadInteger("one", "z", 0), 0);
}

}  // namespace
