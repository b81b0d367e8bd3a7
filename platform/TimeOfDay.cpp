// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TimeOfDay.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

std::tm LocalNow(long long& msOfSecond) {
    const auto now = std::chrono::system_clock::now();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    msOfSecond = ms % 1000;
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

std::string TwoDigits(long long value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? text.insert(0, 1, '0') : text;
}

}  // namespace

double TimeOfDayNow() {
    long long ms = 0;
    const std::tm local = LocalNow(ms);
    ms += ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000;
    return static_cast<double>(ms) / kMsPerDay;
}

TDate Today() {
    long long ms = 0;
    const std::tm local = LocalNow(ms);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

long long DayFractionToMs(double dayFraction) {
    return std::llround(dayFraction * static_cast<double>(kMsPerDay));
}

std::string DateTimeText(TDate date, double timeOfDay) {
    std::string text =
        TwoDigits(date.Day) + "." + TwoDigits(date.Month) + "." + std::to_string(date.Year);
    const long long ms = DayFractionToMs(timeOfDay - std::floor(timeOfDay));
    if (ms == 0) {
        return text;
    }
    const long long seconds = ms / 1000;
    return text + " " + std::to_string(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" +
           TwoDigits(seconds % 60);
}
