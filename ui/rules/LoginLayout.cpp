// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/LoginLayout.h"

namespace {

constexpr int kBelowLastRow = 100;

}  // namespace

int LoginClientHeight(bool needPassword) {
    return (needPassword ? kPasswordRowTop : kSurnameRowTop) + kBelowLastRow;
}
