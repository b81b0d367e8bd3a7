// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/MonitorLayout.h"

#include <algorithm>

std::optional<TSpanMonitors> SpanMonitors(const std::vector<TRect>& monitors) {
    if (monitors.empty()) {
        return std::nullopt;
    }
    TSpanMonitors span;
    for (int i = 1; i < static_cast<int>(monitors.size()); ++i) {
        const TRect& m = monitors[static_cast<std::size_t>(i)];
        const auto bottom = [](const TRect& r) {
            return static_cast<long long>(r.Top) + r.Height;
        };
        const auto right = [](const TRect& r) { return static_cast<long long>(r.Left) + r.Width; };
        if (m.Top < monitors[static_cast<std::size_t>(span.Top)].Top) {
            span.Top = i;
        }
        if (bottom(m) > bottom(monitors[static_cast<std::size_t>(span.Bottom)])) {
            span.Bottom = i;
        }
        if (m.Left < monitors[static_cast<std::size_t>(span.Left)].Left) {
            span.Left = i;
        }
        if (right(m) > right(monitors[static_cast<std::size_t>(span.Right)])) {
            span.Right = i;
        }
    }
    return span;
}

bool CoverWithFullScreen(std::size_t monitors, bool spansMonitors) {
    return monitors <= 1 || spansMonitors;
}

TRect CentredOn(TRect monitor, TSize window) {
    const int left = monitor.Left + std::max(0, (monitor.Width - window.Width) / 2);
    const int top = monitor.Top + std::max(0, (monitor.Height - window.Height) / 2);
    return {left, top, window.Width, window.Height};
}
