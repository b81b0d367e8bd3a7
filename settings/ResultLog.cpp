// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ResultLog.h"

#include <fstream>

#include "platform/Numbers.h"

namespace {

// Whole milliseconds between start and end; a test that crossed midnight counts the full
// day it ran into.
long long DurationMs(double start, double end) {
    long long ms = DayFractionToMs(end) - DayFractionToMs(start);
    return ms < 0 ? ms + kMsPerDay : ms;
}

}  // namespace

std::string FormatResultRecord(const TResultRecord& record) {
    const long long ms = DurationMs(record.StartTime, record.EndTime);
    const std::string eol = "\r\n";
    std::string text;
    const std::array<std::string, kResultRecordKeys.size()> values = {
        record.User,
        record.Group,
        record.TestName,
        std::to_string(record.Outcome.Questions),
        FormatFixed(record.Outcome.Points, 3),
        std::to_string(record.Outcome.Mark),
        DateTimeText(record.StartDate, record.StartTime),
        std::to_string(ms / 60000) + ":" + std::to_string(ms / 1000 % 60),
    };
    text += std::string(kResultRecordSeparator) + eol;
    for (std::size_t i = 0; i < kResultRecordKeys.size(); ++i) {
        text += std::string(kResultRecordKeys[i]) + values[i] + eol;
    }
    return text;
}

bool AppendResultRecord(const std::filesystem::path& log, const TResultRecord& record) {
    std::error_code error;
    const bool exists = std::filesystem::exists(log, error);
    const std::string text = (exists ? "\r\n" : "") + FormatResultRecord(record);
    std::ofstream file(log, std::ios::binary | std::ios::app);
    if (!file) {
        return false;
    }
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.flush();
    return static_cast<bool>(file);
}
