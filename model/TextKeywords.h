// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keywords of the text test format that both the readers and the writers use: the section
// lines (the section sign followed by an upper-case keyword) and the answer mode names. Readers
// match them by prefix, ignoring case (IsKeyword); writers write them as they stand.

#include <array>
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
