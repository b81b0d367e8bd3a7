// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/ResultGauges.h"

#include <cmath>

#include "ui/rules/Rounding.h"

namespace {

float HeldAtOne(double ratio) {
    const auto single = static_cast<float>(ratio);
    return single > 1.0f ? 1.0f : single;
}

}  // namespace

float CorrectnessRatio(float points, int problems) {
    if (problems <= 0) {
        return 0.0f;
    }
    return HeldAtOne(static_cast<double>(points) / problems);
}

float SpeedRatio(int problems, int seconds) {
    if (problems <= 0 || seconds <= 0) {
        return 0.0f;
    }
    return HeldAtOne(20.0 * problems / seconds);
}

int GaugePosition(float ratio) {
    if (std::isnan(ratio)) {
        return kGaugeMaximum;
    }
    const auto position =
        static_cast<double>(RoundHalfEven((1.0 - static_cast<double>(ratio)) * kGaugeMaximum));
    if (position < 0) {
        return 0;
    }
    if (position > kGaugeMaximum) {
        return kGaugeMaximum;
    }
    return static_cast<int>(position);
}

int GaugePicture(int position) {
    const float level = 1.0f - static_cast<float>(position) / kGaugeMaximum;
    if (level >= 0.75f) {
        return 0;
    }
    if (level >= 0.5f) {
        return 1;
    }
    if (level >= 0.25f) {
        return 2;
    }
    return 3;
}
