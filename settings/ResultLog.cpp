// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ResultLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// How much of the log's end is read back to find a record cut short: more than the longest
// record (a surname of 32,767 characters and a 64 KiB test name).
constexpr std::size_t kTailRead = 256 * 1024;

// Whether the whole of rest is the beginning of what the writer writes for one record, lead
// first: each of the record's lines begins with its key and ends with CR LF, and rest ends
// anywhere inside that.
bool IsRecordBeginning(std::string_view rest, std::string_view lead) {
    // 1: the literal was taken whole; 0: rest ended inside it; -1: rest differs.
    const auto take = [&rest](std::string_view literal) {
        const std::size_t n = std::min(rest.size(), literal.size());
        if (rest.substr(0, n) != literal.substr(0, n)) {
            return -1;
        }
        rest.remove_prefix(n);
        return n < literal.size() ? 0 : 1;
    };
    int taken = take(lead);
    if (taken <= 0) {
        return taken == 0;
    }
    taken = take(std::string(kResultRecordSeparator) + "\r\n");
    for (std::string_view key : kResultRecordKeys) {
        if (taken <= 0) {
            return taken == 0;
        }
        taken = take(key);
        if (taken <= 0) {
            return taken == 0;
        }
        const std::size_t value = rest.find_first_of("\r\n");
        if (value == std::string_view::npos) {
            return true;
        }
        rest.remove_prefix(value);
        taken = take("\r\n");
    }
    return taken == 0;  // a whole record is no beginning
}

}  // namespace

std::size_t CutRecordLength(std::string_view tail, bool wholeFile) {
    // The end of the last whole record: just after the last complete Duration line.
    std::size_t end = 0;
    std::size_t from = std::string_view::npos;
    for (;;) {
        const std::size_t line = tail.rfind("\r\nDuration=", from);
        if (line == std::string_view::npos) {
            if (!wholeFile) {
                return 0;  // the record's start is not in the tail: left as it is
            }
            break;
        }
        const std::size_t lineEnd = tail.find("\r\n", line + 2);
        if (lineEnd != std::string_view::npos) {
            end = lineEnd + 2;
            break;
        }
        if (line == 0) {
            break;
        }
        from = line - 1;
    }
    const std::string_view rest = tail.substr(end);
    if (rest.empty()) {
        return 0;
    }
    return IsRecordBeginning(rest, "\r\n") || IsRecordBeginning(rest, "") ? rest.size() : 0;
}

namespace {

// Removes a record that a kill or a power cut left cut short at the end of the log, so that
// the next record is not glued onto it. Anything that is not the beginning of a record stays.
bool CutBackPartialRecord(int fd, struct stat& info) {
    const auto size = static_cast<std::size_t>(info.st_size);
    const std::size_t length = std::min(size, kTailRead);
    std::string tail(length, '\0');
    const ssize_t got =
        ::pread(fd, tail.data(), length, info.st_size - static_cast<off_t>(length));
    if (got != static_cast<ssize_t>(length)) {
        return got >= 0;  // the file changed meanwhile: nothing is cut
    }
    const std::size_t cut = CutRecordLength(tail, length == size);
    if (cut == 0) {
        return true;
    }
    if (::ftruncate(fd, info.st_size - static_cast<off_t>(cut)) != 0) {
        return false;
    }
    info.st_size -= static_cast<off_t>(cut);
    return true;
}

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
        ::open(log.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644)};
    struct stat info {};
    if (file.Fd < 0 || ::fstat(file.Fd, &info) != 0) {
        return Fail(error, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(error, EINVAL);
    }
    if (info.st_size > 0 && !CutBackPartialRecord(file.Fd, info)) {
        return Fail(error, errno);
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
