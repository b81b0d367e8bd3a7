// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Importing a station's report.log: the results that reached only the station's own journal
// (every server was down) still reach the teacher's database. A record already in the
// database, imported before or received over the network, is recognised and skipped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "collector/ResultStore.h"

struct JournalRecord {
    std::size_t Line = 0;  // of its "=====" line, from 1
    std::string User;      // UTF-8
    std::string Group;     // UTF-8
    std::string Test;      // UTF-8
    std::int64_t Questions = 0;
    std::int64_t Res = 0;
    int Mark = 0;
    std::int64_t StartMs = 0;  // Unix milliseconds, local time of the collector's zone
    std::int64_t EndMs = 0;
    std::string Raw;  // the record's nine lines as in the file, cp1251, CR LF
};

struct JournalProblem {
    std::size_t Line = 0;
    std::string Reason;
};

struct JournalContents {
    std::vector<JournalRecord> Records;
    std::vector<JournalProblem> Problems;  // damaged records, skipped
};

// Reads the records of a report.log (cp1251, CR LF or LF line ends).
JournalContents ReadReportLog(std::string_view bytes);

struct ImportSummary {
    int Added = 0;
    int Present = 0;  // imported before, or received from the station over the network
    int Matched = 0;  // of those present, the results received over the network matched now
    std::vector<JournalProblem> Problems;
    // Records of a test that could not be opened (Questions=0): they carry no result and are
    // not stored.
    std::vector<JournalProblem> NotOpened;
    bool Ok = true;  // false when the database could not take the records
};

// How far the station's clock and the collector's may differ when a record is matched to a
// result received over the network.
constexpr std::int64_t kClockSlackMs = 5 * 60 * 1000;

// Adds the records that are not yet in the database, in one transaction; records of a test
// that could not be opened are reported in NotOpened instead. collector names the collector
// that stores them.
ImportSummary ImportReportLog(ResultStore& store, const std::string& station,
                              std::string_view bytes, const std::string& collector = {});
