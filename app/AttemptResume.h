// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The attempt journal in the student cycle: the test window's progress is kept in the station
// folder while a test is taken, and a journal that a crash left behind is settled at start-up.

#include "platform/Clock.h"

// The message shown before a test continues after a crash (UTF-8).
extern const char* const kResumedMessage;

// Keeps the journal of the test the test window is about to take (Settings name it); nothing
// when the station does not resume tests. resumed: the test was restored from the journal,
// whose fingerprint and start it keeps.
void KeepJournal(const TClock& clock, bool resumed = false);
// Stops keeping it and removes it: the test's record has been written.
void DropJournal();

// At start-up: settles a journal left behind by a crash. Returns true when its test has been
// restored as the current test and Settings name its student, test and start; the caller then
// shows the test window to continue it. Otherwise the journal's record has gone to report.log
// (or a journal that cannot be read has been set aside) and the cycle begins as always.
bool SettleJournal(const TClock& clock);
