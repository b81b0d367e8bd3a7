// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Local time of day as a fraction of 24 hours, and date-and-time text.

#include <string>

struct TDate {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
};

// The current local time of day as a fraction of a day, millisecond resolution.
double TimeOfDayNow();
// Today's local date.
TDate Today();

inline constexpr long long kMsPerDay = 24LL * 60 * 60 * 1000;

// Whole milliseconds of a day fraction, rounded to the nearest millisecond.
long long DayFractionToMs(double dayFraction);

// "dd.mm.yyyy", then, unless the time is exactly midnight, a blank and "h:mm:ss".
std::string DateTimeText(TDate date, double timeOfDay);
