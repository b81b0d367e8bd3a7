#include "ui/rules/ElapsedTime.h"

#include "platform/Cp1251.h"
#include "platform/TimeOfDay.h"

namespace {

// The ending of "час" after a number: 1, 21 час; 2 to 4, 22 часа; otherwise часов, and always
// часов for 10 to 19.
const char* HourEnding(int hours) {
    if (hours / 10 == 1) {
        return "ов";
    }
    switch (hours % 10) {
        case 1:
            return "";
        case 2:
        case 3:
        case 4:
            return "а";
        default:
            return "ов";
    }
}

// The ending of "минут" and "секунд": 1, 21 минута; 2 to 4, 22 минуты; otherwise минут, and
// always минут for 10 to 19.
const char* MinuteEnding(int count) {
    if (count / 10 == 1) {
        return "";
    }
    switch (count % 10) {
        case 1:
            return "а";
        case 2:
        case 3:
        case 4:
            return "ы";
        default:
            return "";
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
        text += std::to_string(hours) + " час" + HourEnding(hours) + " ";
    }
    if (minutes > 0) {
        text += std::to_string(minutes) + " минут" + MinuteEnding(minutes) + " ";
    }
    if (rest > 0) {
        text += std::to_string(rest) + " секунд" + MinuteEnding(rest);
    }
    return Utf8ToCp1251(text);
}
