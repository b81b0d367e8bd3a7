// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QTest>

#include "app/StudentCycle.h"
#include "settings/UCommon.h"
#include "tests/app/OpenStation.h"
#include "tests/common/Controls.h"
#include "tests/common/TempDir.h"
#include "tests/common/TinyTests.h"
#include "tests/common/WindowScript.h"
#include "tests/net/ScriptedServer.h"
#include "ui/Application.h"
#include "ui/UChooseTezra.h"
#include "ui/ULoginForm.h"
#include "ui/UReportForm.h"
#include "ui/USplashForm.h"
#include "ui/UTezraForm.h"

namespace {

using Names = std::vector<std::string>;

// A clock that gives the times of day of a list in turn (the last one from then on).
class ScriptedClock : public TClock {
public:
    ScriptedClock(TDate date, std::vector<double> times) : date_(date), times_(std::move(times)) {}
    double TimeOfDayNow() const override {
        const double time = times_[std::min(next_, times_.size() - 1)];
        ++next_;
        return time;
    }
    TDate Today() const override { return date_; }

private:
    TDate date_;
    std::vector<double> times_;
    mutable std::size_t next_ = 0;
};

double At(int hours, int minutes, int seconds) {
    return ((hours * 60 + minutes) * 60 + seconds) / 86400.0;
}

// A station folder with its own settings and windows for one test. Each test file holds one
// single-choice problem whose first variant is right; results go to a loopback server.
class StudentCycle : public testing::Test {
protected:
    void Start(std::string_view ini, std::vector<std::string> tests = {}) {
        if (!ini.empty()) {
            Dir.Write("tezra-net.ini", ini);
        }
        for (const auto& name : tests) {
            Dir.Write("tezra/" + name,
                      TinyTestBytes("", {ProblemText(name, "RADIO", "[100] a|[0] b")}));
        }
        OpenStation(Dir.Path, Server.Port(), [](TSettings& settings) { settings.Secure = false; });
    }
    void TearDown() override { CloseStation(); }
    std::string Log() const { return TempDir::Read(Dir.Path / "report.log"); }

    static void ClickSplash(TModalForm& form) { QTest::mouseClick(&form, Qt::LeftButton); }
    static void ClickStart(TModalForm&) {
        QTest::mouseClick(Control(*fmChooseTezra, "bnStartTezra"), Qt::LeftButton);
    }
    // Chooses the first variant and confirms it.
    static void Answer(TModalForm&) {
        QTest::mouseClick(fmTezra->rgAnswers->Buttons().at(0), Qt::LeftButton);
        QTest::mouseClick(fmTezra->bnAnswer, Qt::LeftButton);
    }
    static void Exit(TModalForm&) {
        QTest::mouseClick(Control(*fmTezraReport, "bnExit"), Qt::LeftButton);
    }
    static void Cancel(TModalForm& form) { form.reject(); }

    TempDir Dir;
    WindowScript Script;
    ScriptedServer Server{AnswerAndClose(200, 8)};
};

TEST_F(StudentCycle, TwoPassesWithoutLoginTakeTheChosenTestThenTheFirst) {
    Start("[general]\nrefreshtezras=1\n", {"b.ttxt", "a.txt"});
    Script.Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra",
              [](TModalForm& form) {
                  auto* list = Control<QListWidget>(form, "lbxTezraAvail");
                  EXPECT_EQ(list->count(), 2);
                  EXPECT_EQ(list->item(0)->text(), "b");
                  list->setCurrentRow(1);
                  ClickStart(form);
              })
        .Then("fmTezra", Answer)
        .Then("fmTezraReport", Exit);
    RunPass();
    EXPECT_EQ(Settings->TestFile, Dir.Path / "tezra" / "a.txt");
    EXPECT_EQ(Settings->TestName, "a");
    EXPECT_EQ(Settings->User, "");
    EXPECT_EQ(Settings->StudentGroup, "");
    EXPECT_LE(Settings->StartTime, Settings->EndTime);

    // The rows are rebuilt with nothing selected: the start button takes the first test.
    Script.Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra",
              [](TModalForm& form) {
                  EXPECT_EQ(fmChooseTezra->SelectedIndex(), -1);
                  ClickStart(form);
              })
        .Then("fmTezra", Answer)
        .Then("fmTezraReport", Exit);
    RunPass();
    EXPECT_EQ(Settings->TestFile, Dir.Path / "tezra" / "b.ttxt");
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_TRUE(Script.Done());

    const std::string log = Log();
    EXPECT_NE(log.find("Test=a\r\n"), std::string::npos);
    EXPECT_NE(log.find("\r\n\r\n===================\r\nUser=\r\nGroup=\r\nTest=b\r\n"),
              std::string::npos);
}

TEST_F(StudentCycle, LoginCopiesClassSurnameAndPassword) {
    Start("[general]\nneedlogin=1\nneedpassword=1\n[groups]\n5\xC0=\n5\xC1=\n", {"t.ttxt"});
    Control<QComboBox>(*fmLogin, "cbxClass")->setCurrentIndex(1);  // reset before each showing
    Control<QLineEdit>(*fmLogin, "edPassword")->setText("old");    // cleared before each showing
    Script.Then("fmSplash", ClickSplash)
        .Then("fmLogin",
              [](TModalForm& form) {
                  auto* password = Control<QLineEdit>(form, "edPassword");
                  auto* classes = Control<QComboBox>(form, "cbxClass");
                  EXPECT_TRUE(password->isVisible());
                  EXPECT_TRUE(Control(form, "lbPassword")->isVisible());
                  EXPECT_EQ(form.height(), password->y() + 100);
                  EXPECT_EQ(classes->count(), 2);
                  EXPECT_EQ(classes->currentText(), "5А");
                  EXPECT_EQ(password->text(), "");
                  TypeText(Control(form, "edSurName"), "Иванов");
                  QTest::keyClicks(password, "secret");
                  QTest::keyClick(password, Qt::Key_Return);  // Enter means OK
              })
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra", Answer)
        .Then("fmTezraReport", Exit);
    RunPass();
    EXPECT_EQ(Settings->StudentGroup, "5\xC0");
    EXPECT_EQ(Settings->User, "\xC8\xE2\xE0\xED\xEE\xE2");
    EXPECT_EQ(Settings->Password, "secret");
    EXPECT_EQ(Script.Errors, Names{});
    // The password reaches neither the log nor anything else the station writes.
    EXPECT_EQ(Log().find("secret"), std::string::npos);
    EXPECT_NE(Log().find("User=\xC8\xE2\xE0\xED\xEE\xE2\r\nGroup=5\xC0\r\n"), std::string::npos);
}

TEST_F(StudentCycle, LoginClosedWithoutOkLeavesTheStudentAnonymous) {
    Start("[general]\nneedlogin=1\nsaveresults=0\n", {"t.ttxt"});
    Script.Then("fmSplash", ClickSplash)
        .Then("fmLogin",
              [](TModalForm& form) {
                  auto* surname = Control(form, "edSurName");
                  EXPECT_FALSE(Control(form, "edPassword")->isVisible());
                  EXPECT_EQ(form.height(), surname->y() + 100);
                  // Without [groups] the designed class list stays.
                  EXPECT_EQ(Control<QComboBox>(form, "cbxClass")->currentText(),
                            "(выбери из списка)");
                  QTest::keyClicks(surname, "Petrov");
                  Cancel(form);
              })
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra", Answer)
        .Then("fmTezraReport", Exit);
    RunPass();
    EXPECT_EQ(Settings->User, "");
    EXPECT_EQ(Settings->StudentGroup, "");
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_FALSE(std::filesystem::exists(Dir.Path / "report.log"));  // saveresults=0
}

TEST_F(StudentCycle, NoTestFilesAndChooserCancelSkipTheTest) {
    Start("[general]\nneedlogin=1\n");
    Script.Then("fmSplash", ClickSplash)
        .Then("fmLogin", [](TModalForm& form) { form.accept(); })
        .Then("fmTezraReport", Exit);
    RunPass();
    EXPECT_TRUE(Settings->TestFile.empty());
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_FALSE(std::filesystem::exists(Dir.Path / "report.log"));
}

TEST_F(StudentCycle, ChooserClosedWithoutOkStillShowsResults) {
    Start("", {"t.ttxt"});
    Script.Then("fmSplash", ClickSplash).Then("fmChooseTezra", Cancel).Then("fmTezraReport", Exit);
    RunPass();
    EXPECT_TRUE(Settings->TestFile.empty());
    EXPECT_TRUE(Settings->TestName.empty());
    EXPECT_EQ(Script.Shown, (Names{"fmSplash", "fmChooseTezra", "fmTezraReport"}));
    EXPECT_EQ(Script.Errors, Names{});
}

TEST_F(StudentCycle, TerminationDuringAWindowEndsTheCycleAfterThatPass) {
    Start("[general]\nneedlogin=1\n", {"t.ttxt"});
    Script.Then("fmSplash", ClickSplash)
        .Then("fmLogin", [](TModalForm& form) { form.accept(); })
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra", Answer)
        .Then("fmTezraReport", Exit)
        .Then("fmSplash", [](TModalForm&) { RequestTermination(); });
    EXPECT_EQ(RunCycle(), 2);
    // The second pass shows nothing after the splash: every later window answers cancel.
    EXPECT_EQ(Script.Shown, (Names{"fmSplash", "fmLogin", "fmChooseTezra", "fmTezra",
                                   "fmTezraReport", "fmSplash"}));
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_FALSE(fmSplash->isVisible());
}

TEST_F(StudentCycle, AWholeTestIsScoredSubmittedAndLoggedWithItsTimes) {
    Start("[general]\nneedlogin=1\n[groups]\n9B=\n");
    Dir.Write("tezra/two.ttxt",
              TinyTestBytes("MARK5=2\nMARK4=1", {ProblemText("p1", "RADIO", "[100] a|[0] b"),
                                                 ProblemText("p2", "INPUT", "[100] Rome")}));
    Settings->ScanTestFiles();
    Script.Then("fmSplash", ClickSplash)
        .Then("fmLogin",
              [](TModalForm&) {
                  QTest::keyClicks(Control<QLineEdit>(*fmLogin, "edSurName"), "Smith");
                  QTest::keyClick(Control<QLineEdit>(*fmLogin, "edSurName"), Qt::Key_Return);
              })
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra",
              [](TModalForm& form) {
                  Answer(form);
                  EXPECT_TRUE(fmTezra->edAnswer->isVisible());
                  TypeText(fmTezra->edAnswer, "Paris");
                  QTest::keyClick(fmTezra->edAnswer, Qt::Key_Return);
              })
        .Then("fmTezraReport", Exit);
    const ScriptedClock clock({2024, 6, 11}, {At(10, 0, 0), At(10, 2, 5)});
    RunPass(clock);
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_EQ(Script.Messages, Names{"Вы набрали баллов: 1\nОценка 4"});
    EXPECT_FALSE(fmTezra->isVisible());
    ASSERT_TRUE(Server.WaitScriptsDone(1));
    ASSERT_EQ(Server.Requests().size(), 1u);
    EXPECT_TRUE(Server.Requests()[0].starts_with(
        "GET /tezra/result?group=9B&user=Smith&res=10000&mark=4 HTTP/1.1\r\n"))
        << Server.Requests()[0];
    EXPECT_NE(Log().find("Test=two\r\nQuestions=2\r\nPoints=1.000\r\nMark=4\r\n"
                         "Start at=11.06.2024 10:00:00\r\nDuration=2:5\r\n"),
              std::string::npos)
        << Log();
}

TEST_F(StudentCycle, TerminationDuringTheTestStillLogsTheResult) {
    Start("", {"t.ttxt"});
    Script.Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra", [](TModalForm&) { RequestTermination(); });
    EXPECT_EQ(RunCycle(), 1);
    EXPECT_NE(Log().find("Test=t\r\nQuestions=1\r\nPoints=0.000\r\n"), std::string::npos) << Log();
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_EQ(Script.Messages, Names{});
    EXPECT_EQ(Server.Accepted(), 0);
}

// The display going away ends the program in the middle of a test: its record is written
// once, then, and only while a test is in progress.
TEST_F(StudentCycle, TheTestInProgressIsLoggedOnceWhenTheProgramMustEnd) {
    Start("", {"t.ttxt"});
    bool ended = false;
    Script
        .Then("fmSplash",
              [](TModalForm& form) {
                  EXPECT_FALSE(EndTestInProgress());
                  ClickSplash(form);
              })
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra",
              [&ended](TModalForm&) {
                  ended = EndTestInProgress();
                  EXPECT_FALSE(EndTestInProgress());
                  RequestTermination();
              })
        .Then("fmTezraReport", [](TModalForm& form) {
            EXPECT_FALSE(EndTestInProgress());
            Exit(form);
        });
    EXPECT_EQ(RunCycle(), 1);
    EXPECT_TRUE(ended);
    EXPECT_EQ(Script.Errors, Names{});
    const std::string log = Log();
    EXPECT_NE(log.find("Test=t\r\nQuestions=1\r\nPoints=0.000\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("==================="), log.rfind("===================")) << log;
}

TEST_F(StudentCycle, ATestThatCannotBeOpenedIsReportedLoggedEmptyAndNotSubmitted) {
    Start("", {"a.ttxt"});
    Dir.Write("tezra/b.tbin", "TZRA garbage");
    Settings->ScanTestFiles();
    // The first student finishes a test; the second picks the damaged one.
    Script.Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra", Answer)
        .Then("fmTezraReport", Exit)
        .Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra",
              [](TModalForm& form) {
                  Control<QListWidget>(*fmChooseTezra, "lbxTezraAvail")->setCurrentRow(1);
                  ClickStart(form);
              })
        .Then("fmTezra", [](TModalForm&) {})  // it closes by itself
        .Then("fmTezraReport", [](TModalForm& form) {
            // No mark for a test that was never opened.
            EXPECT_EQ(Control<QLabel>(*fmTezraReport, "Label1")->text(),
                      "Тест не удалось открыть");
            EXPECT_EQ(fmTezraReport->Value("Полученная оценка"), "");
            Exit(form);
        });
    RunPass();
    RunPass();
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_TRUE(Script.Done());
    EXPECT_EQ(Script.Messages, (Names{"Вы набрали баллов: 1\nОценка 5",
                                      "Этот тест не удалось открыть.\nПозовите учителя."}));
    EXPECT_NE(Log().find("Test=b\r\nQuestions=0\r\nPoints=0.000\r\nMark=1\r\n"), std::string::npos)
        << Log();
    ASSERT_TRUE(Server.WaitScriptsDone(1));
    EXPECT_EQ(Server.Accepted(), 1);
}

}  // namespace
