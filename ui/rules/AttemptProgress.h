// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test in progress as the attempt journal keeps it, and what the station does at start-up
// with a journal that a crash left behind.

#include <optional>

#include "model/UTypes.h"
#include "platform/Sha256.h"
#include "settings/AttemptJournal.h"

// A journal older than this is not resumed: the student has surely left the station.
inline constexpr std::int64_t kResumeWindowMs = 3LL * 60 * 60 * 1000;

// Where the test being taken stands, with the points and mark of the answers given so far.
// Leaves no score cached in the test: the problems still to answer are scored at the end.
TAttemptProgress CaptureProgress(TTezra& tezra);

// Puts the progress into a test that was just loaded and prepared, in place of a fresh draw.
// False, with the test left as prepared, when the progress does not fit the test: an index
// outside it, or more deferrals than it allows.
bool RestoreProgress(TTezra& tezra, const TAttemptProgress& progress);

enum class TCrashAction {
    None,      // no journal: the cycle begins as always
    Resume,    // the test continues where it stood
    Log,       // the journal's record goes to report.log, then the cycle begins
    SetAside,  // the journal cannot be read: it is kept as attempt.dat.bad
};

// What to do with the journal found at start-up. current is the fingerprint of the journal's
// test file as it is now (none when it is gone); now is the station's clock.
TCrashAction DecideAfterCrash(const TJournalRead& read,
                              const std::optional<TFileFingerprint>& current,
                              const TStationTime& now);
