// SPDX-License-Identifier: GPL-3.0-or-later
// The model's defaults and its case-insensitive lookups.

#include <gtest/gtest.h>

#include "ModelTestSupport.h"

namespace {

TEST(Model, FreshObjectsHoldTheirDefaults) {
    const TTezra t;
    EXPECT_TRUE(t.Id.empty() && t.Title.empty());
    EXPECT_TRUE(t.Problems.empty() && t.Selected.empty() && t.Pending.empty());
    EXPECT_TRUE(t.Groups.empty());
    EXPECT_FALSE(t.ShuffleGroups || t.ShuffleProblems || t.ShuffleVariants);
    EXPECT_EQ(t.DeferLimit, 0);
    EXPECT_EQ(t.DeferCount, 0);
    EXPECT_FALSE(t.CanDefer());
    for (int mark = 1; mark <= 5; ++mark) {
        EXPECT_EQ(Bits(t.MarkThresholds[mark]), 0u);
    }

    const TProblem p;
    EXPECT_EQ(Bits(p.Score), 0xFFC00000u);
    EXPECT_EQ(p.Rate, 0.0f);
    EXPECT_EQ(p.Difficulty, 0);
    EXPECT_TRUE(p.Condition.empty() && p.Picture.empty() && p.PictureFile.empty());
    EXPECT_EQ(p.Answers.Mode, ModeRadio);
    EXPECT_TRUE(p.Answers.Variants.empty());

    const TGroupInfo g;
    EXPECT_EQ(g.Quota, 0);
    EXPECT_EQ(g.Rate, 1.0f);
    EXPECT_TRUE(g.Problems.empty());
}

TEST(Model, LookupsIgnoreCaseAndReturnTheFirstMatch) {
    TTezra t;
    for (const char* name : {"Алгебра", "геометрия", "АЛГЕБРА", ""}) {
        auto group = std::make_unique<TGroupInfo>();
        group->Name = Cp(name);
        t.Groups.push_back({Cp(name), std::move(group)});
    }
    EXPECT_EQ(t.IndexOfGroup(Cp("алгебра")), 0);
    EXPECT_EQ(t.IndexOfGroup(Cp("ГЕОМЕТРИЯ")), 1);
    EXPECT_EQ(t.IndexOfGroup(""), 3);
    EXPECT_EQ(t.IndexOfGroup(Cp("алгебр")), -1);
    EXPECT_EQ(t.FindGroup(Cp("АлГеБрА")), t.Groups[0].Group.get());
    EXPECT_EQ(t.FindGroup("x"), nullptr);

    TAnswers a;
    a.Variants = {{Cp("Ёж"), 1}, {Cp("ёж"), 2}, {"x", 3}};
    EXPECT_EQ(a.IndexOfVariant(Cp("ЁЖ")), 0);
    EXPECT_EQ(a.IndexOfVariant("X"), 2);
    EXPECT_EQ(a.IndexOfVariant("y"), -1);
}

}  // namespace
