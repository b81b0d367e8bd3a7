// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's local journal of results, report.log: one nine-line cp1251 record per test.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

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

// The record's nine lines, each ended by CR LF.
std::string FormatResultRecord(const TResultRecord& record);
// Appends the record to the log (an empty line first when the file already exists);
// written in one piece. False when the file cannot be written.
bool AppendResultRecord(const std::filesystem::path& log, const TResultRecord& record);
