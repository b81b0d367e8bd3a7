// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rounding to whole numbers as the windows' sizes and gauges use it.

// The nearest whole number; a value halfway between two goes to the even one.
long double RoundHalfEven(long double value);
