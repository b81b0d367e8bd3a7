// SPDX-License-Identifier: GPL-3.0-or-later
// The keyword table: every field has exactly one entry, found by its field, and the tables the
// readers try in order hold each keyword once, none of them a prefix of a later one (a line is
// matched by prefix, so such a later keyword could never be reached).

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "model/TextKeywords.h"

namespace {

template <std::size_t N>
void ExpectReachable(const std::array<ParamKeyword, N>& table, const char* name) {
    for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t j = i + 1; j < N; ++j) {
            EXPECT_NE(table[j].Name.substr(0, table[i].Name.size()), table[i].Name)
                << name << ": " << table[i].Name << " hides " << table[j].Name;
        }
    }
}

TEST(TextKeywords, EveryFieldHasOneEntryAndEveryKeywordCanMatch) {
    std::set<std::string> names;
    for (int i = static_cast<int>(TestField::Id); i <= static_cast<int>(TestField::GroupRate);
         ++i) {
        const auto field = static_cast<TestField>(i);
        const ParamKeyword& keyword = KeywordOf(field);
        EXPECT_EQ(keyword.Field, field) << i;
        EXPECT_FALSE(keyword.Name.empty()) << i;
        names.insert(std::string(keyword.Name));
    }
    // No two fields share a name.
    EXPECT_EQ(names.size(), static_cast<std::size_t>(TestField::GroupRate));
    EXPECT_TRUE(KeywordOf(TestField::None).Name.empty());
    for (int mark = 1; mark <= 5; ++mark) {
        EXPECT_EQ(KeywordOf(MarkField(mark)).Name, "MARK" + std::to_string(mark));
    }
    struct Row {
        TestField Field;
        ValueKind Kind;
        float Default;
    };
    const Row defaults[] = {
        {TestField::Shuffle, ValueKind::Int, 0.0f},
        {TestField::Mark3, ValueKind::Float, 0.0f},
        {TestField::Rate, ValueKind::Float, 1.0f},
        {TestField::GroupRate, ValueKind::Float, 1.0f},
        {TestField::GroupQuota, ValueKind::Int, 0.0f},
        {TestField::Data, ValueKind::Letters, 0.0f},
    };
    for (const Row& row : defaults) {
        EXPECT_EQ(KeywordOf(row.Field).Kind, row.Kind) << KeywordOf(row.Field).Name;
        EXPECT_EQ(KeywordOf(row.Field).Default, row.Default) << KeywordOf(row.Field).Name;
    }
    ExpectReachable(TestParamKeywords, "test");
    ExpectReachable(ProblemParamKeywords, "problem");
    ExpectReachable(PictureKeywords, "picture");
}

}  // namespace
