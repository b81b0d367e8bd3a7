// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/TestWindowRules.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "model/UTypes.h"
#include "ui/rules/Rounding.h"

namespace {

// The nearest integer, ties to the even one, held within the range of int.
int RoundToInt(long double value) {
    return static_cast<int>(std::clamp(RoundHalfEven(value), static_cast<long double>(INT_MIN),
                                       static_cast<long double>(INT_MAX)));
}

}  // namespace

std::uint8_t ShownAnswerMode(std::uint8_t mode) {
    return mode == ModeCombo || mode == ModeInput ? mode : ModeRadio;
}

int AnswerPanelHeight(std::uint8_t shownMode, long long variants, int fontHeight, int itemHeight) {
    long double height = kInputAnswerPanelHeight;
    if (shownMode == ModeRadio) {
        const long double row = std::abs(static_cast<long double>(fontHeight)) * 1.25L;
        height = RoundToInt(row * (static_cast<long double>(variants) + 1));
    } else if (shownMode == ModeCombo) {
        height = std::abs(static_cast<long double>(itemHeight)) * variants + 20;
    }
    return RoundToInt(std::max<long double>(height, kMinAnswerPanelHeight));
}

int PictureBoxWidth(int pictureWidth, int problemPanelWidth) {
    const long long wanted = static_cast<long long>(pictureWidth) + 1;
    return static_cast<int>(std::min<long long>(wanted, problemPanelWidth / 2));
}

TMargins PrimaryMonitorMargins(TRect desktop, TRect primary) {
    return {
        std::max(0, primary.Left - desktop.Left),
        std::max(0, primary.Top - desktop.Top),
        std::max(0, desktop.Left + desktop.Width - primary.Left - primary.Width),
        std::max(0, desktop.Top + desktop.Height - primary.Top - primary.Height),
    };
}

TRect PrimaryMonitor(TRect reportedPrimary, int reportedScreens, const std::vector<TRect>& heads) {
    if (reportedScreens != 1 || heads.size() < 2 || heads.front().Width <= 0 ||
        heads.front().Height <= 0) {
        return reportedPrimary;
    }
    return heads.front();
}
