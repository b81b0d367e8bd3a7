// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/SplashChoice.h"

#include <algorithm>

std::size_t SplashPictureIndex(double r, std::size_t n) {
    if (n < 2) {
        return 0;
    }
    const double held = std::clamp(r, 0.0, 1.0);
    const auto k = static_cast<std::size_t>(held * held * static_cast<double>(n - 1));
    return std::min(k, n - 2);
}

void MoveToEnd(std::vector<std::filesystem::path>& list, std::size_t index) {
    if (index < list.size()) {
        const auto at = list.begin() + static_cast<std::ptrdiff_t>(index);
        std::rotate(at, at + 1, list.end());
    }
}

bool ChooseSplashPicture(std::vector<std::filesystem::path>& list, double r,
                         const std::function<bool(const std::filesystem::path&)>& load) {
    if (list.empty()) {
        return false;
    }
    MoveToEnd(list, SplashPictureIndex(r, list.size()));
    if (load(list.back())) {
        return true;
    }
    // Every other picture once, the one shown longest ago first; a bad file is skipped.
    for (std::size_t tried = 1; tried < list.size(); ++tried) {
        MoveToEnd(list, 0);
        if (load(list.back())) {
            return true;
        }
    }
    return false;
}
