// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// HTML question texts as the plain text of a station condition: paragraphs and line breaks
// become line breaks, tags are removed, entities decoded. UTF-8 in and out.

#include <string>
#include <string_view>
#include <vector>

std::string HtmlToPlain(std::string_view html);
// The src values of the img tags, in order, with their entities decoded.
std::vector<std::string> HtmlImageSources(std::string_view html);
// Named (the common ones) and numeric character references decoded; an unknown one is kept.
std::string DecodeEntities(std::string_view text);
// UTF-8 of one code point; U+FFFD for one that is not a character.
std::string CodePointToUtf8(char32_t code);
// Blank lines at both ends and blanks at line ends removed.
std::string TidyLines(std::string_view text);
