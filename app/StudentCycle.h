#pragma once
// The endless cycle of the station, one pass per student: splash, optional login, test choice,
// the test, the result log record, the results window.

// Creates the seven windows, once, in their fixed order.
void CreateForms();
// Destroys them in the reverse order (at program end).
void DestroyForms();

// One student's pass.
void RunPass();
// Runs passes until termination is requested; the request is looked at only after the results
// window of a pass has closed. Returns the number of passes run.
int RunCycle();
