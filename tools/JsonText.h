// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// JSON helpers for tezra-tool: cp1251 text goes out as UTF-8, floats as their shortest
// single-precision text.

#include <nlohmann/json.hpp>
#include <string_view>

// A cp1251 string as a JSON string (UTF-8).
nlohmann::json JsonText(std::string_view cp1251);
// A single-precision value as the shortest number that reads back to the same float
// (0.1f prints as 0.1); NaN and infinities as the strings "NaN", "Infinity", "-Infinity".
nlohmann::json JsonFloat(float value);
