// SPDX-License-Identifier: GPL-3.0-or-later
// The station: an endless cycle of students until the desktop asks it to quit.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/SignalBridge.h"
#include "app/StudentCycle.h"
#include "model/UTypes.h"
#include "platform/Random.h"
#include "settings/UCommon.h"
#include "ui/UTezraForm.h"

namespace {

// Whether the student cycle runs: the program's own end comes only after it.
bool CycleRunning = false;

// The platform layer ends the process with exit(1) when the connection to the X server
// breaks, in the middle of the cycle. The windows must not be torn down then (their
// destructors would run under a dead display and a live accessibility bridge): the record of
// the test in progress is written, as after SIGTERM, and the process ends at once.
void EndWithoutDisplay() {
    if (!CycleRunning) {
        return;
    }
    CycleRunning = false;
    std::fputs("tezra-net: the display went away; the station ends\n", stderr);
    EndTestInProgress();
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    RandomizeFromClock();
    Settings = std::make_unique<TSettings>();
    ApplyCommandLine(std::vector<std::string>(argv + 1, argv + argc), ServerAddress);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // No application display name is set: X11 would append it to every window caption.
    SignalBridge bridge;
    CreateForms();
    // The current test exists before the handler is registered, so that it is destroyed only
    // after the handler has run.
    CurrentTezra();
    std::atexit(EndWithoutDisplay);
    CycleRunning = true;
    RunCycle();
    CycleRunning = false;
    DestroyForms();
    Settings.reset();
    return 0;
}
