// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ResultLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Numbers.h"

namespace {

// Whole milliseconds between start and end; a test that crossed midnight counts the full
// day it ran into.
long long DurationMs(double start, double end) {
    long long ms = DayFractionToMs(end) - DayFractionToMs(start);
    return ms < 0 ? ms + kMsPerDay : ms;
}

// Closes the descriptor however the append ends.
struct LogDescriptor {
    int Fd;
    ~LogDescriptor() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
};

bool Fail(std::error_code* error, int code) {
    if (error != nullptr) {
        *error = std::error_code(code, std::generic_category());
    }
    return false;
}

}  // namespace

std::string RecordText(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return line;
}

std::string FormatResultRecord(const TResultRecord& record) {
    const long long ms = DurationMs(record.StartTime, record.EndTime);
    const std::string eol = "\r\n";
    std::string text;
    const std::array<std::string, kResultRecordKeys.size()> values = {
        RecordText(record.User),
        RecordText(record.Group),
        RecordText(record.TestName),
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

bool AppendResultRecord(const std::filesystem::path& log, const TResultRecord& record,
                        std::error_code* error) {
    // Non-blocking, so that a FIFO under the log's name cannot hold the station.
    const LogDescriptor file{
        ::open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644)};
    struct stat info {};
    if (file.Fd < 0 || ::fstat(file.Fd, &info) != 0) {
        return Fail(error, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(error, EINVAL);
    }
    // The empty line stands between records, so a file that holds none gets none.
    const std::string text = (info.st_size > 0 ? "\r\n" : "") + FormatResultRecord(record);
    ssize_t written = -1;
    do {
        written = ::write(file.Fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(text.size())) {
        const int code = written < 0 ? errno : ENOSPC;
        // A part of a record would glue the next one onto it: the file goes back to its
        // length before this record.
        if (written > 0 && ::ftruncate(file.Fd, info.st_size) != 0) {
            return Fail(error, errno);
        }
        return Fail(error, code);
    }
    if (::fdatasync(file.Fd) != 0) {
        return Fail(error, errno);
    }
    return true;
}
