// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Roles on the accessibility bus for the widgets that Qt leaves without one: a splitter's
// handle, which the student drags to share a window between two panes, is announced as a
// separator under its accessible name.

// Installs the roles once for the whole application; later calls do nothing.
void InstallAccessibleRoles();
