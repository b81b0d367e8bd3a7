// SPDX-License-Identifier: GPL-3.0-or-later
// The station: an endless cycle of students until the desktop asks it to quit.

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/SignalBridge.h"
#include "app/StudentCycle.h"
#include "platform/Random.h"
#include "settings/UCommon.h"
#include "ui/UTezraForm.h"

int main(int argc, char** argv) {
    RandomizeFromClock();
    Settings = std::make_unique<TSettings>();
    ApplyCommandLine(std::vector<std::string>(argv + 1, argv + argc), ServerAddress);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // No application display name is set: X11 would append it to every window caption.
    TSignalBridge bridge;
    CreateForms();
    RunCycle();
    DestroyForms();
    Settings.reset();
    return 0;
}
