// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the splash picture is drawn: scaled with its proportions kept so that it fills the
// window in one direction, centred in the other, and enlarged at most 100 times.

#include "ui/rules/Anchors.h"

// The rectangle for a pictureWidth x pictureHeight picture in a window of the given outer
// size. Empty when either size is empty.
TRect SplashPaintRect(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight);
