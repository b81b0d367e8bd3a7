// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/ElapsedTime.h"

#include "platform/Cp1251.h"
#include "platform/TimeOfDay.h"

namespace {

// The ending of a word after a number: one for 1, 21, 31 and so on; few for 2 to 4, 22 to 24
// and so on; many for the rest, and for 10 to 19 whatever their last digit.
const char* Ending(int count, const char* one, const char* few, const char* many) {
    if (count / 10 == 1) {
        return many;
    }
    switch (count % 10) {
        case 1:
            return one;
        case 2:
        case 3:
        case 4:
            return few;
        default:
            return many;
    }
}

}  // namespace

int ElapsedSeconds(double startTime, double endTime) {
    const long long ms = DayFractionToMs(endTime < startTime ? endTime + 1.0 : endTime) -
                         DayFractionToMs(startTime);
    long long seconds = ms / 1000;
    const long long rest = ms % 1000;
    if (rest > 500 || (rest == 500 && seconds % 2 == 1)) {
        ++seconds;
    }
    return seconds < 1 ? 1 : static_cast<int>(seconds);
}

std::string ElapsedTimeText(int seconds) {
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const int rest = seconds % 60;
    std::string text;
    if (hours > 0) {
        text += std::to_string(hours) + " час" + Ending(hours, "", "а", "ов") + " ";
    }
    if (minutes > 0) {
        text += std::to_string(minutes) + " минут" + Ending(minutes, "а", "ы", "") + " ";
    }
    if (rest > 0) {
        text += std::to_string(rest) + " секунд" + Ending(rest, "а", "ы", "");
    }
    return Utf8ToCp1251(text);
}
