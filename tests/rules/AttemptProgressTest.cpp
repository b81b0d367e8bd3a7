// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/AttemptProgress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "tests/common/TinyTests.h"
#include "ui/rules/TestSession.h"

namespace {

std::unique_ptr<TTezra> Read(const std::string& utf8) {
    auto tezra = std::make_unique<TTezra>();
    EXPECT_TRUE(LoadTestFromText(*tezra, Utf8ToCp1251(utf8)));
    return tezra;
}

// Four problems drawn in random order, two deferrals; 2 points give mark 5, 1 mark 4.
std::string FourProblems() {
    return TinyTest(
        "SHUFFLE=2\nDEFER=2\nMARK5=2\nMARK4=1",
        {ProblemText("p0", "RADIO", "[100] a|[0] b"), ProblemText("p1", "RADIO", "[100] a|[0] b"),
         ProblemText("p2", "COMBO", "[50] a|[50] b|[0] c"),
         ProblemText("p3", "INPUT", "[100] Rome")});
}

std::vector<std::string> Ids(const std::vector<TProblem*>& problems) {
    std::vector<std::string> ids;
    for (const TProblem* problem : problems) {
        ids.push_back(problem->Id);
    }
    return ids;
}

TEST(AttemptProgress, ARestoredTestContinuesAndScoresLikeTheOriginal) {
    auto original = Read(FourProblems());
    TestSession session;
    ASSERT_TRUE(session.Begin(*original));
    // The first problem is answered wrongly (the second variant shown), the next one deferred.
    session.ShowProblem();
    TAnswerInput wrong;
    wrong.RadioIndex = 0;
    wrong.Checked = {false, false, true};
    wrong.Typed = "Paris";
    if (session.View().Mode == ModeRadio) {
        wrong.RadioIndex = session.View().Variants[0] == "a" ? 1 : 0;
    }
    ASSERT_EQ(session.Answer(wrong), TAnswerOutcome::NextProblem);
    ASSERT_TRUE(session.Defer());
    const TAttemptProgress progress = CaptureProgress(*original);
    EXPECT_EQ(progress.Selected.size(), 4u);
    EXPECT_EQ(progress.Pending.size(), 3u);
    EXPECT_EQ(progress.DeferCount, 1);
    EXPECT_EQ(progress.Points, 0.0f);
    EXPECT_EQ(progress.Mark, 3);  // MARK3 and MARK2 are 0
    // Capturing scored nothing for good: the pending problems are scored when answered.
    for (const auto& problem : original->Problems) {
        EXPECT_TRUE(std::isnan(problem->Score)) << problem->Id;
    }

    auto restored = Read(FourProblems());
    restored->Prepare();
    ASSERT_TRUE(RestoreProgress(*restored, progress));
    EXPECT_EQ(Ids(restored->Selected), Ids(original->Selected));
    EXPECT_EQ(Ids(restored->Pending), Ids(original->Pending));
    EXPECT_EQ(restored->DeferCount, 1);

    // The same right answers to the rest give the same points in both.
    for (TTezra* tezra : {original.get(), restored.get()}) {
        TestSession rest;
        ASSERT_TRUE(rest.Continue(*tezra));
        for (TAnswerOutcome outcome = TAnswerOutcome::NextProblem;
             outcome == TAnswerOutcome::NextProblem;) {
            const TProblemView& view = rest.ShowProblem();
            TAnswerInput right;
            right.Typed = "rome";
            for (std::size_t i = 0; i < view.Variants.size(); ++i) {
                right.Checked.push_back(view.Variants[i] != "c");
                right.RadioIndex =
                    view.Variants[i] == "a" ? static_cast<int>(i) : right.RadioIndex;
            }
            outcome = rest.Answer(right);
        }
    }
    EXPECT_EQ(restored->GetPoints(), original->GetPoints());
    EXPECT_EQ(original->GetPoints(), 3.0f);
    EXPECT_EQ(CaptureProgress(*restored).Points, 3.0f);
    EXPECT_EQ(CaptureProgress(*restored).Mark, 5);
}

TEST(AttemptProgress, ProgressThatDoesNotFitTheTestIsRefused) {
    TAttemptProgress fits;
    fits.Selected = {3, 1};
    fits.Pending = {1};
    fits.Given = {{"Rome"}, {}};
    fits.DeferCount = 2;
    struct Case {
        const char* name;
        std::function<void(TAttemptProgress&)> change;
        bool restores;
    };
    const Case cases[] = {
        {"as written", [](TAttemptProgress&) {}, true},
        {"a drawn index past the test", [](TAttemptProgress& p) { p.Selected[0] = 4; }, false},
        {"a pending index past the test", [](TAttemptProgress& p) { p.Pending[0] = 9; }, false},
        {"more deferrals than allowed", [](TAttemptProgress& p) { p.DeferCount = 3; }, false},
        {"answers for fewer problems", [](TAttemptProgress& p) { p.Given.pop_back(); }, false},
    };
    for (const Case& c : cases) {
        auto tezra = Read(FourProblems());
        tezra->Prepare();
        TAttemptProgress progress = fits;
        c.change(progress);
        EXPECT_EQ(RestoreProgress(*tezra, progress), c.restores) << c.name;
        if (c.restores) {
            EXPECT_EQ(Ids(tezra->Selected), (std::vector<std::string>{"p3", "p1"}));
            EXPECT_EQ(tezra->Problems[3]->Given, std::vector<std::string>{"Rome"});
        } else {
            EXPECT_TRUE(tezra->Selected.empty()) << c.name;
        }
    }
}

TEST(AttemptProgress, WhatTheStationDoesWithAJournalAtStartUp) {
    TAttemptJournal journal;
    journal.TestFile = "t.ttxt";
    journal.Fingerprint = {10, Sha256("t")};
    journal.Start = {{2024, 6, 11}, 23 * 3600000LL};  // 23:00
    journal.Saved = {{2024, 6, 11}, 23 * 3600000LL + 60000};
    journal.Progress.Selected = {0, 1};
    journal.Progress.Pending = {1};
    journal.Progress.Given = {{"a"}, {}};
    const TFileFingerprint same = journal.Fingerprint;
    const TFileFingerprint changed = {10, Sha256("u")};
    const TStationTime soon = {{2024, 6, 11}, 23 * 3600000LL + 120000};
    const TStationTime afterMidnight = {{2024, 6, 12}, 3600000LL};
    struct Case {
        const char* name;
        TJournalRead::State kind;
        bool finished;
        std::optional<TFileFingerprint> current;
        TStationTime now;
        TCrashAction action;
    };
    const Case cases[] = {
        {"no journal", TJournalRead::State::Missing, false, same, soon, TCrashAction::None},
        {"damaged", TJournalRead::State::Damaged, false, same, soon, TCrashAction::SetAside},
        {"minutes later", TJournalRead::State::Valid, false, same, soon, TCrashAction::Resume},
        {"across midnight", TJournalRead::State::Valid, false, same, afterMidnight,
         TCrashAction::Resume},
        {"2:59:59 later",
         TJournalRead::State::Valid,
         false,
         same,
         {{2024, 6, 12}, 2 * 3600000LL - 1000},
         TCrashAction::Resume},
        {"3 hours later",
         TJournalRead::State::Valid,
         false,
         same,
         {{2024, 6, 12}, 2 * 3600000LL},
         TCrashAction::Log},
        {"started in the future",
         TJournalRead::State::Valid,
         false,
         same,
         {{2024, 6, 11}, 22 * 3600000LL},
         TCrashAction::Log},
        {"saved in the future",
         TJournalRead::State::Valid,
         false,
         same,
         {{2024, 6, 11}, 23 * 3600000LL + 30000},
         TCrashAction::Log},
        {"test file changed", TJournalRead::State::Valid, false, changed, soon, TCrashAction::Log},
        {"test file gone", TJournalRead::State::Valid, false, std::nullopt, soon,
         TCrashAction::Log},
        {"finished, not logged", TJournalRead::State::Valid, true, same, soon, TCrashAction::Log},
    };
    for (const Case& c : cases) {
        TJournalRead read;
        read.Kind = c.kind;
        if (c.kind == TJournalRead::State::Valid) {
            read.Journal = journal;
            if (c.finished) {
                read.Journal->Progress.Pending.clear();
            }
        }
        EXPECT_EQ(DecideAfterCrash(read, c.current, c.now), c.action) << c.name;
    }
}

}  // namespace
