// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's answer to "please quit": a termination request closes the open modal window
// with the cancel result and makes every later modal window return cancel at once, so the
// student cycle runs out after its current pass.

void RequestTermination();
bool TerminationRequested();
// Forgets an earlier request (tests run several cycles in one process).
void ClearTerminationRequest();
