// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Holds the X keyboard for one window of the station while that window asks for it, so that
// window-manager and desktop shortcuts (Alt+Tab, Alt+F4, Super, a terminal's key binding)
// reach no other client. Keys still go to whichever window of this process has the focus,
// so the window's own message, input and activity boxes keep working. The X server ends a
// grab when the client's connection closes, so the grab never outlives the station.
//
// On a platform other than X11 (offscreen, Wayland) nothing is grabbed.

#include <QObject>
#include <QPointer>

class QTimer;
class QWidget;

class KeyboardGrab : public QObject {
    Q_OBJECT

public:
    // The grab belongs to window, which must be a top-level window.
    explicit KeyboardGrab(QWidget* window);
    ~KeyboardGrab() override;

    // Starts holding the keyboard: takes it now if the window is on the display, and keeps
    // taking it back until Release() (after the window manager or another client took it).
    void Take();
    // Takes the keyboard again when it is wanted; does nothing otherwise. Cheap: one round
    // trip to the X server.
    void Reassert();
    // Lets the keyboard go and stops taking it back.
    void Release();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Grab();
    void Ungrab();
    void ReassertSoon();

    QPointer<QWidget> window_;
    QTimer* retry_ = nullptr;
    bool wanted_ = false;
};
