// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small text helpers of the checker's messages: cp1251 lines quoted for the console and
// numbers as the station prints them.

#include <cstddef>
#include <string>
#include <string_view>

// A line of a file quoted for a message: «text», in UTF-8, cut to about 60 characters.
std::string Quoted(std::string_view cp1251);
// A UTF-8 text in the same quotes, whole.
std::string QuotedUtf8(std::string_view utf8);
// A float in the general format the station shows points in ("1.5", "7").
std::string PointsText(float value);
// "строке 12" or "байте 40": where something else in the same file stands.
std::string PlaceText(std::size_t place, bool binary);
// Whether cp1251 bytes look like UTF-8 text instead: they hold multi-byte UTF-8 sequences
// (or a UTF-8 byte order mark) and nothing that is not valid UTF-8.
bool LooksLikeUtf8(std::string_view bytes);
