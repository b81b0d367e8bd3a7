// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ReceivedTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

template <typename... Numbers>
std::string Format(const char* pattern, Numbers... numbers) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, static_cast<int>(numbers)...);
    return text;
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

}  // namespace

std::int64_t UnixMsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

ReceivedTime StampOf(std::int64_t unixMs) {
    ReceivedTime stamp;
    stamp.UnixMs = unixMs;
    const std::int64_t seconds = FloorDiv(unixMs, 1000);
    const int millis = static_cast<int>(unixMs - seconds * 1000);
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    std::tm local{};
    gmtime_r(&time, &utc);
    localtime_r(&time, &local);
    stamp.Utc = Format("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                       utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    stamp.LocalDate =
        Format("%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    const long offsetMinutes = local.tm_gmtoff / 60;
    const long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    stamp.Local = stamp.LocalDate +
                  Format("T%02d:%02d:%02d%c%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec,
                         offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return stamp;
}

std::string LocalDateToday() {
    return StampOf(UnixMsNow()).LocalDate;
}

std::optional<std::int64_t> LocalTimeToUnixMs(int year, int month, int day, int hour, int minute,
                                              int second) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    // mktime normalises 31.02 into March: such a date does not exist.
    if (local.tm_mday != day || local.tm_mon != month - 1) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(time) * 1000;
}

bool IsIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    const int year = std::stoi(text.substr(0, 4));
    const int month = std::stoi(text.substr(5, 2));
    const int day = std::stoi(text.substr(8, 2));
    return LocalTimeToUnixMs(year, month, day, 12, 0, 0).has_value();
}
