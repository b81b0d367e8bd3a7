// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small text helpers: trimming, line splitting and line breaks of cp1251 text.

#include <string>
#include <string_view>
#include <vector>

// Removes every byte with a code from 0 to 32 at both ends of the text.
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

// Splits text into lines the way multi-line text is assigned to a string list: a line ends at
// CR, LF or CR LF; a NUL byte ends the whole text; a final line break adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view text);

// The line breaks of message texts as LF: CR LF and a lone CR (the break inside message and
// input box texts) each become one LF; every other byte stays. Works on cp1251 and UTF-8 alike.
std::string LineBreaksToLf(std::string_view text);
