// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's local journal of results, report.log: one nine-line cp1251 record per test.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/TimeOfDay.h"

// A record's first line, and the keys that begin its other eight lines, in order.
inline constexpr std::string_view kResultRecordSeparator = "===================";
inline constexpr std::array<std::string_view, 8> kResultRecordKeys = {
    "User=", "Group=", "Test=", "Questions=", "Points=", "Mark=", "Start at=", "Duration="};

// What the finished test contributes to a record.
struct TTestOutcome {
    std::int32_t Questions = 0;  // problems drawn for the student
    float Points = 0;
    std::int32_t Mark = 1;
};

struct TResultRecord {
    std::string User;      // cp1251
    std::string Group;     // cp1251
    std::string TestName;  // cp1251
    TTestOutcome Outcome;
    TDate StartDate;
    double StartTime = 0;  // day fractions
    double EndTime = 0;
};

// A text as a record carries it: every byte below 0x20 and 0x7F becomes a blank, so that no
// text can break its line or add lines of its own.
std::string RecordText(std::string_view text);

// The record's nine lines, each ended by CR LF; the surname, class and test name as
// RecordText gives them.
std::string FormatResultRecord(const TResultRecord& record);
// Appends the record to the log (an empty line first when the file already holds records)
// in one write, then flushes it to the disk. When the write is short (a full disk) the file
// is cut back to its length before, so it never ends in a part of a record. False, with the
// reason in error when given, when the record could not be written whole and durably; the
// log must be a regular file.
bool AppendResultRecord(const std::filesystem::path& log, const TResultRecord& record,
                        std::error_code* error = nullptr);
