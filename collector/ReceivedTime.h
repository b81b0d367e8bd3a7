// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Time stamps of received results: Unix milliseconds with the texts the database and the
// exports show, in UTC and in the collector's local time zone.

#include <cstdint>
#include <optional>
#include <string>

struct ReceivedTime {
    std::int64_t UnixMs = 0;
    std::string Utc;        // 2025-05-14T07:23:45.123Z
    std::string Local;      // 2025-05-14T10:23:45+03:00
    std::string LocalDate;  // 2025-05-14
};

std::int64_t UnixMsNow();
ReceivedTime StampOf(std::int64_t unixMs);

// The local date of today, YYYY-MM-DD.
std::string LocalDateToday();

// Unix milliseconds of a local calendar time; nothing when the fields are out of range.
std::optional<std::int64_t> LocalTimeToUnixMs(int year, int month, int day, int hour, int minute,
                                              int second);

// Whether the text is a calendar date written YYYY-MM-DD.
bool IsIsoDate(const std::string& text);
