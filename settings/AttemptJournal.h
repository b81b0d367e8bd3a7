// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The attempt journal, attempt.dat in the station folder: everything needed to continue the
// test being taken after a crash or a power cut. It is replaced durably after each step of the
// test, so it always holds one whole state. Its reader trusts nothing: a file that is cut
// short, altered or lies about its counts is reported as damaged.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Sha256.h"
#include "platform/TimeOfDay.h"

// Bounds of what a journal may hold; more is a damaged journal.
inline constexpr std::size_t kMaxJournalBytes = 16 * 1024 * 1024;
inline constexpr std::uint32_t kMaxJournalProblems = 100000;
inline constexpr std::uint32_t kMaxJournalAnswers = 10000;
inline constexpr std::uint32_t kMaxJournalText = 1024 * 1024;

// A moment as the station's clock gives it: a date and the milliseconds of that day.
struct TStationTime {
    TDate Date;
    std::int64_t Ms = 0;

    // Milliseconds since 1 January 1970 of the station's local time.
    std::int64_t Absolute() const;
    double TimeOfDay() const { return static_cast<double>(Ms) / kMsPerDay; }
};

// Where the test stands: indices are those of the problems in the test file.
struct TAttemptProgress {
    std::vector<std::uint32_t> Selected;          // drawn, in presentation order
    std::vector<std::uint32_t> Pending;           // still to answer, the first on screen
    std::vector<std::vector<std::string>> Given;  // per drawn problem, cp1251
    std::int32_t DeferCount = 0;
    float Points = 0;       // of the answers given so far
    std::int32_t Mark = 1;  // of those points

    bool Finished() const { return Pending.empty(); }
};

struct TAttemptJournal {
    std::string Group;     // cp1251
    std::string User;      // cp1251
    std::string TestName;  // cp1251
    std::string TestFile;  // the path's native bytes
    TFileFingerprint Fingerprint;
    TStationTime Start;  // when the test window opened
    TStationTime Saved;  // when this state was written
    TAttemptProgress Progress;
};

std::string EncodeAttemptJournal(const TAttemptJournal& journal);
// None when the bytes are not one whole, consistent journal.
std::optional<TAttemptJournal> DecodeAttemptJournal(std::string_view bytes);

struct TJournalRead {
    enum class State { Missing, Damaged, Valid };
    State Kind = State::Missing;
    std::optional<TAttemptJournal> Journal;  // when Valid
};
TJournalRead ReadAttemptJournal(const std::filesystem::path& file);
// Replaces the journal durably; false when it could not be written.
bool WriteAttemptJournal(const std::filesystem::path& file, const TAttemptJournal& journal);
// Where a damaged journal is set aside: its name with ".bad" added.
std::filesystem::path SetAsidePath(const std::filesystem::path& file);
