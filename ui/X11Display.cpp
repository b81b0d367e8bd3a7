// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/X11Display.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>
#include <xcb/xinerama.h>

namespace {

struct FreeDeleter {
    void operator()(void* reply) const { std::free(reply); }
};

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

}  // namespace

xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

std::vector<TRect> XineramaHeads() {
    std::vector<TRect> heads;
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return heads;
    }
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, &xcb_xinerama_id);
    if (extension == nullptr || !extension->present) {
        return heads;
    }
    const ReplyPtr<xcb_xinerama_is_active_reply_t> active(
        xcb_xinerama_is_active_reply(connection, xcb_xinerama_is_active(connection), nullptr));
    if (!active || active->state == 0) {
        return heads;
    }
    const ReplyPtr<xcb_xinerama_query_screens_reply_t> screens(xcb_xinerama_query_screens_reply(
        connection, xcb_xinerama_query_screens(connection), nullptr));
    if (!screens) {
        return heads;
    }
    const xcb_xinerama_screen_info_t* info = xcb_xinerama_query_screens_screen_info(screens.get());
    const int count = xcb_xinerama_query_screens_screen_info_length(screens.get());
    for (int i = 0; i < count; ++i) {
        heads.push_back({info[i].x_org, info[i].y_org, info[i].width, info[i].height});
    }
    return heads;
}
