// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/Rounding.h"

#include <cmath>

long double RoundHalfEven(long double value) {
    long double whole = std::floor(value);
    const long double fraction = value - whole;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0.0L)) {
        whole += 1.0L;
    }
    return whole;
}
