#include <gtest/gtest.h>

#include <QTest>

#include "app/StudentCycle.h"
#include "settings/UCommon.h"
#include "tests/common/TempDir.h"
#include "tests/common/WindowScript.h"
#include "ui/Application.h"
#include "ui/UChooseTezra.h"
#include "ui/ULoginForm.h"
#include "ui/UReportForm.h"
#include "ui/USplashForm.h"
#include "ui/UTezraForm.h"

namespace {

using Names = std::vector<std::string>;

// A station folder with its own settings and windows for one test.
class StudentCycle : public testing::Test {
protected:
    void Start(std::string_view ini, std::vector<std::string> tests = {}) {
        if (!ini.empty()) {
            Dir.Write("tezra-net.ini", ini);
        }
        for (const auto& name : tests) {
            Dir.Write("tezra/" + name,
                      "\xA7"
                      "TEZRA\r\n\xA7"
                      "END TEZRA\r\n");
        }
        Settings = std::make_unique<TSettings>(Dir.Path / "tezra-net");
        ClearTerminationRequest();
        CreateForms();
    }
    void TearDown() override {
        DestroyForms();
        Settings.reset();
        ClearTerminationRequest();
    }
    std::string Log() const { return TempDir::Read(Dir.Path / "report.log"); }

    static void ClickSplash(TModalForm& form) { QTest::mouseClick(&form, Qt::LeftButton); }
    static void ClickStart(TModalForm&) {
        QTest::mouseClick(fmChooseTezra->bnStartTezra, Qt::LeftButton);
    }
    static void Answer(TModalForm&) { QTest::mouseClick(fmTezra->bnAnswer, Qt::LeftButton); }
    static void Exit(TModalForm&) { QTest::mouseClick(fmTezraReport->bnExit, Qt::LeftButton); }
    static void Cancel(TModalForm& form) { form.reject(); }

    TempDir Dir;
    WindowScript Script;
};

TEST_F(StudentCycle, TwoPassesWithoutLoginTakeTheChosenTestThenTheFirst) {
    Start("[general]\nrefreshtezras=1\n", {"b.ttxt", "a.txt"});
    Script.Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra",
              [](TModalForm& form) {
                  EXPECT_EQ(fmChooseTezra->lbxTezraAvail->count(), 2);
                  EXPECT_EQ(fmChooseTezra->lbxTezraAvail->item(0)->text(), "b");
                  fmChooseTezra->lbxTezraAvail->setCurrentRow(1);
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
    fmLogin->cbxClass->setCurrentIndex(1);  // reset to the first item before each showing
    fmLogin->edPassword->setText("old");    // cleared before each showing
    Script.Then("fmSplash", ClickSplash)
        .Then("fmLogin",
              [](TModalForm&) {
                  EXPECT_TRUE(fmLogin->edPassword->isVisible());
                  EXPECT_TRUE(fmLogin->lbPassword->isVisible());
                  EXPECT_EQ(fmLogin->height(), fmLogin->edPassword->y() + 100);
                  EXPECT_EQ(fmLogin->cbxClass->count(), 2);
                  EXPECT_EQ(fmLogin->cbxClass->currentText(), "5А");
                  EXPECT_EQ(fmLogin->edPassword->text(), "");
                  TypeText(fmLogin->edSurName, "Иванов");
                  QTest::keyClicks(fmLogin->edPassword, "secret");
                  QTest::keyClick(fmLogin->edPassword, Qt::Key_Return);  // Enter means OK
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
                  EXPECT_FALSE(fmLogin->edPassword->isVisible());
                  EXPECT_EQ(fmLogin->height(), fmLogin->edSurName->y() + 100);
                  // Without [groups] the designed class list stays.
                  EXPECT_EQ(fmLogin->cbxClass->currentText(), "(выбери из списка)");
                  QTest::keyClicks(fmLogin->edSurName, "Petrov");
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

TEST_F(StudentCycle, TheTestWindowLoadsTheChosenTestAndTheLogCountsItsProblems) {
    Start("");
    Dir.Write("tezra/two.ttxt",
              "\xA7TEZRA\r\n\xA7PROBLEMS\r\n"
              "\xA7PROBLEM\r\n\xA7"
              "ANSWER\r\nMODE=RADIO\r\n\xA7VARIANTS\r\n[100] a\r\n"
              "\xA7"
              "END ANSWER\r\n\xA7"
              "END PROBLEM\r\n"
              "\xA7PROBLEM\r\n\xA7"
              "END PROBLEM\r\n\xA7"
              "END PROBLEMS\r\n\xA7"
              "END TEZRA\r\n");
    Settings->ScanTestFiles();
    Script.Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra", Answer)
        .Then("fmTezraReport", Exit);
    RunPass();
    EXPECT_EQ(Script.Errors, Names{});
    EXPECT_NE(Log().find("Test=two\r\nQuestions=2\r\nPoints=0.000\r\nMark=5\r\n"),
              std::string::npos)
        << Log();
}

TEST_F(StudentCycle, TerminationDuringTheTestStillLogsTheResult) {
    Start("", {"t.ttxt"});
    Script.Then("fmSplash", ClickSplash)
        .Then("fmChooseTezra", ClickStart)
        .Then("fmTezra", [](TModalForm&) { RequestTermination(); });
    EXPECT_EQ(RunCycle(), 1);
    EXPECT_NE(Log().find("Test=t\r\n"), std::string::npos);
    EXPECT_EQ(Script.Errors, Names{});
}

}  // namespace
