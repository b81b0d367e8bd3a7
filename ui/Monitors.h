// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitors of the desktop, and the windows placed on them: a window that covers every
// monitor (the splash, the secure test window) and the windows that open centred on the
// primary monitor.

#include <QRect>
#include <vector>

#include "ui/rules/Anchors.h"

class QWidget;

// The monitors in the X server's order (the first is the primary one): the Xinerama heads
// where there are several, the window system's screens otherwise.
std::vector<TRect> Monitors();
// The monitor that holds the controls and the centred windows.
QRect PrimaryMonitorRect();
// The rectangle around every monitor.
QRect VirtualDesktop();

// Moves a top-level window so that it stands centred on the primary monitor.
void CentreOnPrimary(QWidget& window);

// A top-level window that covers every monitor above every other window, panels and docks
// included: stay-on-top, full-screen where the window manager can span it over every
// monitor (else sized to the whole desktop), and on every workspace when sticky.
class DesktopCover {
public:
    DesktopCover(QWidget& window, bool sticky) : window_(window), sticky_(sticky) {}

    // Before the window is mapped: its size and the states the window manager reads.
    void PrepareBeforeMap();
    // While it is shown: asks again for what a window manager or another client took away,
    // and for the size of the desktop as it is now (a monitor may have come or gone).
    void Reassert();
    // Whether full-screen is asked for on the desktop as it is now.
    bool WantsFullScreen() const;

private:
    QWidget& window_;
    bool sticky_;
    // The window manager was asked to keep the window above and did not, because it was
    // full-screen (a window manager may keep full-screen windows out of the stay-on-top
    // layer): for the rest of the showing the window covers the desktop without full-screen.
    bool aboveAsked_ = false;
    bool aboveRefused_ = false;
};
