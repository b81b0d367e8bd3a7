// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/Anchors.h"

#include <algorithm>

namespace {

// One axis: the start and the extent for a parent that grew by delta.
void Follow(int& start, int& extent, bool nearAnchor, bool farAnchor, int delta) {
    if (farAnchor && nearAnchor) {
        extent = std::max(0, extent + delta);
    } else if (farAnchor) {
        start += delta;
    }
}

}  // namespace

TRect AnchoredRect(TRect design, TSize designParent, unsigned anchors, TSize parent) {
    TRect rect = design;
    Follow(rect.Left, rect.Width, (anchors & akLeft) != 0, (anchors & akRight) != 0,
           parent.Width - designParent.Width);
    Follow(rect.Top, rect.Height, (anchors & akTop) != 0, (anchors & akBottom) != 0,
           parent.Height - designParent.Height);
    return rect;
}
