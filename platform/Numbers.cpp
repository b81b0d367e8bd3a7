// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// Hexadecimal digits after the prefix: at most 8, wrapping to 32 bits.
std::optional<std::uint32_t> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return value;
}

std::optional<std::int64_t> ParseDecimal(std::string_view digits) {
    if (digits.empty() || digits.size() > 10) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::size_t HexPrefixLength(std::string_view text) {
    if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
        return 1;
    }
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return 2;
    }
    return 0;
}

// Digits and exponent of a value in scientific notation with the given significant digits.
struct Scientific {
    std::string Digits;  // without the point, trailing zeros removed, at least one digit
    int Exponent = 0;    // of the first digit
    bool Negative = false;
};

Scientific ToScientific(double value, int digits) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                std::chars_format::scientific, digits - 1);
    std::string_view text(buffer, result.ptr - buffer);
    Scientific s;
    if (!text.empty() && text[0] == '-') {
        s.Negative = true;
        text.remove_prefix(1);
    }
    const std::size_t e = text.find('e');
    for (char c : text.substr(0, e)) {
        if (c != '.') {
            s.Digits += c;
        }
    }
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                    s.Exponent);
    while (s.Digits.size() > 1 && s.Digits.back() == '0') {
        s.Digits.pop_back();
    }
    return s;
}

std::string ExponentText(int exponent) {
    std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    while (digits.size() < 3) {
        digits.insert(0, 1, '0');
    }
    return std::string("E") + (exponent < 0 ? "-" : "") + digits;
}

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (const std::size_t prefix = HexPrefixLength(text); prefix > 0) {
        const auto hex = ParseHex(text.substr(prefix));
        if (!hex) {
            return std::nullopt;
        }
        const auto value = static_cast<std::int32_t>(*hex);
        return negative ? static_cast<std::int32_t>(0u - *hex) : value;
    }
    const auto decimal = ParseDecimal(text);
    if (!decimal) {
        return std::nullopt;
    }
    const std::int64_t value = negative ? -*decimal : *decimal;
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback) {
    return ParseInt(text).value_or(fallback);
}

std::optional<double> ParseFloat(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            return std::nullopt;
        }
    }
    if (text.empty() || text == ".") {
        return std::nullopt;
    }
    for (char c : text) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
        if (!allowed) {
            return std::nullopt;  // no inf, nan, hex or decimal comma
        }
    }
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string FormatGeneral(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "INF" : "-INF";
    }
    if (value == 0) {
        return "0";
    }
    const Scientific s = ToScientific(value, 7);
    std::string out = s.Negative ? "-" : "";
    if (s.Exponent < -5 || s.Exponent >= 7) {
        out += s.Digits.substr(0, 1);
        if (s.Digits.size() > 1) {
            out += '.';
            out += s.Digits.substr(1);
        }
        return out + ExponentText(s.Exponent);
    }
    if (s.Exponent < 0) {
        return out + "0." + std::string(-s.Exponent - 1, '0') + s.Digits;
    }
    const auto integerDigits = static_cast<std::size_t>(s.Exponent) + 1;
    if (s.Digits.size() <= integerDigits) {
        return out + s.Digits + std::string(integerDigits - s.Digits.size(), '0');
    }
    return out + s.Digits.substr(0, integerDigits) + "." + s.Digits.substr(integerDigits);
}

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return FormatGeneral(value);
    }
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}
