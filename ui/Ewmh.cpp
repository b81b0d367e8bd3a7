// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Ewmh.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "ui/X11Display.h"

namespace {

struct FreeDeleter {
    void operator()(void* reply) const { std::free(reply); }
};

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

// The 32-bit values of a window's property of the given type; empty when it is missing.
std::vector<std::uint32_t> CardinalValues(XWindowId window, XAtom property, XAtom type) {
    std::vector<std::uint32_t> values;
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window == 0 || property == 0) {
        return values;
    }
    const ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->format != 32) {
        return values;
    }
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    return values;
}

// A client message to the root window, as the conventions ask for every request about a
// window the window manager manages.
void SendToRoot(XWindowId window, XAtom type, std::uint32_t d0, std::uint32_t d1 = 0,
                std::uint32_t d2 = 0, std::uint32_t d3 = 0, std::uint32_t d4 = 0) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || type == 0) {
        return;
    }
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    event.data.data32[3] = d3;
    event.data.data32[4] = d4;
    xcb_send_event(connection, 0, RootWindow(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

// Source indication of a request: 2 is a pager, whose requests window managers never refuse
// for focus-stealing prevention.
constexpr std::uint32_t kPagerSource = 2;

}  // namespace

XAtom EwmhAtom(const char* name) {
    static std::map<std::string, XAtom> known;
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return 0;
    }
    if (const auto found = known.find(name); found != known.end()) {
        return found->second;
    }
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    const XAtom atom = reply ? reply->atom : 0;
    if (atom != 0) {
        known.emplace(name, atom);
    }
    return atom;
}

XWindowId RootWindow() {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return 0;
    }
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data->root : 0;
}

bool WmSupports(const char* name) {
    const XAtom wanted = EwmhAtom(name);
    const std::vector<std::uint32_t> supported =
        CardinalValues(RootWindow(), EwmhAtom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return wanted != 0 && std::find(supported.begin(), supported.end(), wanted) != supported.end();
}

bool WmRunning() {
    return !CardinalValues(RootWindow(), EwmhAtom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW)
                .empty();
}

std::optional<std::uint32_t> CurrentWorkspace() {
    const std::vector<std::uint32_t> values =
        CardinalValues(RootWindow(), EwmhAtom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL);
    if (values.empty()) {
        return std::nullopt;
    }
    return values.front();
}

void RequestWorkspace(std::uint32_t workspace) {
    SendToRoot(RootWindow(), EwmhAtom("_NET_CURRENT_DESKTOP"), workspace, XCB_CURRENT_TIME);
}

void SetWorkspaceBeforeMap(XWindowId window, std::uint32_t workspace) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window == 0) {
        return;
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, EwmhAtom("_NET_WM_DESKTOP"),
                        XCB_ATOM_CARDINAL, 32, 1, &workspace);
}

void SetTypeBeforeMap(XWindowId window, const char* type) {
    xcb_connection_t* connection = X11Connection();
    const XAtom atom = EwmhAtom(type);
    if (connection == nullptr || window == 0 || atom == 0) {
        return;
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, EwmhAtom("_NET_WM_WINDOW_TYPE"),
                        XCB_ATOM_ATOM, 32, 1, &atom);
}

void AddStatesBeforeMap(XWindowId window, const std::vector<const char*>& states) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window == 0) {
        return;
    }
    std::vector<XAtom> atoms = WindowStates(window);
    for (const char* state : states) {
        const XAtom atom = EwmhAtom(state);
        if (atom != 0 && std::find(atoms.begin(), atoms.end(), atom) == atoms.end()) {
            atoms.push_back(atom);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, EwmhAtom("_NET_WM_STATE"),
                        XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(atoms.size()), atoms.data());
}

void RequestWindowWorkspace(XWindowId window, std::uint32_t workspace) {
    SendToRoot(window, EwmhAtom("_NET_WM_DESKTOP"), workspace, kPagerSource);
}

void RequestStates(XWindowId window, bool add, const char* first, const char* second) {
    SendToRoot(window, EwmhAtom("_NET_WM_STATE"), add ? 1 : 0, EwmhAtom(first),
               second != nullptr ? EwmhAtom(second) : 0, kPagerSource);
}

std::vector<XAtom> WindowStates(XWindowId window) {
    return CardinalValues(window, EwmhAtom("_NET_WM_STATE"), XCB_ATOM_ATOM);
}

void RequestFullScreenMonitors(XWindowId window, const TSpanMonitors& span) {
    SendToRoot(window, EwmhAtom("_NET_WM_FULLSCREEN_MONITORS"),
               static_cast<std::uint32_t>(span.Top), static_cast<std::uint32_t>(span.Bottom),
               static_cast<std::uint32_t>(span.Left), static_cast<std::uint32_t>(span.Right),
               kPagerSource);
}

void RequestActivation(XWindowId window) {
    SendToRoot(window, EwmhAtom("_NET_ACTIVE_WINDOW"), kPagerSource, XCB_CURRENT_TIME, 0);
}

void RequestRaise(XWindowId window) {
    SendToRoot(window, EwmhAtom("_NET_RESTACK_WINDOW"), kPagerSource, 0, XCB_STACK_MODE_ABOVE);
}

void MapAndRaise(XWindowId window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window == 0) {
        return;
    }
    xcb_map_window(connection, window);
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(connection);
}

bool WindowViewable(XWindowId window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window == 0) {
        return false;
    }
    const ReplyPtr<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}
