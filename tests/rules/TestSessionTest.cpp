// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/TestSession.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/Cp1251.h"
#include "tests/common/TempDir.h"
#include "tests/common/TinyTests.h"

namespace {

using Texts = std::vector<std::string>;

std::unique_ptr<TTezra> Read(const std::string& utf8) {
    auto tezra = std::make_unique<TTezra>();
    EXPECT_TRUE(LoadTestFromText(*tezra, Utf8ToCp1251(utf8)));
    return tezra;
}

std::string Utf8(const std::string& cp1251) {
    return Cp1251ToUtf8(cp1251);
}

TEST(TestSession, WhichInputCountsAsAnAnswer) {
    struct Case {
        const char* name;
        const char* mode;
        TAnswerInput input;
        Texts given;  // empty: the answer was forgotten
    };
    const Case cases[] = {
        {"radio, nothing selected", "RADIO", {-1, {}, ""}, {}},
        {"radio, second selected", "RADIO", {1, {}, ""}, {"b"}},
        {"radio, index past the items", "RADIO", {3, {}, ""}, {}},
        {"check list, nothing ticked", "COMBO", {-1, {false, false, false}, ""}, {}},
        {"check list, in the order shown", "COMBO", {-1, {true, false, true}, ""}, {"a", "c"}},
        {"check list, fewer ticks than items", "COMBO", {-1, {false, true}, ""}, {"b"}},
        {"typed, untouched", "INPUT", {-1, {}, "(type your answer here)"}, {}},
        {"typed, emptied", "INPUT", {-1, {}, ""}, {}},
        {"typed, other case",
         "INPUT",
         {-1, {}, "(TYPE your answer here)"},
         {"(TYPE your answer here)"}},
        {"typed, leading blank",
         "INPUT",
         {-1, {}, " (type your answer here)"},
         {" (type your answer here)"}},
        {"typed, kept as typed", "INPUT", {-1, {}, " ro me "}, {" ro me "}},
        {"typed, radio input ignored", "INPUT", {0, {true}, ""}, {}},
    };
    for (const Case& c : cases) {
        auto tezra = Read(TinyTest("", {ProblemText("p", c.mode, "[100] a|[0] b|[0] c"),
                                        ProblemText("q", "RADIO", "[100] x")}));
        TestSession session;
        ASSERT_TRUE(session.Begin(*tezra)) << c.name;
        session.ShowProblem();
        TProblem& problem = *tezra->Pending.front();
        problem.Given = {"stale"};
        const TAnswerOutcome outcome = session.Answer(c.input);
        EXPECT_EQ(problem.Given, c.given) << c.name;
        if (c.given.empty()) {
            EXPECT_EQ(outcome, TAnswerOutcome::Forgotten) << c.name;
            EXPECT_EQ(tezra->Pending.size(), 2u) << c.name;
            EXPECT_EQ(session.View().Problem, &problem) << c.name;
        } else {
            EXPECT_EQ(outcome, TAnswerOutcome::NextProblem) << c.name;
            ASSERT_EQ(tezra->Pending.size(), 1u) << c.name;
            EXPECT_EQ(session.ShowProblem().Problem->Id, "q") << c.name;
        }
    }
}

TEST(TestSession, UnknownModeIsAnsweredAndScoredAsASingleChoice) {
    auto tezra = Read(TinyTest("", {ProblemText("p", "RADIO", "[0] a|[100] b")}));
    tezra->Problems[0]->Answers.Mode = 7;
    TestSession session;
    ASSERT_TRUE(session.Begin(*tezra));
    EXPECT_EQ(session.ShowProblem().Mode, ModeRadio);
    EXPECT_EQ(session.View().Variants, (Texts{"a", "b"}));
    EXPECT_EQ(session.Answer({1, {}, ""}), TAnswerOutcome::Finished);
    EXPECT_FALSE(session.Active());
    EXPECT_EQ(session.Score().Points, 1.0f);
}

TEST(TestSession, AChoiceWithoutVariantsIsPassedWithoutAnAnswer) {
    const std::pair<const char*, TAnswerOutcome> cases[] = {
        {"RADIO", TAnswerOutcome::NextProblem},
        {"COMBO", TAnswerOutcome::NextProblem},
        {"INPUT", TAnswerOutcome::Forgotten},
    };
    for (const auto& [mode, outcome] : cases) {
        auto tezra = Read(TinyTest("", {ProblemText("p", mode, ""), ProblemText("q", mode, "")}));
        TestSession session;
        ASSERT_TRUE(session.Begin(*tezra));
        session.ShowProblem();
        EXPECT_EQ(session.Answer({}), outcome) << mode;
        EXPECT_EQ(tezra->Problems[0]->Given, Texts{}) << mode;
    }
}

TEST(TestSession, DeferralsUpToTheLimitThenThePanelHides) {
    struct Case {
        const char* name;
        int limit;
        int problems;
        bool panelAtStart;
        // After each press: whether it deferred, the count text, the panel, the problem shown.
        std::vector<std::tuple<bool, std::string, bool, std::string>> presses;
    };
    const Case cases[] = {
        {"no deferral allowed", 0, 2, false, {{false, "0", false, "1"}}},
        {"negative limit", -1, 2, false, {{false, "-1", false, "1"}}},
        {"two allowed",
         2,
         3,
         true,
         {{true, "1", true, "2"},
          {true, "0", true, "3"},
          {false, "0", false, "3"},
          {false, "0", false, "3"}}},
        {"the last problem moves onto itself",
         2,
         1,
         true,
         {{true, "1", true, "1"}, {true, "0", true, "1"}, {false, "0", false, "1"}}},
    };
    for (const Case& c : cases) {
        std::string params = "DEFER=" + std::to_string(c.limit);
        auto tezra = std::make_unique<TTezra>();
        std::string text = "§TEZRA\n§PARAMS\n" + params + "\n§END PARAMS\n§PROBLEMS\n";
        for (int i = 1; i <= c.problems; ++i) {
            text += ProblemText(std::to_string(i), "RADIO", "[100] a");
        }
        ASSERT_TRUE(LoadTestFromText(*tezra, Utf8ToCp1251(text + "§END PROBLEMS\n§END TEZRA\n")));
        TestSession session;
        ASSERT_TRUE(session.Begin(*tezra)) << c.name;
        session.ShowProblem();
        EXPECT_EQ(session.DeferPanelVisible(), c.panelAtStart) << c.name;
        EXPECT_EQ(session.DeferCountText(), std::to_string(c.limit)) << c.name;
        for (std::size_t i = 0; i < c.presses.size(); ++i) {
            const auto& [deferred, count, panel, shown] = c.presses[i];
            EXPECT_EQ(session.Defer(), deferred) << c.name << " press " << i;
            if (deferred) {
                session.ShowProblem();
            }
            EXPECT_EQ(session.DeferCountText(), count) << c.name << " press " << i;
            EXPECT_EQ(session.DeferPanelVisible(), panel) << c.name << " press " << i;
            EXPECT_EQ(session.View().Problem->Id, shown) << c.name << " press " << i;
        }
        // Deferring changes neither what is drawn nor what an answer is worth.
        EXPECT_EQ(tezra->Pending.size(), static_cast<std::size_t>(c.problems)) << c.name;
        while (session.Active()) {
            session.ShowProblem();
            session.Answer({0, {}, ""});
        }
        EXPECT_EQ(session.Score().Points, static_cast<float>(c.problems)) << c.name;
    }
}

TEST(TestSession, ScoreMessageShowsPointsInTheGeneralFormatAndTheMark) {
    struct Case {
        std::vector<TAnswerInput> answers;
        float points;
        int mark;
        const char* message;
    };
    // Four problems: a radio, a check list worth 50 a tick, a typed answer, another radio.
    const Case cases[] = {
        {{{0, {}, ""}, {-1, {true, true}, ""}, {-1, {}, "ro me"}, {0, {}, ""}},
         4.0f,
         5,
         "Вы набрали баллов: 4\rОценка 5"},
        {{{0, {}, ""}, {-1, {true, false}, ""}, {-1, {}, "Rome"}, {0, {}, ""}},
         3.5f,
         4,
         "Вы набрали баллов: 3.5\rОценка 4"},
        {{{1, {}, ""}, {-1, {false, true}, ""}, {-1, {}, "Paris"}, {1, {}, ""}},
         0.5f,
         1,
         "Вы набрали баллов: 0.5\rОценка 1"},
        {{{1, {}, ""}, {-1, {false, false, true}, ""}, {-1, {}, "x"}, {1, {}, ""}},
         0.0f,
         1,
         "Вы набрали баллов: 0\rОценка 1"},
    };
    for (const Case& c : cases) {
        auto tezra = Read(TinyTest("MARK5=4\nMARK4=3.5\nMARK3=2\nMARK2=1",
                                   {ProblemText("1", "RADIO", "[100] a|[0] b"),
                                    ProblemText("2", "COMBO", "[50] a|[50] b|[-100] c"),
                                    ProblemText("3", "INPUT", "[100] Rome"),
                                    ProblemText("4", "RADIO", "[100] a|[0] b")}));
        TestSession session;
        ASSERT_TRUE(session.Begin(*tezra));
        for (const TAnswerInput& answer : c.answers) {
            session.ShowProblem();
            session.Answer(answer);
        }
        EXPECT_FALSE(session.Active()) << c.message;
        const TTestScore score = session.Score();
        EXPECT_EQ(score.Points, c.points) << c.message;
        EXPECT_EQ(score.Mark, c.mark) << c.message;
        EXPECT_EQ(Utf8(score.Message), c.message);
    }
}

TEST(TestSession, FilesThatCannotRunLeaveAnEmptyCurrentTest) {
    TempDir dir;
    const auto good = dir.Write(
        "good.ttxt", TinyTestBytes("DEFER=3\nMARK5=9", {ProblemText("p", "RADIO", "[100] a")}));
    const auto empty = dir.Write("empty.ttxt", TinyTestBytes("", {}));
    const auto corrupt = dir.Write("corrupt.tbin", "TZRA\xFF\xFF\xFF\x7F garbage");
    const auto notATest = dir.Write("text.ttxt", "hello\r\n");
    const auto unknownKind = dir.Write("good.doc", TempDir::Read(good));
    const std::pair<std::filesystem::path, bool> cases[] = {
        {good, true},         {dir.Path / "missing.ttxt", false},
        {good, true},         {empty, false},
        {good, true},         {corrupt, false},
        {good, true},         {notATest, false},
        {unknownKind, false},
    };
    for (const auto& [file, runs] : cases) {
        TestSession session;
        EXPECT_EQ(session.Load(file), runs) << file;
        EXPECT_EQ(session.Active(), runs) << file;
        TTezra& current = CurrentTezra();
        if (runs) {
            session.ShowProblem();
            session.Answer({0, {}, ""});
            EXPECT_EQ(current.Selected.size(), 1u);
            EXPECT_EQ(current.DeferLimit, 3);
            continue;
        }
        // Nothing of the previous student's test is left to log or to show.
        EXPECT_TRUE(current.Selected.empty()) << file;
        EXPECT_TRUE(current.Pending.empty()) << file;
        EXPECT_EQ(current.GetPoints(), 0.0f) << file;
        EXPECT_EQ(current.GetMark(0.0f), 5) << file;
        EXPECT_EQ(current.DeferLimit, 0) << file;
    }
}

}  // namespace
