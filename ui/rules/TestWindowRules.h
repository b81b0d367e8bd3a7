// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sizes in the test window that follow from the problem on screen: the height of the answer
// panel and the width of the picture box.

#include <cstdint>
#include <vector>

#include "ui/rules/Anchors.h"

// The answer panel is never lower than this, whatever the problem.
constexpr int kMinAnswerPanelHeight = 96;
// The answer panel of a typed answer.
constexpr int kInputAnswerPanelHeight = 88;
// The picture box of a problem without a picture.
constexpr int kNoPictureBoxWidth = 1;

// The mode a problem is shown and answered in: an unknown mode (only a damaged binary test can
// hold one) is a single choice, so that the student can always answer it.
std::uint8_t ShownAnswerMode(std::uint8_t mode);

// The height of the answer panel for variants answers of the shown mode: a radio group of
// |fontHeight| * 1.25 per variant plus one more row, rounded half to even; a check list of
// |itemHeight| per variant plus 20; a typed answer 88; never below 96.
int AnswerPanelHeight(std::uint8_t shownMode, long long variants, int fontHeight, int itemHeight);

// The width of the picture box beside the condition: the picture's width plus 1, but at most
// half the problem panel (rounded toward zero); a larger picture scrolls inside it.
int PictureBoxWidth(int pictureWidth, int problemPanelWidth);

struct TMargins {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    bool operator==(const TMargins&) const = default;
};

// The secure window covers the rectangle around all monitors, which may hold parts that no
// monitor shows when the monitors differ in size. Its controls keep to the primary monitor:
// these are the margins between the covered desktop and the primary monitor's area.
TMargins PrimaryMonitorMargins(TRect desktop, TRect primary);

// The monitor that holds the controls. Without RandR (screens joined by Xinerama) the window
// system reports one screen as large as the whole desktop; then the first Xinerama head,
// which is the primary monitor, is taken instead.
TRect PrimaryMonitor(TRect reportedPrimary, int reportedScreens, const std::vector<TRect>& heads);
