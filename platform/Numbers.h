// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Number parsing and formatting that never depends on the C locale: "." is always the
// decimal point, whatever the desktop's language.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The platform's integer conversion: leading blanks, an optional sign, then decimal digits, or
// hexadecimal digits after "$", "0x", "0X", "x" or "X". Decimal values must fit in 32 bits;
// hexadecimal values of up to 8 digits wrap to 32 bits ($FFFFFFFF is -1). Anything else,
// trailing characters included, is not an integer.
std::optional<std::int32_t> ParseInt(std::string_view text);
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

// The value of one hexadecimal digit (0-9, a-f, A-F), or -1.
int HexDigitValue(char c);

// Floating-point text with "." only: optional sign, digits with an optional fraction, an
// optional exponent (e or E, optional sign, digits). Leading and trailing blanks are allowed;
// a decimal comma or any other character is not a number.
std::optional<double> ParseFloat(std::string_view text);

// The general format with up to 7 significant digits, no trailing zeros, no point for whole
// values; scientific ("1.5E-006", "1.234568E007") below 0.00001 or with more than 7 integer
// digits. NaN and infinities print as "NAN", "INF" and "-INF".
std::string FormatGeneral(double value);

// Fixed-point text with the given number of decimals and no leading blanks ("7.500").
std::string FormatFixed(double value, int decimals);
