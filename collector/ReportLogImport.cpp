// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ReportLogImport.h"

#include <array>
#include <charconv>
#include <cmath>

#include "collector/ReceivedTime.h"
#include "collector/Sqlite.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/TextUtils.h"
#include "settings/ResultLog.h"

namespace {

constexpr std::string_view kSeparator = kResultRecordSeparator;
constexpr std::size_t kFields = kResultRecordKeys.size();
constexpr const std::array<std::string_view, kFields>& kKeys = kResultRecordKeys;

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

bool ReadInt(std::string_view text, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// Numbers separated by one character: "d.m.yyyy" or "h:mm:ss".
bool ReadTriple(std::string_view text, char separator, std::array<long long, 3>& parts) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t end = i + 1 < parts.size() ? text.find(separator) : text.size();
        if (end == std::string_view::npos || !ReadInt(text.substr(0, end), parts[i])) {
            return false;
        }
        text.remove_prefix(std::min(text.size(), end + 1));
    }
    return true;
}

// "d.m.yyyy", optionally followed by a blank and "h:mm:ss".
bool ReadStart(std::string_view text, std::int64_t& unixMs) {
    const std::size_t blank = text.find(' ');
    std::array<long long, 3> date{};
    std::array<long long, 3> time{};
    if (!ReadTriple(text.substr(0, blank), '.', date) ||
        (blank != std::string_view::npos && !ReadTriple(text.substr(blank + 1), ':', time))) {
        return false;
    }
    for (const long long part : {date[0], date[1], date[2], time[0], time[1], time[2]}) {
        if (part < 0 || part > 9999) {
            return false;
        }
    }
    const auto ms = LocalTimeToUnixMs(static_cast<int>(date[2]), static_cast<int>(date[1]),
                                      static_cast<int>(date[0]), static_cast<int>(time[0]),
                                      static_cast<int>(time[1]), static_cast<int>(time[2]));
    unixMs = ms.value_or(0);
    return ms.has_value();
}

// "M:S"; a test that crossed midnight may have been written with negative numbers, and then
// ran for a day less than it did.
bool ReadDuration(std::string_view text, std::int64_t& ms) {
    const std::size_t colon = text.find(':');
    long long minutes = 0;
    long long seconds = 0;
    if (colon == std::string_view::npos || !ReadInt(text.substr(0, colon), minutes) ||
        !ReadInt(text.substr(colon + 1), seconds) || minutes > 100000 || minutes < -100000 ||
        seconds > 59 || seconds < -59) {
        return false;
    }
    ms = (minutes * 60 + seconds) * 1000;
    if (ms < 0) {
        ms += kMsPerDay;
    }
    return ms >= 0;
}

// The values of one record's eight lines; the reason when one is wrong, and in badField the
// index of its line.
std::string ReadValues(const std::array<std::string_view, kFields>& values, JournalRecord& record,
                       std::size_t& badField) {
    const auto bad = [&badField](std::size_t field, std::string_view what) {
        badField = field;
        return std::string(kKeys[field]) + " " + std::string(what);
    };
    record.User = Cp1251ToUtf8(values[0]);
    record.Group = Cp1251ToUtf8(values[1]);
    record.Test = Cp1251ToUtf8(values[2]);
    long long questions = 0;
    if (!ReadInt(values[3], questions) || questions < 0) {
        return bad(3, "is not a count");
    }
    record.Questions = questions;
    const std::optional<double> points = ParseFloat(values[4]);
    if (!points || !std::isfinite(*points) || std::fabs(*points) > 1e14) {
        return bad(4, "is not a number");
    }
    record.Res = std::llround(*points * 10000.0);
    long long mark = 0;
    if (!ReadInt(values[5], mark) || mark < 1 || mark > 5) {
        return bad(5, "is not a mark from 1 to 5");
    }
    record.Mark = static_cast<int>(mark);
    if (!ReadStart(values[6], record.StartMs)) {
        return bad(6, "is not a date and time");
    }
    std::int64_t duration = 0;
    if (!ReadDuration(values[7], duration)) {
        return bad(7, "is not minutes:seconds");
    }
    record.EndMs = record.StartMs + duration;
    return {};
}

// The record that begins at lines[first] (its separator line); the reason when it is damaged,
// with the line it concerns.
std::string ReadRecord(const std::vector<std::string_view>& lines, std::size_t first,
                       JournalRecord& record, std::size_t& badLine) {
    std::array<std::string_view, kFields> values;
    record.Line = first + 1;
    record.Raw = std::string(lines[first]) + "\r\n";
    for (std::size_t i = 0; i < kFields; ++i) {
        const std::size_t at = first + 1 + i;
        badLine = at + 1;
        if (at >= lines.size()) {
            return "the record ends before its " + std::string(kKeys[i]) + " line";
        }
        if (!lines[at].starts_with(kKeys[i])) {
            return "expected a " + std::string(kKeys[i]) + " line";
        }
        values[i] = lines[at].substr(kKeys[i].size());
        record.Raw += std::string(lines[at]) + "\r\n";
    }
    std::size_t badField = 0;
    const std::string reason = ReadValues(values, record, badField);
    badLine = first + 2 + badField;
    return reason;
}

}  // namespace

JournalContents ReadReportLog(std::string_view bytes) {
    JournalContents contents;
    const std::vector<std::string_view> lines = SplitLines(bytes);
    bool skipping = false;  // after a damaged record, up to the next separator line
    for (std::size_t i = 0; i < lines.size();) {
        if (TrimView(lines[i]) != kSeparator) {
            if (!skipping && !TrimView(lines[i]).empty()) {
                contents.Problems.push_back({i + 1, "not the start of a record"});
                skipping = true;
            }
            ++i;
            continue;
        }
        skipping = false;
        JournalRecord record;
        std::size_t badLine = 0;
        const std::string reason = ReadRecord(lines, i, record, badLine);
        if (reason.empty()) {
            contents.Records.push_back(std::move(record));
            i += 1 + kFields;
        } else {
            contents.Problems.push_back({badLine, reason});
            skipping = true;
            ++i;
        }
    }
    return contents;
}

namespace {

// Stores the records that are not in the database yet, inside the caller's transaction.
bool AddRecords(ResultStore& store, const std::string& station, const std::string& collector,
                JournalContents& contents, ImportSummary& summary) {
    for (JournalRecord& record : contents.Records) {
        if (record.Questions == 0) {
            summary.NotOpened.push_back(
                {record.Line, "the test could not be opened (Questions=0): no result to store"});
            continue;
        }
        NewResult result;
        result.ReceivedMs = record.EndMs;
        result.Station = station;
        result.Collector = collector;
        result.Group = std::move(record.Group);
        result.User = std::move(record.User);
        result.Res = record.Res;
        result.Mark = record.Mark;
        result.Source = "report.log";
        result.Test = std::move(record.Test);
        result.ImportKey = station + "\n" + Cp1251ToUtf8(record.Raw);
        result.Raw = std::move(record.Raw);
        if (store.HasImportKey(result.ImportKey)) {
            ++summary.Present;
        } else if (store.ClaimReceived(result, record.StartMs - kClockSlackMs,
                                       record.EndMs + kClockSlackMs)) {
            ++summary.Present;
            ++summary.Matched;
        } else if (store.Insert(result)) {
            ++summary.Added;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

ImportSummary ImportReportLog(ResultStore& store, const std::string& station,
                              std::string_view bytes, const std::string& collector) {
    JournalContents contents = ReadReportLog(bytes);
    ImportSummary summary;
    summary.Problems = std::move(contents.Problems);
    summary.Ok = store.InTransaction(
        [&] { return AddRecords(store, station, collector, contents, summary); });
    if (!summary.Ok) {
        summary.Added = 0;
        summary.Matched = 0;
    }
    return summary;
}
