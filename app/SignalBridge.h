// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns SIGTERM, SIGINT and SIGHUP, and the end of the desktop session, into a termination
// request handled on the user-interface thread.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

class SignalBridge : public QObject {
    Q_OBJECT

public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

private:
    void OnSignal();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};
