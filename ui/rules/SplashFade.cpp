// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/SplashFade.h"

#include <algorithm>

TSplashTick SplashFade::Tick(bool visible) {
    if (!visible) {
        return TSplashTick::Idle;
    }
    if (FadeCounter > 0) {
        --FadeCounter;
        // A showing may start low in an earlier fade; the opacity stops at 0.
        Opacity = std::max(0, Opacity - kStep);
        return TSplashTick::Faded;
    }
    Opacity = kFullOpacity;
    return TSplashTick::NextPicture;
}
