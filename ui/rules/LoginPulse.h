// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The login window's opacity pulse: 127 rising by 4 per tick to 255 and falling back, over a
// period of 64 ticks.

// The opacity (0 to 255) shown at the tick whose counter is counter (0 to 63).
int LoginPulseOpacity(unsigned char counter);
// The counter of the tick after counter.
unsigned char NextLoginPulse(unsigned char counter);
