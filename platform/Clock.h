// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's clock: today's date and the local time of day. The student cycle reads the
// start and end of a test through it, so that a test can fix both.

#include "platform/TimeOfDay.h"

class TClock {
public:
    virtual ~TClock() = default;
    // The local time of day as a fraction of a day.
    virtual double TimeOfDayNow() const = 0;
    virtual TDate Today() const = 0;
};

// The computer's own clock.
const TClock& SystemClock();
