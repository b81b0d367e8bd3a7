// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Monitors.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "ui/Ewmh.h"
#include "ui/X11Display.h"
#include "ui/rules/MonitorLayout.h"
#include "ui/rules/TestWindowRules.h"

namespace {

TRect ToRect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QRect ToQRect(const TRect& r) {
    return {r.Left, r.Top, r.Width, r.Height};
}

bool Has(const std::vector<XAtom>& atoms, const char* name) {
    return std::find(atoms.begin(), atoms.end(), EwmhAtom(name)) != atoms.end();
}

constexpr const char* kAbove = "_NET_WM_STATE_ABOVE";
constexpr const char* kSticky = "_NET_WM_STATE_STICKY";
constexpr const char* kFullScreen = "_NET_WM_STATE_FULLSCREEN";

}  // namespace

std::vector<TRect> Monitors() {
    std::vector<TRect> heads = XineramaHeads();
    if (heads.size() >= 2) {
        return heads;
    }
    heads.clear();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary != nullptr) {
        heads.push_back(ToRect(primary->geometry()));
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            heads.push_back(ToRect(screen->geometry()));
        }
    }
    return heads;
}

QRect PrimaryMonitorRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    return ToQRect(PrimaryMonitor(ToRect(screen->geometry()),
                                  static_cast<int>(QGuiApplication::screens().size()),
                                  XineramaHeads()));
}

QRect VirtualDesktop() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->virtualGeometry() : QRect();
}

void CentreOnPrimary(QWidget& window) {
    const QRect primary = PrimaryMonitorRect();
    if (primary.isEmpty()) {
        return;
    }
    const QSize size = window.frameGeometry().size();
    const TRect at = CentredOn(ToRect(primary), {size.width(), size.height()});
    window.move(at.Left, at.Top);
}

bool DesktopCover::WantsFullScreen() const {
    return CoverWithFullScreen(Monitors().size(), WmSupports("_NET_WM_FULLSCREEN_MONITORS"));
}

void DesktopCover::PrepareBeforeMap() {
    // Qt would add the full-screen state of an earlier showing by itself; it is decided here.
    window_.setWindowState(Qt::WindowNoState);
    aboveAsked_ = false;
    aboveRefused_ = false;
    const QRect desktop = VirtualDesktop();
    if (!desktop.isEmpty() && window_.geometry() != desktop) {
        window_.setGeometry(desktop);
    }
    if (X11Connection() == nullptr) {
        return;
    }
    const auto id = static_cast<XWindowId>(window_.winId());
    std::vector<const char*> states{kAbove};
    if (sticky_) {
        states.push_back(kSticky);
        SetWorkspaceBeforeMap(id, kAllWorkspaces);
    }
    if (WantsFullScreen()) {
        states.push_back(kFullScreen);
        // A window manager stacks a full-screen window above panels and other windows only
        // when it is an ordinary one (not a utility or dialog window), and lets only such a
        // window have the state back after it lost it. Without full-screen the window stays
        // a utility window, which tiling window managers float over every monitor.
        SetTypeBeforeMap(id, "_NET_WM_WINDOW_TYPE_NORMAL");
    }
    AddStatesBeforeMap(id, states);
}

void DesktopCover::Reassert() {
    const QRect desktop = VirtualDesktop();
    if (X11Connection() == nullptr || !WmRunning()) {
        if (!desktop.isEmpty() && window_.geometry() != desktop) {
            window_.setGeometry(desktop);
        }
        return;
    }
    const auto id = static_cast<XWindowId>(window_.winId());
    const std::vector<XAtom> states = WindowStates(id);
    if (!Has(states, kAbove)) {
        aboveRefused_ = aboveRefused_ || (aboveAsked_ && Has(states, kFullScreen));
        aboveAsked_ = true;
        RequestStates(id, true, kAbove);
    }
    if (sticky_) {
        if (!Has(states, kSticky)) {
            RequestStates(id, true, kSticky);
        }
        RequestWindowWorkspace(id, kAllWorkspaces);
    }
    const bool fullScreen = WantsFullScreen() && !aboveRefused_;
    if (fullScreen) {
        const std::optional<TSpanMonitors> span = SpanMonitors(Monitors());
        if (span && Monitors().size() > 1) {
            RequestFullScreenMonitors(id, *span);
        }
        if (!Has(states, kFullScreen)) {
            RequestStates(id, true, kFullScreen);
        }
    } else if (Has(states, kFullScreen)) {
        RequestStates(id, false, kFullScreen);
    }
    // Also where full-screen was asked for: a window manager that refuses the state to a
    // window that lost it keeps the window at the size asked for.
    if (!desktop.isEmpty() && window_.geometry() != desktop) {
        window_.setGeometry(desktop);
    }
}
