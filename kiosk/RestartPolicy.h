// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// When the kiosk supervisor starts the station again after it ended unasked (a crash, a kill,
// an exit nobody asked for). Normally at once, so that the next student finds the splash
// screen within seconds; but a station that keeps crashing is not restarted in a tight loop:
// after five ends within a minute the supervisor waits, longer while the crashes go on.

#include <chrono>
#include <deque>

struct TRestartLimits {
    // The pause before an ordinary restart.
    std::chrono::milliseconds RestartDelay{500};
    // This many ends within Window start a back-off.
    int EndsBeforeBackOff = 5;
    std::chrono::milliseconds Window{std::chrono::minutes(1)};
    // The first back-off; each further one in a row doubles, up to MaxBackOff.
    std::chrono::milliseconds BackOff{std::chrono::seconds(30)};
    std::chrono::milliseconds MaxBackOff{std::chrono::minutes(5)};
};

class RestartPolicy {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit RestartPolicy(TRestartLimits limits = {});

    // The station ended unasked at now; returns how long to wait before starting it again.
    std::chrono::milliseconds StationEnded(TimePoint now);
    // Whether the last delay was a back-off.
    bool BackingOff() const { return backOffs_ > 0; }

private:
    TRestartLimits limits_;
    std::deque<TimePoint> ends_;  // the ends within the window, oldest first
    int backOffs_ = 0;            // back-offs in a row
};
