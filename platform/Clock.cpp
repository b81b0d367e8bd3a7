// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

namespace {

class TSystemClock : public TClock {
public:
    double TimeOfDayNow() const override { return ::TimeOfDayNow(); }
    TDate Today() const override { return ::Today(); }
};

}  // namespace

const TClock& SystemClock() {
    static const TSystemClock clock;
    return clock;
}
