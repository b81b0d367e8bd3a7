#include "ui/WindowOpacity.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>

#include <xcb/xcb.h>

void SetWindowOpacity255(QWidget& window, int opacity) {
    window.setWindowOpacity(std::clamp(opacity, 0, 255) / 255.0);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr) {
        xcb_flush(connection);
    }
}
