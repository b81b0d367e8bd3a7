// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/SplashRect.h"

#include <algorithm>

TRect SplashPaintRect(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight) {
    if (windowWidth <= 0 || windowHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) {
        return {};
    }
    double scale = std::max(static_cast<double>(pictureWidth) / windowWidth,
                            static_cast<double>(pictureHeight) / windowHeight);
    scale = std::max(scale, 0.01);
    TRect rect;
    rect.Width = static_cast<int>(pictureWidth / scale);
    rect.Height = static_cast<int>(pictureHeight / scale);
    rect.Left = (windowWidth - rect.Width) / 2;
    rect.Top = (windowHeight - rect.Height) / 2;
    return rect;
}
