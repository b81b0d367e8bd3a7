// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowOpacity.h"

#include <QWidget>
#include <algorithm>

#include <xcb/xcb.h>

#include "ui/X11Display.h"

void SetWindowOpacity255(QWidget& window, int opacity) {
    window.setWindowOpacity(std::clamp(opacity, 0, 255) / 255.0);
    if (xcb_connection_t* connection = X11Connection()) {
        xcb_flush(connection);
    }
}
