// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The login window's rows as designed, and how tall its client area is with or without the
// password row.

// The designed client area, with the password row shown.
constexpr int kLoginDesignWidth = 357;
constexpr int kLoginDesignHeight = 300;
// The tops of the surname and the password fields.
constexpr int kSurnameRowTop = 124;
constexpr int kPasswordRowTop = 200;

// The height of the client area: 100 pixels below the top of the last field shown, the
// password field when a password is asked for and the surname field otherwise. The OK button
// keeps its distance to the bottom, so it moves up into the place of a hidden password row.
int LoginClientHeight(bool needPassword);
