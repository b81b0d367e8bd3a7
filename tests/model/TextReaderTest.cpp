// SPDX-License-Identifier: GPL-3.0-or-later
// Line reading and the small helpers of the text format.

#include <gtest/gtest.h>

#include "ModelTestSupport.h"

namespace {

std::vector<std::string> PhysicalLines(std::string_view text) {
    TTextReader reader(text);
    std::vector<std::string> lines;
    while (!reader.Eof()) {
        lines.emplace_back(reader.ReadLine());
    }
    return lines;
}

std::vector<std::string> MeaningfulLines(std::string_view text, int calls) {
    TTextReader reader(text);
    std::vector<std::string> lines;
    for (int i = 0; i < calls; ++i) {
        lines.emplace_back(ReadNextLine(reader));
    }
    return lines;
}

using Lines = std::vector<std::string>;

TEST(TextReader, LineEndsLfCrLfAndLoneCr) {
    struct Case {
        std::string_view Text;
        Lines Expected;
    };
    const Case cases[] = {
        {"a\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\nc", {"ab", "c"}},  // a CR without LF is dropped from the line
        {"a\r\r\nb", {"a", "b"}},  // the first CR is a lone one
        {"x\r", {"x"}},            // a CR at the very end is lone as well
        {"\n\n", {"", ""}},        // empty lines are lines
        {std::string_view("a\0b\n", 4), {std::string("a\0b", 3)}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PhysicalLines(c.Text), c.Expected) << testing::PrintToString(c.Text);
    }
}

TEST(TextReader, LinesHaveNoLengthLimit) {
    const std::string longLine(3'000'000, 'x');
    const Lines lines = PhysicalLines(longLine + "\r\nend");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], longLine);
    EXPECT_EQ(lines[1], "end");
}

TEST(TextReader, ReadNextLineSkipsCommentsAndBlanksButNotTheLastLine) {
    // Trimmed; comment and blank lines skipped; the last line returned whatever it holds;
    // empty once the end has been passed.
    EXPECT_EQ(MeaningfulLines("  ; note\n\n\t a b \t\n; last", 4),
              (Lines{"a b", "; last", "", ""}));
    EXPECT_EQ(MeaningfulLines("x\n   \n", 3), (Lines{"x", "", ""}));
    EXPECT_EQ(MeaningfulLines("x\n;y\n", 2), (Lines{"x", ";y"}));
    EXPECT_EQ(MeaningfulLines("", 2), (Lines{"", ""}));
    EXPECT_EQ(MeaningfulLines("\x01\x1f"
                              "a\x20\n",
                              1),
              (Lines{"a"}));  // codes 0-32 trimmed
}

TEST(TextReader, KeywordsMatchByUpperCasedPrefix) {
    struct Case {
        std::string Line;
        std::string Keyword;
        bool Matches;
    };
    const Case cases[] = {
        {"TITLE2=x", "TITLE", true},
        {"id=5", "ID", true},
        {"Id", "ID", true},
        {"I", "ID", false},  // shorter than the keyword
        {Cp("§problems"), Cp("§PROBLEM"), true},
        {Cp("§PROBLEM"), Cp("§PROBLEMS"), false},
        {Cp("§ END PARAMS"), Cp("§END PARAMS"), false},
        {"anything", "", true},
        {"", "", true},
        {" ID", "ID", false},  // no trimming here
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsKeyword(c.Line, c.Keyword), c.Matches) << c.Line << " / " << c.Keyword;
    }
}

TEST(TextReader, ValueAfterEquals) {
    EXPECT_EQ(ValueAfterEquals("id = geo-05"), "geo-05");
    EXPECT_EQ(ValueAfterEquals("TITLE"), "TITLE");
    EXPECT_EQ(ValueAfterEquals("a=b=c"), "b=c");
    EXPECT_EQ(ValueAfterEquals("MARK4=  "), "");
    EXPECT_EQ(ValueAfterEquals(" x y "), "x y");
}

TEST(TextReader, AnswerModes) {
    struct Case {
        std::string_view Value;
        std::uint8_t Mode;
    };
    const Case cases[] = {{"RADIO", 0}, {"combo", 1},      {"Input", 2},  {"INPUTS", 2},
                          {"radi", 9},  {"", 9},           {" COMBO", 9}, {"CHECK", 9},
                          {"Радио", 9}, {"COMBO RADIO", 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseAnswerMode(Cp(c.Value), 9), c.Mode) << c.Value;
    }
}

TEST(TextReader, PictureLettersDecodeTwoPerByteWithoutValidation) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(DecodePictureLetters("PPNIPP"), (Bytes{0xFF, 0xD8, 0xFF}));
    EXPECT_EQ(DecodePictureLetters("PPN"), (Bytes{0xFF}));  // odd last letter ignored
    EXPECT_EQ(DecodePictureLetters(""), Bytes{});
    EXPECT_EQ(DecodePictureLetters("AAAPPA"), (Bytes{0x00, 0x0F, 0xF0}));
    // Other characters are not rejected: each half keeps the low 8 bits of its arithmetic.
    EXPECT_EQ(DecodePictureLetters("Ba"), (Bytes{0x30}));
    EXPECT_EQ(DecodePictureLetters("!!"), (Bytes{0xE0}));
    EXPECT_EQ(DecodePictureLetters(Cp("яя")), (Bytes{0xFE}));
}

}  // namespace
