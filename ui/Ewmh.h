// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The requests of the window-manager conventions (EWMH) that the station sends over its own
// X connection, past Qt: workspaces, window states, activation and the monitors a full-screen
// window spans. Each does nothing when the station does not run on X.

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/rules/MonitorLayout.h"

using XWindowId = std::uint32_t;
using XAtom = std::uint32_t;

// The workspace number that stands for every workspace.
constexpr std::uint32_t kAllWorkspaces = 0xFFFFFFFF;

// The atom of that name, asked of the X server once and kept; 0 without X.
XAtom EwmhAtom(const char* name);
// The root window of the station's screen; 0 without X.
XWindowId RootWindow();
// Whether the running window manager announces the atom in _NET_SUPPORTED.
bool WmSupports(const char* name);
// Whether a window manager that follows the conventions runs at all.
bool WmRunning();

// The workspace on show (_NET_CURRENT_DESKTOP); empty when no window manager says.
std::optional<std::uint32_t> CurrentWorkspace();
// Asks the window manager to show that workspace.
void RequestWorkspace(std::uint32_t workspace);

// Properties set on a window before it is mapped: the window manager reads them as it takes
// the window on. The states are added to what the property holds already.
void SetWorkspaceBeforeMap(XWindowId window, std::uint32_t workspace);
// Sets the window's type (_NET_WM_WINDOW_TYPE), replacing what Qt chose.
void SetTypeBeforeMap(XWindowId window, const char* type);
void AddStatesBeforeMap(XWindowId window, const std::vector<const char*>& states);

// Requests about a mapped window.
void RequestWindowWorkspace(XWindowId window, std::uint32_t workspace);
// Adds (or removes) up to two states at once.
void RequestStates(XWindowId window, bool add, const char* first, const char* second = nullptr);
// The states the window holds now (_NET_WM_STATE).
std::vector<XAtom> WindowStates(XWindowId window);
void RequestFullScreenMonitors(XWindowId window, const TSpanMonitors& span);
// Activates the window as a pager would (which also brings a minimized window back).
void RequestActivation(XWindowId window);
// Asks the window manager to put the window above every other of its layer.
void RequestRaise(XWindowId window);
// Maps the window again and puts it on top of its siblings.
void MapAndRaise(XWindowId window);
// Whether the window is mapped and every ancestor is too.
bool WindowViewable(XWindowId window);
