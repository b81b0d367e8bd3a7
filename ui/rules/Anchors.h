// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Anchored placement: a control keeps the distance to each side of its parent that it is
// anchored to, as the parent is resized. Anchored to both opposite sides, it stretches.

struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const TRect&) const = default;
};

struct TSize {
    int Width = 0;
    int Height = 0;
};

enum TAnchors : unsigned {
    akLeft = 1,
    akTop = 2,
    akRight = 4,
    akBottom = 8,
    akAll = akLeft | akTop | akRight | akBottom,
};

// Where a control designed at design inside a parent of designParent size stands when the
// parent has the size parent. A side without an anchor does not move it; a stretched size
// never goes below 0.
TRect AnchoredRect(TRect design, TSize designParent, unsigned anchors, TSize parent);
