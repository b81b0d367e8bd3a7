// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/JsonText.h"

#include <charconv>
#include <cmath>
#include <string>

#include "platform/Cp1251.h"

nlohmann::json JsonText(std::string_view cp1251) {
    return Cp1251ToUtf8(cp1251);
}

nlohmann::json JsonFloat(float value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    double shortest = 0;
    std::from_chars(buffer, result.ptr, shortest);
    if (shortest == std::floor(shortest) && std::fabs(shortest) < 9.007199254740992e15) {
        return static_cast<long long>(shortest);
    }
    return shortest;
}
