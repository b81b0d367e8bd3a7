// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows-1251 text: the single-byte code page in which the station stores, reads and sends
// all of its text. Conversion to and from UTF-8 happens only where text meets the desktop.

#include <string>
#include <string_view>

// Converts cp1251 bytes to UTF-8. Every byte value has a character (the unassigned 0x98
// maps to U+0098, so that the conversion never loses a byte).
std::string Cp1251ToUtf8(std::string_view text);

// Converts UTF-8 to cp1251. A character that cp1251 cannot hold, or a malformed UTF-8
// sequence, becomes '?'.
std::string Utf8ToCp1251(std::string_view text);

// ANSI upper- and lower-casing of one cp1251 byte: Latin a-z, Cyrillic а-я, ё and the other
// Cyrillic letters of the code page that have a case pair.
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// Case-insensitive comparison of cp1251 text (Latin and Cyrillic folded).
bool AnsiSameText(std::string_view a, std::string_view b);
// <0, 0 or >0, comparing the lower-cased bytes as unsigned values.
int AnsiCompareText(std::string_view a, std::string_view b);

// Upper-cases only the Latin letters a-z, leaving every other byte as it is.
std::string LatinUpperCase(std::string_view text);
