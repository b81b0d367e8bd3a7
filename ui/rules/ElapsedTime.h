// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The time a student took over a test, as the results window shows it.

#include <string>

// Whole seconds from start to end (times of day as fractions of a day), rounded to the nearest
// second with halves going to the even one, and at least 1. A test that ran past midnight
// counts the full time it took.
int ElapsedSeconds(double startTime, double endTime);

// The Russian text of a duration in cp1251: hours, minutes and seconds that are not zero, each
// with its number and the word in the form the number asks for ("1 минута 5 секунд",
// "2 часа 2 минуты 2 секунды"). Hours and minutes end with one blank, seconds with none, so
// "1 час " keeps its blank.
std::string ElapsedTimeText(int seconds);
