// SPDX-License-Identifier: GPL-3.0-or-later
// Whole student passes that crash at a step of the test and are started again: the test goes
// on where it stood, or what could not go on is logged once.

#include <gtest/gtest.h>

#include <QTest>
#include <random>

#include "app/AttemptResume.h"
#include "platform/DurableFile.h"
#include "settings/AttemptJournal.h"
#include "tests/app/OpenStation.h"
#include "tests/common/Controls.h"
#include "tests/common/TempDir.h"
#include "tests/common/TinyTests.h"
#include "tests/common/WindowScript.h"
#include "tests/net/ScriptedServer.h"
#include "ui/UChooseTezra.h"
#include "ui/ULoginForm.h"
#include "ui/UReportForm.h"
#include "ui/USplashForm.h"
#include "ui/rules/AttemptProgress.h"

namespace {

using Names = std::vector<std::string>;

// A clock that stands still at a time that a test may move.
class StillClock : public TClock {
public:
    double TimeOfDayNow() const override { return Ms / static_cast<double>(kMsPerDay); }
    TDate Today() const override { return Date; }
    TDate Date{2024, 6, 11};
    std::int64_t Ms = 10 * 3600000LL;
};

constexpr std::size_t kNoCrash = SIZE_MAX;
constexpr std::size_t kDuringSubmission = 1000;

// What the files and the result server hold at some instant.
struct Snapshot {
    std::string Journal;
    std::string Log;
    std::size_t Requests = 0;
    std::string OnScreen;  // the id of the problem on screen
    int RightSoFar = 0;    // right answers among those given
};

// Four problems drawn in random order (p1 and p3 are answered right, p2 and p4 wrongly), one
// deferral; the student logs in as Smith of 9B.
class Resume : public testing::Test {
public:
    void SetUp() override {
        Dir.Write("tezra-net.ini", "[general]\nneedlogin=1\n[groups]\n9B=\n");
        Dir.Write("tezra/t.ttxt", TestBytes());
        Open();
    }
    void TearDown() override { CloseStation(); }
    void Open() {
        OpenStation(Dir.Path, Server.Port(), [](TSettings& settings) { settings.Secure = false; });
    }
    void Reopen() {
        CloseStation();
        Open();
    }
    static std::string TestBytes(const char* rightOfP4 = "[0] a|[100] b") {
        return TinyTestBytes(
            "SHUFFLE=2\nDEFER=1\nMARK5=4\nMARK4=3\nMARK3=2",
            {ProblemText("p1", "RADIO", "[100] a|[0] b"),
             ProblemText("p2", "RADIO", "[0] a|[100] b"),
             ProblemText("p3", "RADIO", "[100] a|[0] b"), ProblemText("p4", "RADIO", rightOfP4)});
    }
    std::filesystem::path JournalPath() const { return Dir.Path / "attempt.dat"; }
    std::string Log() const { return TempDir::Read(Dir.Path / "report.log"); }
    static std::string OnScreen() { return fmTezra->meCondition->toPlainText().toStdString(); }

    // One step of the test: 'A' answers the problem on screen as planned, 'D' defers it.
    static void Step(char step) {
        if (step == 'D') {
            QTest::mouseClick(fmTezra->bnDeferProblem, Qt::LeftButton);
            return;
        }
        // Always "a": right for p1 and p3 only.
        QTest::mouseClick(fmTezra->rgAnswers->Buttons().at(0), Qt::LeftButton);
        QTest::mouseClick(fmTezra->bnAnswer, Qt::LeftButton);
    }
    Snapshot Take() const {
        Snapshot shot{TempDir::Read(JournalPath()), Log(), Server.Requests().size(), {}, 0};
        if (fmTezra->isVisible() && !CurrentTezra().Pending.empty()) {
            shot.OnScreen = OnScreen();
        }
        for (const TProblem* problem : CurrentTezra().Selected) {
            const bool answered =
                std::find(CurrentTezra().Pending.begin(), CurrentTezra().Pending.end(), problem) ==
                CurrentTezra().Pending.end();
            shot.RightSoFar += answered && (problem->Id == "p1" || problem->Id == "p3") ? 1 : 0;
        }
        return shot;
    }
    // Puts the files back as they were at the crash.
    void Restore(const Snapshot& shot) const {
        Dir.Write("attempt.dat", shot.Journal);
        Dir.Write("report.log", shot.Log);
    }
    void ScriptStart() {
        Script.Then("fmSplash", [](TModalForm& form) { QTest::mouseClick(&form, Qt::LeftButton); })
            .Then("fmLogin",
                  [](TModalForm&) {
                      QTest::keyClicks(Control<QLineEdit>(*fmLogin, "edSurName"), "Smith");
                      QTest::keyClick(Control<QLineEdit>(*fmLogin, "edSurName"), Qt::Key_Return);
                  })
            .Then("fmChooseTezra", [](TModalForm&) {
                QTest::mouseClick(Control(*fmChooseTezra, "bnStartTezra"), Qt::LeftButton);
            });
    }
    void ScriptEnd() {
        Script
            .Then("fmTezraReport",
                  [](TModalForm&) {
                      QTest::mouseClick(Control(*fmTezraReport, "bnExit"), Qt::LeftButton);
                  })
            .Then("fmSplash", [](TModalForm&) { RequestTermination(); });
    }
    // Takes the test through the steps; unless crashAt is kNoCrash, the files are caught after
    // that many steps (kDuringSubmission: while the score message is open) and the station
    // quits there.
    Snapshot RunUntil(const std::string& steps, std::size_t crashAt) {
        Snapshot shot;
        ClearTerminationRequest();
        ScriptStart();
        Script.OnMessage = [&](const QString& text) {
            if (text.startsWith("Вы набрали") && crashAt == kDuringSubmission) {
                shot = Take();
                RequestTermination();
            }
        };
        Script.Then("fmTezra", [&](TModalForm&) {
            for (std::size_t i = 0; i < steps.size() && i < crashAt; ++i) {
                Step(steps[i]);
            }
            if (crashAt <= steps.size()) {
                shot = Take();
                RequestTermination();
            }
        });
        if (crashAt == kNoCrash) {
            ScriptEnd();
        }
        RunCycle(Clock);
        Script.OnMessage = nullptr;
        return shot;
    }

    TempDir Dir;
    WindowScript Script;
    ScriptedServer Server{AnswerAndClose(200, 8)};
    StillClock Clock;
};

// The record lines that must not depend on a crash: who, which test, how it went.
std::string RecordCore(const std::string& log) {
    const std::size_t user = log.rfind("User=");
    const std::size_t start = log.find("Start at=", user);
    return user == std::string::npos ? "" : log.substr(user, start - user);
}

TEST_F(Resume, ACrashAtAnyStepCostsTheStudentNothing) {
    const std::string steps = "ADAAA";
    // Without a crash.
    RunUntil(steps, kNoCrash);
    ASSERT_EQ(Script.Errors, Names{});
    const std::string expected = RecordCore(Log());
    ASSERT_TRUE(Server.WaitScriptsDone(1));
    ASSERT_EQ(Server.Requests().size(), 1u);
    const std::string request = Server.Requests()[0].substr(0, Server.Requests()[0].find('\r'));
    EXPECT_EQ(expected,
              "User=Smith\r\nGroup=9B\r\nTest=t\r\nQuestions=4\r\nPoints=2.000\r\nMark=3\r\n");
    EXPECT_FALSE(std::filesystem::exists(JournalPath()));

    struct Case {
        const char* name;
        std::size_t crashAt;
    };
    const Case cases[] = {
        {"after the first answer", 1},
        {"after a deferral", 2},
        {"on the last problem", 4},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(Dir.Path / "report.log");
        const std::size_t sent = Server.Requests().size();
        const Snapshot shot = RunUntil(steps, c.crashAt);
        ASSERT_FALSE(shot.Journal.empty()) << c.name;
        ASSERT_FALSE(shot.OnScreen.empty()) << c.name;
        Reopen();
        Restore(shot);
        Script.Messages.clear();
        // The same student goes on with the same problem; no splash, login or chooser.
        Script.Then("fmTezra", [&](TModalForm&) {
            EXPECT_EQ(OnScreen(), shot.OnScreen) << c.name;
            for (std::size_t i = c.crashAt; i < steps.size(); ++i) {
                Step(steps[i]);
            }
        });
        ScriptEnd();
        RunCycle(Clock);
        EXPECT_EQ(Script.Errors, Names{}) << c.name;
        ASSERT_FALSE(Script.Messages.empty()) << c.name;
        EXPECT_EQ(Script.Messages.front(), kResumedMessage) << c.name;
        EXPECT_EQ(RecordCore(Log()), expected) << c.name;
        EXPECT_EQ(Log().find("User=", Log().find("User=") + 1), std::string::npos) << c.name;
        EXPECT_NE(Log().find("Start at=11.06.2024 10:00:00\r\nDuration=0:0\r\n"),
                  std::string::npos);
        ASSERT_TRUE(Server.WaitScriptsDone(static_cast<int>(sent) + 1)) << c.name;
        ASSERT_EQ(Server.Requests().size(), sent + 1) << c.name;
        EXPECT_EQ(Server.Requests().back().substr(0, request.size()), request) << c.name;
        EXPECT_FALSE(std::filesystem::exists(JournalPath())) << c.name;
    }

    // During the submission: the test is finished, its record not yet written. At the next
    // start the record is written from the journal and the result is not sent again.
    std::filesystem::remove(Dir.Path / "report.log");
    const Snapshot shot = RunUntil(steps, kDuringSubmission);
    Reopen();
    Restore(shot);
    Server.WaitScriptsDone(static_cast<int>(Server.Requests().size()));
    const std::size_t sent = Server.Requests().size();
    Script.Then("fmSplash", [](TModalForm&) { RequestTermination(); });
    RunCycle(Clock);
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_EQ(RecordCore(Log()), expected);
    EXPECT_EQ(Server.Requests().size(), sent);
    EXPECT_FALSE(std::filesystem::exists(JournalPath()));
}

TEST_F(Resume, WhatCannotGoOnIsLoggedAsItStoodAndTheCycleBegins) {
    struct Case {
        const char* name;
        std::function<void(Resume&)> change;
        bool setAside;  // the journal could not be read
    };
    const Case cases[] = {
        {"the test file changed",
         [](Resume& t) { t.Dir.Write("tezra/t.ttxt", TestBytes("[100] a|[0] b")); }, false},
        {"the test file is gone",
         [](Resume& t) { std::filesystem::remove(t.Dir.Path / "tezra/t.ttxt"); }, false},
        {"three hours later", [](Resume& t) { t.Clock.Ms += 3 * 3600000LL; }, false},
        {"from the future", [](Resume& t) { t.Clock.Ms = 10 * 3600000LL - 60000; }, false},
        {"resume switched off",
         [](Resume& t) { t.Dir.Write("tezra-net.ini", "[general]\nresume=0\n"); }, false},
        {"damaged",
         [](Resume& t) {
             std::string bytes = TempDir::Read(t.JournalPath());
             bytes[bytes.size() / 2] ^= 1;
             t.Dir.Write("attempt.dat", bytes);
         },
         true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(Dir.Path / "report.log");
        Dir.Write("tezra/t.ttxt", TestBytes());
        Dir.Write("tezra-net.ini", "[general]\nneedlogin=1\n[groups]\n9B=\n");
        Clock.Ms = 10 * 3600000LL;
        Reopen();  // the station sees the test again
        const Snapshot shot = RunUntil("AA", 2);
        Restore(shot);
        Clock.Ms += 65000;  // the restart comes a minute later
        c.change(*this);
        Reopen();
        Script.Then("fmSplash", [](TModalForm&) { RequestTermination(); });
        RunCycle(Clock);
        EXPECT_EQ(Script.Errors, Names{}) << c.name;
        EXPECT_FALSE(std::filesystem::exists(JournalPath())) << c.name;
        EXPECT_EQ(std::filesystem::exists(SetAsidePath(JournalPath())), c.setAside) << c.name;
        if (c.setAside) {
            EXPECT_EQ(TempDir::Read(SetAsidePath(JournalPath()))[0], 'T') << c.name;
            EXPECT_EQ(Log(), shot.Log) << c.name;
            std::filesystem::remove(SetAsidePath(JournalPath()));
            continue;
        }
        // The record of two answers, the four problems drawn, the time up to the last one.
        EXPECT_EQ(RecordCore(Log()), "User=Smith\r\nGroup=9B\r\nTest=t\r\nQuestions=4\r\nPoints=" +
                                         std::to_string(shot.RightSoFar) + ".000\r\nMark=" +
                                         (shot.RightSoFar == 2 ? "3" : "2") + "\r\n")
            << c.name;
        EXPECT_NE(Log().find("Start at=11.06.2024 10:00:00\r\nDuration=0:0\r\n"),
                  std::string::npos)
            << c.name;
    }
}

TEST_F(Resume, SwitchedOffNothingIsKept) {
    Dir.Write("tezra-net.ini", "[general]\nresume=0\n");
    Reopen();
    Script.Then("fmSplash", [](TModalForm& form) { QTest::mouseClick(&form, Qt::LeftButton); })
        .Then("fmChooseTezra",
              [](TModalForm&) {
                  QTest::mouseClick(Control(*fmChooseTezra, "bnStartTezra"), Qt::LeftButton);
              })
        .Then("fmTezra", [this](TModalForm&) {
            Step('A');
            Step('D');
            EXPECT_FALSE(std::filesystem::exists(JournalPath()));
            RequestTermination();
        });
    RunCycle(Clock);
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_NE(Log().find("Questions=4\r\n"), std::string::npos);
}

// The journal is replaced while the power fails after a random number of bytes of the new
// state: whatever reached the disk, the next start resumes the old or the new state whole.
TEST_F(Resume, APowerCutWhileTheJournalIsWrittenLeavesAWholeState) {
    ASSERT_TRUE(LoadTestFile(Dir.Path / "tezra/t.ttxt"));
    CurrentTezra().Prepare();
    CurrentTezra().SelectProblems();
    Settings->TestFile = Dir.Path / "tezra/t.ttxt";
    Settings->StartDate = Clock.Date;
    Settings->StartTime = Clock.TimeOfDayNow();
    TAttemptJournal journal;
    journal.TestFile = Settings->TestFile.native();
    journal.Fingerprint = *FingerprintFile(Settings->TestFile);
    journal.Start = journal.Saved = {Clock.Date, Clock.Ms};
    journal.Progress = CaptureProgress(CurrentTezra());
    const TAttemptJournal older = journal;
    CurrentTezra().Pending.front()->Given = {"a"};
    CurrentTezra().Pending.erase(CurrentTezra().Pending.begin());
    journal.Progress = CaptureProgress(CurrentTezra());
    const std::string oldBytes = EncodeAttemptJournal(older);
    const std::string newBytes = EncodeAttemptJournal(journal);

    std::mt19937 random(20240611);
    int resumedOld = 0;
    int resumedNew = 0;
    for (int pass = 0; pass < 200; ++pass) {
        const std::size_t cut =
            std::uniform_int_distribution<std::size_t>(0, newBytes.size())(random);
        Dir.Write("attempt.dat", oldBytes);
        if (cut < newBytes.size()) {
            Dir.Write(ReplacementPath(JournalPath()), newBytes.substr(0, cut));
        } else {
            Dir.Write("attempt.dat", newBytes);  // the rename happened
        }
        ASSERT_TRUE(SettleJournal(Clock)) << "cut at " << cut;
        const std::size_t pending = CurrentTezra().Pending.size();
        const bool isNew = cut == newBytes.size();
        EXPECT_EQ(pending, (isNew ? journal : older).Progress.Pending.size()) << cut;
        (isNew ? resumedNew : resumedOld) += 1;
        EXPECT_FALSE(std::filesystem::exists(ReplacementPath(JournalPath())));
    }
    EXPECT_GT(resumedOld, 0);
    EXPECT_EQ(std::filesystem::exists(Dir.Path / "report.log"), false);
}

}  // namespace
