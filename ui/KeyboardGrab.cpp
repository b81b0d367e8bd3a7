// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/KeyboardGrab.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

#include "ui/X11Display.h"

namespace {

// How soon a grab that could not be taken is tried again (another client may hold the
// keyboard for a moment, or the window is not on the display yet).
constexpr int kRetryMs = 100;

}  // namespace

KeyboardGrab::KeyboardGrab(QWidget* window) : QObject(window), window_(window) {
    retry_ = new QTimer(this);
    retry_->setInterval(kRetryMs);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &KeyboardGrab::Reassert);
}

KeyboardGrab::~KeyboardGrab() {
    Release();
}

void KeyboardGrab::Take() {
    if (!wanted_) {
        wanted_ = true;
        // Whatever closes a popup menu of this process also ends the process's grab, and a
        // window that loses the focus may have lost the keyboard with it.
        QCoreApplication::instance()->installEventFilter(this);
    }
    Reassert();
}

void KeyboardGrab::Reassert() {
    if (!wanted_) {
        return;
    }
    if (!Grab()) {
        retry_->start();
    }
}

void KeyboardGrab::Release() {
    if (!wanted_) {
        return;
    }
    wanted_ = false;
    retry_->stop();
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
    Ungrab();
}

bool KeyboardGrab::Grab() {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window_ == nullptr || !window_->isVisible()) {
        return false;
    }
    // An open popup menu holds the keyboard for this same client already; taking it for the
    // window would send the menu's keys elsewhere. It is taken back when the menu closes.
    if (QApplication::activePopupWidget() != nullptr) {
        return true;
    }
    // Owner events: a key meant for any window of this process (a message box above the
    // window among them) goes there as usual; every other key is reported on the root window,
    // which the station ignores. The root window is always viewable, so the grab holds while
    // a window manager unmaps the window for a moment (a workspace switch, a full-screen
    // window of another program), when a grab on the window itself would end.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_grab_keyboard_cookie_t cookie = xcb_grab_keyboard(
        connection, 1, screen->root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(connection, cookie, nullptr);
    const bool taken = reply != nullptr && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return taken;
}

void KeyboardGrab::Ungrab() {
    if (xcb_connection_t* connection = X11Connection()) {
        xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
        xcb_flush(connection);
    }
}

void KeyboardGrab::ReassertSoon() {
    // After the event has run its course: a closing menu gives up the keyboard only then.
    QTimer::singleShot(0, this, &KeyboardGrab::Reassert);
}

bool KeyboardGrab::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == window_ && type == QEvent::WindowDeactivate) {
        ReassertSoon();
    } else if (type == QEvent::Hide) {
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if (widget != nullptr && widget->windowType() == Qt::Popup) {
            ReassertSoon();
        }
    }
    return QObject::eventFilter(watched, event);
}
