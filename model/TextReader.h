// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Line-by-line reading of a text test held in memory, and the small text-format helpers the
// test, problem, answer and group readers share.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/ReadNotes.h"

// The byte that opens every section line of a text test: "§" in Windows-1251.
constexpr char SectionSign = '\xA7';

// Physical lines of a text held in memory. A line ends at LF; a CR right before the LF is not
// part of the line, and a CR that is not followed by LF is dropped from the line. Lines have
// no length limit. The lines handed out stay valid as long as the reader lives. A sink, when
// given, hears from the test readers about the lines they read and pass over.
class TTextReader {
public:
    explicit TTextReader(std::string_view text, TReadSink* sink = nullptr);
    TTextReader(const TTextReader&) = delete;
    TTextReader& operator=(const TTextReader&) = delete;

    // True when every byte of the text has been read.
    bool Eof() const { return Pos >= Text.size(); }
    // The next physical line without its end; the empty text once the end has been passed.
    std::string_view ReadLine();
    // The number (from 1) of the physical line ReadLine returned last; 0 before the first.
    std::size_t LineNumber() const { return Line; }
    TReadSink* Sink() const { return Listener; }

private:
    std::string Cleaned;  // the text without lone CRs, only when it held any
    std::string_view Text;
    std::size_t Pos = 0;
    std::size_t Line = 0;
    TReadSink* Listener = nullptr;
};

// The next line worth reading, trimmed: comment (";") and blank lines are passed over, except
// that the last line of the text is returned whatever it holds. Empty after the end.
std::string_view ReadNextLine(TTextReader& reader);

// True when the line's first characters, upper-cased, equal the keyword (which is upper case).
bool IsKeyword(std::string_view line, std::string_view keyword);
// The trimmed text after the first "=", or the whole trimmed line when it has none.
std::string_view ValueAfterEquals(std::string_view line);
// 0, 1 or 2 for a value that begins with RADIO, COMBO or INPUT (ignoring case); else fallback.
std::uint8_t ParseAnswerMode(std::string_view value, std::uint8_t fallback);
// The bytes of a picture DATA value: two letters A..P per byte, high half first.
std::vector<std::uint8_t> DecodePictureLetters(std::string_view text);
