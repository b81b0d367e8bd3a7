// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/LoginPulse.h"

int LoginPulseOpacity(unsigned char counter) {
    const int c = counter % 64;
    return c < 32 ? 127 + 4 * c : 127 + 4 * (64 - c);
}

unsigned char NextLoginPulse(unsigned char counter) {
    return static_cast<unsigned char>((counter + 1) % 64);
}
