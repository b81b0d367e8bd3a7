// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keywords of the text test format that the readers, the writers and the test checker use:
// the section lines (the section sign followed by an upper-case keyword), the parameter
// keywords with the kind of their value and the default a number takes when it does not parse,
// and the answer mode names. Readers match keywords by prefix, ignoring case (IsKeyword);
// writers write them as they stand.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The section sign is byte 0xA7 ("§" in Windows-1251); the keyword follows as a separate
// literal so that no keyword letter is read as part of the hexadecimal escape.
#define TEZRA_SECTION_LINE(keyword) "\xA7" keyword

inline constexpr std::string_view SectionTezra = TEZRA_SECTION_LINE("TEZRA");
inline constexpr std::string_view SectionParams = TEZRA_SECTION_LINE("PARAMS");
inline constexpr std::string_view SectionEndParams = TEZRA_SECTION_LINE("END PARAMS");
inline constexpr std::string_view SectionGroups = TEZRA_SECTION_LINE("GROUPS");
inline constexpr std::string_view SectionEndGroups = TEZRA_SECTION_LINE("END GROUPS");
inline constexpr std::string_view SectionProblems = TEZRA_SECTION_LINE("PROBLEMS");
inline constexpr std::string_view SectionProblem = TEZRA_SECTION_LINE("PROBLEM");
inline constexpr std::string_view SectionEndProblems = TEZRA_SECTION_LINE("END PROBLEMS");
inline constexpr std::string_view SectionEndTezra = TEZRA_SECTION_LINE("END TEZRA");
inline constexpr std::string_view SectionCondition = TEZRA_SECTION_LINE("CONDITION");
inline constexpr std::string_view SectionEndCondition = TEZRA_SECTION_LINE("END CONDITION");
inline constexpr std::string_view SectionPicture = TEZRA_SECTION_LINE("PICTURE");
inline constexpr std::string_view SectionAnswer = TEZRA_SECTION_LINE("ANSWER");
inline constexpr std::string_view SectionEndProblem = TEZRA_SECTION_LINE("END PROBLEM");
inline constexpr std::string_view SectionVariants = TEZRA_SECTION_LINE("VARIANTS");
inline constexpr std::string_view SectionEndAnswer = TEZRA_SECTION_LINE("END ANSWER");

#undef TEZRA_SECTION_LINE

// The MODE values, indexed by the answer mode (0 RADIO, 1 COMBO, 2 INPUT).
inline constexpr std::array<std::string_view, 3> AnswerModeNames = {"RADIO", "COMBO", "INPUT"};

// What a parameter line sets, or what a number of another line is for.
enum class TestField : std::uint8_t {
    None,
    Id,
    Title,
    Shuffle,
    Defer,
    Mark1,  // only in the binary format: a text test has no MARK1 line
    Mark2,
    Mark3,
    Mark4,
    Mark5,
    Category,
    Difficulty,
    Group,
    Rate,
    File,
    Data,
    Mode,
    VariantWeight,  // the number between "[" and "]" of a variant line
    GroupQuota,     // the number after ">>" of a group line
    GroupRate,      // the number after the comma of a group line
};

enum class ValueKind : std::uint8_t {
    Text,     // the text after "=" as it stands
    Int,      // a whole number; an empty or unreadable one takes the default
    Float,    // a number with "." as its decimal point; likewise
    Letters,  // picture bytes written as letters A to P
    Mode,     // one of AnswerModeNames, or RADIO
};

struct ParamKeyword {
    TestField Field;
    std::string_view Name;  // the keyword of a parameter line; a plain word for other numbers
    ValueKind Kind;
    float Default;  // what an empty or unreadable number becomes
};

// The lines of the test's PARAMS block, in the order the reader tries them.
inline constexpr std::array<ParamKeyword, 8> TestParamKeywords = {{
    {TestField::Id, "ID", ValueKind::Text, 0.0f},
    {TestField::Title, "TITLE", ValueKind::Text, 0.0f},
    {TestField::Shuffle, "SHUFFLE", ValueKind::Int, 0.0f},
    {TestField::Defer, "DEFER", ValueKind::Int, 0.0f},
    {TestField::Mark5, "MARK5", ValueKind::Float, 0.0f},
    {TestField::Mark4, "MARK4", ValueKind::Float, 0.0f},
    {TestField::Mark3, "MARK3", ValueKind::Float, 0.0f},
    {TestField::Mark2, "MARK2", ValueKind::Float, 0.0f},
}};

// The lines of a problem's PARAMS block, in the order the reader tries them.
inline constexpr std::array<ParamKeyword, 6> ProblemParamKeywords = {{
    {TestField::Id, "ID", ValueKind::Text, 0.0f},
    {TestField::Title, "TITLE", ValueKind::Text, 0.0f},
    {TestField::Category, "CATEGORY", ValueKind::Text, 0.0f},
    {TestField::Difficulty, "DIFFICULTY", ValueKind::Int, 0.0f},
    {TestField::Group, "GROUP", ValueKind::Text, 0.0f},
    {TestField::Rate, "RATE", ValueKind::Float, 1.0f},
}};

// The lines of a PICTURE block, in the order the reader tries them.
inline constexpr std::array<ParamKeyword, 2> PictureKeywords = {{
    {TestField::File, "FILE", ValueKind::Text, 0.0f},
    {TestField::Data, "DATA", ValueKind::Letters, 0.0f},
}};

// The first line of an answer block, and the numbers that stand on lines of their own kind.
inline constexpr std::array<ParamKeyword, 5> OtherKeywords = {{
    {TestField::Mode, "MODE", ValueKind::Mode, 0.0f},
    {TestField::VariantWeight, "weight", ValueKind::Int, 0.0f},
    {TestField::GroupQuota, "quota", ValueKind::Int, 0.0f},
    {TestField::GroupRate, "rate", ValueKind::Float, 1.0f},
    {TestField::Mark1, "MARK1", ValueKind::Float, 0.0f},
}};

inline constexpr ParamKeyword NoKeyword{TestField::None, {}, ValueKind::Text, 0.0f};

template <std::size_t N>
constexpr const ParamKeyword* FindKeyword(const std::array<ParamKeyword, N>& table,
                                          TestField field) {
    for (const ParamKeyword& keyword : table) {
        if (keyword.Field == field) {
            return &keyword;
        }
    }
    return nullptr;
}

// The entry of the tables above for a field; NoKeyword, with an empty name, for None.
constexpr const ParamKeyword& KeywordOf(TestField field) {
    for (const ParamKeyword* found :
         {FindKeyword(TestParamKeywords, field), FindKeyword(ProblemParamKeywords, field),
          FindKeyword(PictureKeywords, field), FindKeyword(OtherKeywords, field)}) {
        if (found != nullptr) {
            return *found;
        }
    }
    return NoKeyword;
}

// The field of the threshold of a mark from 1 to 5.
constexpr TestField MarkField(int mark) {
    return static_cast<TestField>(static_cast<int>(TestField::Mark1) + mark - 1);
}
