// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/BankModel.h"

#include <cmath>

#include "platform/Numbers.h"

std::string CategoryLastPart(std::string_view path) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '/' && i + 1 < path.size() && path[i + 1] == '/') {
            parts.back() += '/';
            ++i;
        } else if (path[i] == '/') {
            parts.emplace_back();
        } else {
            parts.back() += path[i];
        }
    }
    auto trim = [](std::string text) {
        const auto first = text.find_first_not_of(" \t\r\n");
        const auto last = text.find_last_not_of(" \t\r\n");
        return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    };
    while (!parts.empty() && trim(parts.back()).empty()) {
        parts.pop_back();
    }
    if (parts.empty()) {
        return {};
    }
    const std::string last = trim(parts.back());
    const bool root = last == "top" && (parts.size() == 1 ||
                                        (parts.size() == 2 && trim(parts[0]).starts_with("$")));
    return root ? std::string() : last;
}

std::int32_t RoundedWeight(double percent, std::size_t line, BankCollector& bank) {
    if (!std::isfinite(percent) || percent > 1e6 || percent < -1e6) {
        bank.Warn(line, "weight-rounded", "вес вне пределов; записан как 0");
        return 0;
    }
    const auto rounded = static_cast<std::int32_t>(std::lround(percent));
    if (std::fabs(percent - rounded) > 1e-9) {
        bank.Warn(line, "weight-rounded",
                  "вес " + FormatGeneral(percent) + " % округлён до " + std::to_string(rounded));
    }
    return rounded;
}
