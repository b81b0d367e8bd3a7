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
// The length of a record cut short at the end of tail (the last bytes of the log; wholeFile
// when they are all of it), with the empty line before it: the bytes after the last whole
// record when they are the beginning of one. 0 when the log ends with a whole record, or with
// anything else, which is left as it is.
std::size_t CutRecordLength(std::string_view tail, bool wholeFile);

// Appends the record to the log (an empty line first when the file already holds records)
// in one write, then flushes it to the disk. A record cut short at the end of the log (the
// writer killed in the middle of its write) is removed first. When the write is short (a full
// disk) the file is cut back to its length before, so it never ends in a part of a record. False,
// with the reason in error when given, when the record could not be written whole and durably; the
// log must be a regular file.
bool AppendResultRecord(const std::filesystem::path& log, const TResultRecord& record,
                        std::error_code* error = nullptr);
