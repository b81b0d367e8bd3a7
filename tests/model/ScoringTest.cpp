// SPDX-License-Identifier: GPL-3.0-or-later
// Scoring: weights of given answers, problem scores, points and marks.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ModelTestSupport.h"

namespace {

TAnswers MakeAnswers(std::uint8_t mode, std::vector<TVariant> variants) {
    TAnswers answers;
    answers.Mode = mode;
    answers.Variants = std::move(variants);
    return answers;
}

TEST(Scoring, WeightOfAGivenAnswer) {
    const TAnswers radio = MakeAnswers(ModeRadio, {{"Paris", 100}, {"PARIS", 7}, {"Lyon", 0}});
    const TAnswers input = MakeAnswers(
        ModeInput, {{"ROME", 100}, {"New York", 100}, {Cp("МОСКВА"), 80}, {"a-b", 30}});
    const TAnswers odd = MakeAnswers(7, {{"x y", 40}});
    struct Case {
        const TAnswers& Answers;
        std::string Given;
        std::int32_t Weight;
    };
    const Case cases[] = {
        {radio, "Paris", 100},
        {radio, "paris", 100},  // the first of two variants that differ in case
        {radio, "PARIS", 100},
        {radio, " Paris", 0},  // choices are compared as they are
        {radio, "Berlin", 0},
        {input, "rome", 100},
        {input, " r o\tme \r\n", 100},  // blanks anywhere are dropped
        {input, "New York", 0},         // a variant with a blank never matches
        {input, "NewYork", 0},
        {input, Cp("москва"), 80},  // Cyrillic letters fold as well
        {input, Cp("Мос ква"), 80},
        {input, "A-B", 30},
        {input, "", 0},
        {odd, "X Y", 40},  // another mode compares like RADIO
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.Answers.GetWeight(c.Given), c.Weight) << c.Given;
    }
}

TEST(Scoring, ProblemScoreSumsWeightsWithinZeroToHundred) {
    const TAnswers combo = MakeAnswers(ModeCombo, {{"a", 50}, {"b", 50}, {"c", -50}, {"d", 100}});
    struct Case {
        std::vector<std::string> Given;
        float Score;
    };
    const Case cases[] = {
        {{"a", "b"}, 100}, {{"a", "b", "c"}, 50}, {{"b", "c"}, 0},
        {{"c"}, 0},        {{"a", "d"}, 100},  // 150 is held at 100
        {{}, 0},           {{"zzz"}, 0},          {{"a", "a"}, 100},
    };
    for (const Case& c : cases) {
        TProblem p;
        p.Answers = combo;
        p.Given = c.Given;
        EXPECT_EQ(p.GetScore(), c.Score) << testing::PrintToString(c.Given);
        EXPECT_EQ(p.Score, c.Score);
    }
    TProblem huge;
    huge.Answers = MakeAnswers(ModeRadio, {{"max", INT32_MAX}, {"min", INT32_MIN}});
    huge.Given = {"max", "max", "min"};
    EXPECT_EQ(huge.GetScore(), 100.0f);
}

TEST(Scoring, ScoreIsComputedOnceUntilTheAnswerIsCleared) {
    TProblem p;
    EXPECT_EQ(Bits(p.Score), 0xFFC00000u);
    p.Answers = MakeAnswers(ModeRadio, {{"yes", 100}, {"half", 50}});
    p.Given = {"half"};
    EXPECT_EQ(p.GetScore(), 50.0f);
    p.Given = {"yes"};
    EXPECT_EQ(p.GetScore(), 50.0f);  // cached
    p.ClearAnswer();
    EXPECT_TRUE(p.Given.empty());
    EXPECT_EQ(Bits(p.Score), 0xFFC00000u);
    p.Given = {"yes"};
    EXPECT_EQ(p.GetScore(), 100.0f);
}

TEST(Scoring, PointsCountEveryProblemOfTheTest) {
    TTezra t;
    for (const char* given : {"yes", "half", "third", "", "yes"}) {
        auto p = std::make_unique<TProblem>();
        p->Answers = MakeAnswers(ModeRadio, {{"yes", 100}, {"half", 50}, {"third", 33}});
        if (*given != '\0') {
            p->Given = {given};
        }
        t.Problems.push_back(std::move(p));
    }
    // The last problem was not drawn; answers given to it still count.
    t.Selected = {t.Problems[0].get(), t.Problems[1].get()};
    EXPECT_EQ(t.GetPoints(), 2.83f);
    EXPECT_EQ(t.GetPoints(), 2.83f);  // the same again
    for (const auto& p : t.Problems) {
        EXPECT_FALSE(std::isnan(p->Score));
    }
    TTezra empty;
    EXPECT_EQ(empty.GetPoints(), 0.0f);
}

TEST(Scoring, MarkIsTheHighestWhoseThresholdIsReached) {
    struct Case {
        std::array<float, 5> Thresholds;  // marks 1 to 5
        float Points;
        int Mark;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {{0, 0, 0, 0, 0}, 0.0f, 5},        // no MARK lines: every result gets 5
        {{0, 0.5f, 1, 2, 1}, 1.5f, 5},     // thresholds need not rise
        {{0, 0.5f, 1, 1.5f, 2}, 1.0f, 3},  // equality reaches the mark
        {{0, 0.5f, 1, 1.5f, 2}, 0.99f, 2},    {{0, 0.5f, 1, 1.5f, 2}, 0.0f, 1},
        {{-9, 0.5f, 1, 1.5f, 2}, -1.0f, 1},  // the threshold of mark 1 is not consulted
        {{0, 0.5f, 1, 1.5f, 2}, nan, 1},      {{0, nan, nan, nan, nan}, 5.0f, 1},
        {{0, 1, 2, 3, -INFINITY}, -1e30f, 5},
    };
    for (const Case& c : cases) {
        TTezra t;
        t.MarkThresholds.Values = c.Thresholds;
        EXPECT_EQ(t.GetMark(c.Points), c.Mark) << c.Points;
    }
}

TEST(Scoring, GeographyTestScoredEndToEnd) {
    auto t = ReadFixture("geography.ttxt");
    ASSERT_TRUE(t->Prepare());
    ASSERT_TRUE(t->SelectProblems());
    t->Problems[0]->Given = {"paris"};
    t->Problems[1]->Given = {"Seine", "Alps", "Loire"};
    t->Problems[2]->Given = {Cp(" моск ва ")};
    EXPECT_EQ(t->GetPoints(), 2.5f);
    EXPECT_EQ(t->GetMark(t->GetPoints()), 5);
    EXPECT_EQ(t->Problems[1]->Score, 50.0f);
}

}  // namespace
