// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the station's windows stand on a desktop of one or more monitors: the secure test
// window and the splash cover them all, every other window opens centred on the primary one.

#include <optional>
#include <vector>

#include "ui/rules/Anchors.h"

// The monitors that bound a window spread over every monitor, as indexes into the list of
// monitors in the X server's order: the one whose top edge is highest, lowest bottom edge,
// leftmost left edge, rightmost right edge (the first such monitor on a tie).
struct TSpanMonitors {
    int Top = 0;
    int Bottom = 0;
    int Left = 0;
    int Right = 0;

    bool operator==(const TSpanMonitors&) const = default;
};

// Empty when there are no monitors.
std::optional<TSpanMonitors> SpanMonitors(const std::vector<TRect>& monitors);

// Whether a window that must cover every monitor asks for the full-screen state (which window
// managers stack above panels and docks). A window manager sizes a full-screen window to one
// monitor unless it can be told the monitors to span, so on several monitors the state is
// asked for only where the window manager takes that list.
bool CoverWithFullScreen(std::size_t monitors, bool spansMonitors);

// The top-left corner that centres a window of the given size on the monitor. A window larger
// than the monitor keeps its top-left corner on it.
TRect CentredOn(TRect monitor, TSize window);
