// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the station asks the X server directly, past Qt.

#include <vector>

#include "ui/rules/Anchors.h"

struct xcb_connection_t;

// The station's connection to the X server; nullptr when it does not run on X.
xcb_connection_t* X11Connection();

// The monitors of a display whose screens are joined by Xinerama, in the server's order (the
// first is the primary monitor). Qt learns monitors only through RandR, which such a display
// lacks, so it reports them as one screen. Empty without an active Xinerama.
std::vector<TRect> XineramaHeads();
