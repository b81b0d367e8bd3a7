// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SecureWindow.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "ui/Ewmh.h"
#include "ui/X11Display.h"

namespace {

// How soon the window is brought back after a workspace switch, an unmap or a minimize: the
// window manager has finished its own handling of the event by then.
constexpr int kBackAfterHideMs = 100;
// How soon the focus is taken back from another window: long enough that a window manager
// that hands the focus around (a click, Alt+Tab) has done so, short enough that a student
// cannot use the other window.
constexpr int kBackAfterFocusLossMs = 400;

// Whether the window manager has minimized the window (or hidden it otherwise).
bool Hidden(XWindowId window) {
    const std::vector<XAtom> states = WindowStates(window);
    return std::find(states.begin(), states.end(), EwmhAtom("_NET_WM_STATE_HIDDEN")) !=
           states.end();
}

}  // namespace

SecureWindow::SecureWindow(QWidget* window, std::function<void()> bringBack)
    : QObject(window), window_(window), bringBack_(std::move(bringBack)), cover_(*window, true) {
    soon_ = new QTimer(this);
    soon_->setSingleShot(true);
    connect(soon_, &QTimer::timeout, this, [this] {
        if (watching_ && window_ != nullptr && window_->isVisible()) {
            Reassert();
            bringBack_();
        }
    });
}

SecureWindow::~SecureWindow() {
    StopWatching();
}

void SecureWindow::PrepareBeforeMap() {
    cover_.PrepareBeforeMap();
}

void SecureWindow::Watch() {
    workspace_ = CurrentWorkspace();
    if (!watching_) {
        watching_ = true;
        QCoreApplication::instance()->installNativeEventFilter(this);
        window_->installEventFilter(this);
    }
}

void SecureWindow::StopWatching() {
    if (!watching_) {
        return;
    }
    watching_ = false;
    soon_->stop();
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    if (window_ != nullptr) {
        window_->removeEventFilter(this);
    }
}

void SecureWindow::BringBackSoon(int delayMs) {
    if (!watching_) {
        return;
    }
    if (!soon_->isActive() || soon_->remainingTime() > delayMs) {
        soon_->start(delayMs);
    }
}

void SecureWindow::Reassert() {
    if (window_ == nullptr || !window_->isVisible()) {
        return;
    }
    if (watching_ && workspace_) {
        const std::optional<std::uint32_t> shown = CurrentWorkspace();
        if (shown && *shown != *workspace_) {
            RequestWorkspace(*workspace_);
        }
    }
    ShowAgain();
    cover_.Reassert();
}

void SecureWindow::ShowAgain() {
    if (X11Connection() == nullptr) {
        if (window_->isMinimized()) {
            window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        }
        return;
    }
    // Not through Qt's window state: Qt would also drop the full-screen state it does not
    // know about, and a window manager then puts the window back at a size of its own.
    const auto id = static_cast<XWindowId>(window_->winId());
    if (!WindowViewable(id)) {
        // Mapping a minimized window brings it back (ICCCM); a window manager that took it
        // off the screen for another reason shows it again on activation.
        MapAndRaise(id);
        RequestActivation(id);
    }
}

void SecureWindow::RaiseAndActivate(QWidget* window) {
    window->raise();
    window->activateWindow();
    if (X11Connection() != nullptr && window->isVisible()) {
        const auto id = static_cast<XWindowId>(window->winId());
        RequestRaise(id);
        if (!window->isActiveWindow()) {
            RequestActivation(id);
        }
    }
}

void SecureWindow::WorkspaceChanged() {
    const std::optional<std::uint32_t> shown = CurrentWorkspace();
    if (workspace_ && shown && *shown != *workspace_) {
        RequestWorkspace(*workspace_);
        BringBackSoon(kBackAfterHideMs);
    }
}

bool SecureWindow::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!watching_ || window_ == nullptr || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const auto own = static_cast<XWindowId>(window_->winId());
    switch (event->response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (change->window == RootWindow() &&
                change->atom == EwmhAtom("_NET_CURRENT_DESKTOP")) {
                WorkspaceChanged();
            } else if (change->window == own && change->atom == EwmhAtom("_NET_WM_STATE") &&
                       Hidden(own)) {
                BringBackSoon(kBackAfterHideMs);
            }
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            const auto* unmap = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
            if (unmap->window == own) {
                BringBackSoon(kBackAfterHideMs);
            }
            break;
        }
        default:
            break;
    }
    return false;  // Qt handles every event as well
}

bool SecureWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        switch (event->type()) {
            case QEvent::WindowDeactivate:
                BringBackSoon(kBackAfterFocusLossMs);
                break;
            case QEvent::Hide:
                BringBackSoon(kBackAfterHideMs);
                break;
            case QEvent::WindowStateChange:
                if (window_->isMinimized()) {
                    BringBackSoon(kBackAfterHideMs);
                }
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}
