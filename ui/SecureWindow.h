// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the secure test window where a student cannot leave it: on every workspace and on
// the one on show, not minimized, mapped, above panels and other windows. It watches what the
// window manager and other clients do to the window (a workspace switch, a minimize request,
// an unmap, the focus taken) and has the window brought back at once, not only at the next
// tick of the window's timer.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <optional>

#include "ui/Monitors.h"

class QTimer;
class QWidget;

class SecureWindow : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // bringBack raises and focuses the window and takes the keyboard back; it runs soon after
    // anything took the window away.
    SecureWindow(QWidget* window, std::function<void()> bringBack);
    ~SecureWindow() override;

    // Before the window is mapped: covering every monitor, on every workspace.
    void PrepareBeforeMap();
    // Starts watching, with the workspace on show now as the window's own.
    void Watch();
    void StopWatching();
    bool Watching() const { return watching_; }
    // Asks again for the window's states and for its own workspace; un-minimizes and maps the
    // window when it is hidden.
    void Reassert();
    // Raises and activates the window (or its open box) as a pager would: window managers
    // that refuse an application's own request for the focus grant that one.
    static void RaiseAndActivate(QWidget* window);
    // Runs bringBack after the given delay (at once when another is due sooner).
    void BringBackSoon(int delayMs);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void WorkspaceChanged();
    void ShowAgain();

    QPointer<QWidget> window_;
    std::function<void()> bringBack_;
    DesktopCover cover_;
    QTimer* soon_ = nullptr;
    std::optional<std::uint32_t> workspace_;
    bool watching_ = false;
};
