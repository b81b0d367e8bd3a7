// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window opacity in the station's 0 to 255 steps, sent to the display at once.

class QWidget;

// Sets the window's opacity (held within 0 to 255) and flushes the connection to the X server,
// so that a pulse or fade driven by a timer shows every step at its tick rather than whenever
// something else happens to flush it.
void SetWindowOpacity255(QWidget& window, int opacity);
