// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The endless cycle of the station, one pass per student: splash, optional login, test choice,
// the test, the result log record, the results window.

#include "platform/Clock.h"

// Creates the seven windows, once, in their fixed order.
void CreateForms();
// Destroys them in the reverse order (at program end).
void DestroyForms();

// One student's pass; the start and end of the test are read from clock.
void RunPass(const TClock& clock = SystemClock());
// When the program must end in the middle of a test (its display went away), writes the
// record of that test as the end of its pass would; false when no test is in progress.
bool EndTestInProgress(const TClock& clock = SystemClock());
// Runs passes until termination is requested; the request is looked at only after the results
// window of a pass has closed. Returns the number of passes run.
// At start-up: settles the journal of a test that a crash cut short. When that test can go on,
// runs its pass (the test window on the first pending problem, the record, the results
// window) and returns true; otherwise the journal's record is logged and nothing is shown.
bool RunResumedPass(const TClock& clock = SystemClock());
// Settles a crash's journal first (RunResumedPass), then runs passes until termination is
// requested; the request is looked at only after the results window of a pass has closed. Returns
// the number of passes run.
int RunCycle(const TClock& clock = SystemClock());
