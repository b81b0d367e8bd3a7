// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StudentCycle.h"

#include <utility>

#include "app/AttemptResume.h"
#include "app/UMain.h"
#include "model/UTypes.h"
#include "settings/UCommon.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/UChooseTezra.h"
#include "ui/UFInfoBox.h"
#include "ui/ULoginForm.h"
#include "ui/UReportForm.h"
#include "ui/USplashForm.h"
#include "ui/UTezraForm.h"

namespace {

void Login() {
    fmLogin->Prepare(Settings->NeedPassword, Settings->GroupNames);
    if (fmLogin->ShowModal() == mrOk) {
        LoginEntry entered = fmLogin->Entered();
        Settings->StudentGroup = std::move(entered.Group);
        Settings->User = std::move(entered.User);
        Settings->Password = std::move(entered.Password);
    }
}

void ChooseTest() {
    if (fmChooseTezra->ShowModal() != mrOk) {
        return;
    }
    const int row = fmChooseTezra->ChosenIndex();
    if (row < 0 || row >= static_cast<int>(Settings->TestFiles.size())) {
        return;
    }
    Settings->TestFile = Settings->TestFiles[row];
    Settings->TestName = fmChooseTezra->RowText(row);
}

TTestOutcome CurrentOutcome() {
    TTezra& test = CurrentTezra();
    if (test.Selected.empty()) {
        return {};  // a test that could not be opened: no problems, no points, no mark above 1
    }
    const float points = test.GetPoints();
    return {static_cast<std::int32_t>(test.Selected.size()), points, test.GetMark(points)};
}

// Whether the test window is showing a test whose record is not yet written.
bool TestInProgress = false;

// Shows the test window for the test that Settings name, then logs it; the journal keeps the
// test meanwhile.
void ShowTestWindow(const TClock& clock, bool resumed) {
    KeepJournal(clock, resumed);
    if (resumed) {
        fmTezra->ContinueOnNextShowing();
    }
    TestInProgress = true;
    fmTezra->ShowModal();
    EndTestInProgress(clock);
}

void TakeTest(const TClock& clock) {
    Settings->StartDate = clock.Today();
    Settings->StartTime = clock.TimeOfDayNow();
    ShowTestWindow(clock, false);
}

}  // namespace

void CreateForms() {
    fmMain = std::make_unique<TfmMain>();
    fmLogin = std::make_unique<TfmLogin>();
    fmTezra = std::make_unique<TfmTezra>();
    fmSplash = std::make_unique<TfmSplash>();
    fmChooseTezra = std::make_unique<TfmChooseTezra>();
    fmTezraReport = std::make_unique<TfmTezraReport>();
    fmInfoBox = std::make_unique<TfmInfoBox>();
}

void DestroyForms() {
    fmInfoBox.reset();
    fmTezraReport.reset();
    fmChooseTezra.reset();
    fmSplash.reset();
    fmTezra.reset();
    fmLogin.reset();
    fmMain.reset();
}

void RunPass(const TClock& clock) {
    fmSplash->ShowModal();
    Settings->StudentGroup.clear();
    Settings->User.clear();
    Settings->Password.clear();
    if (Settings->NeedLogin) {
        Login();
    }
    Settings->TestFile.clear();
    Settings->TestName.clear();
    if (!Settings->TestFiles.empty()) {
        ChooseTest();
    }
    if (!Settings->TestFile.empty()) {
        TakeTest(clock);
    }
    fmTezraReport->ShowModal();
}

bool EndTestInProgress(const TClock& clock) {
    if (!TestInProgress) {
        return false;
    }
    TestInProgress = false;
    Settings->EndTime = clock.TimeOfDayNow();
    if (Settings->SaveResults) {
        Settings->AppendResultLog(CurrentOutcome());
    }
    // The record is written: the journal must not log this test again at the next start.
    DropJournal();
    return true;
}

bool RunResumedPass(const TClock& clock) {
    if (!SettleJournal(clock)) {
        return false;
    }
    ShowMessage(QString::fromUtf8(kResumedMessage));
    ShowTestWindow(clock, true);
    fmTezraReport->ShowModal();
    return true;
}

int RunCycle(const TClock& clock) {
    int passes = 0;
    if (!TerminationRequested() && RunResumedPass(clock)) {
        ++passes;
    }
    while (!TerminationRequested()) {
        RunPass(clock);
        ++passes;
    }
    return passes;
}
