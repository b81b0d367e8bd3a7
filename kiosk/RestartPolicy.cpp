// SPDX-License-Identifier: GPL-3.0-or-later
#include "kiosk/RestartPolicy.h"

#include <algorithm>

RestartPolicy::RestartPolicy(TRestartLimits limits) : limits_(limits) {}

std::chrono::milliseconds RestartPolicy::StationEnded(TimePoint now) {
    ends_.push_back(now);
    while (!ends_.empty() && now - ends_.front() >= limits_.Window) {
        ends_.pop_front();
    }
    if (static_cast<int>(ends_.size()) < limits_.EndsBeforeBackOff) {
        backOffs_ = 0;
        return limits_.RestartDelay;
    }
    std::chrono::milliseconds delay = limits_.BackOff;
    for (int i = 0; i < backOffs_ && delay < limits_.MaxBackOff; ++i) {
        delay *= 2;
    }
    ++backOffs_;
    return std::min(delay, limits_.MaxBackOff);
}
