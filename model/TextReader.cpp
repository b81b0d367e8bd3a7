// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/TextReader.h"

#include "model/TextKeywords.h"

#include <array>
#include <cstring>

#include "platform/Cp1251.h"
#include "platform/TextUtils.h"

namespace {

// True when the text holds a CR that is not followed by LF.
bool HasLoneCr(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    const char* p = text.data();
    const char* end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '\r', end - p))) != nullptr) {
        if (p + 1 == end || p[1] != '\n') {
            return true;
        }
        p += 2;
    }
    return false;
}

std::string WithoutLoneCr(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' || (i + 1 < text.size() && text[i + 1] == '\n')) {
            out += text[i];
        }
    }
    return out;
}

using UpperTable = std::array<char, 256>;

UpperTable MakeUpperTable() {
    UpperTable table{};
    for (int i = 0; i < 256; ++i) {
        table[static_cast<std::size_t>(i)] = AnsiUpperChar(static_cast<char>(i));
    }
    return table;
}

const UpperTable& Upper() {
    static const UpperTable table = MakeUpperTable();
    return table;
}

}  // namespace

TTextReader::TTextReader(std::string_view text, TReadSink* sink) : Text(text), Listener(sink) {
    // Dropping every lone CR up front leaves lines that can end only in CR LF or LF.
    if (HasLoneCr(text)) {
        Cleaned = WithoutLoneCr(text);
        Text = Cleaned;
    }
}

std::string_view TTextReader::ReadLine() {
    if (Eof()) {
        return {};
    }
    const char* begin = Text.data() + Pos;
    const std::size_t rest = Text.size() - Pos;
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', rest));
    std::size_t length = lf != nullptr ? static_cast<std::size_t>(lf - begin) : rest;
    Pos += lf != nullptr ? length + 1 : length;
    ++Line;
    if (length > 0 && begin[length - 1] == '\r') {
        --length;
    }
    return {begin, length};
}

std::string_view ReadNextLine(TTextReader& reader) {
    for (;;) {
        const std::string_view line = TrimView(reader.ReadLine());
        if (reader.Eof() || (!line.empty() && line.front() != ';')) {
            return line;
        }
    }
}

bool IsKeyword(std::string_view line, std::string_view keyword) {
    if (line.size() < keyword.size()) {
        return false;
    }
    const UpperTable& upper = Upper();
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (upper[static_cast<unsigned char>(line[i])] != keyword[i]) {
            return false;
        }
    }
    return true;
}

std::string_view ValueAfterEquals(std::string_view line) {
    const std::size_t eq = line.find('=');
    return TrimView(eq == std::string_view::npos ? line : line.substr(eq + 1));
}

std::uint8_t ParseAnswerMode(std::string_view value, std::uint8_t fallback) {
    for (std::size_t mode = 0; mode < AnswerModeNames.size(); ++mode) {
        if (IsKeyword(value, AnswerModeNames[mode])) {
            return static_cast<std::uint8_t>(mode);
        }
    }
    return fallback;
}

std::vector<std::uint8_t> DecodePictureLetters(std::string_view text) {
    std::vector<std::uint8_t> bytes(text.size() / 2);
    const auto* letters = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned high = letters[2 * i] - 65u;
        const unsigned low = letters[2 * i + 1] - 65u;
        bytes[i] = static_cast<std::uint8_t>(((high << 4) & 0xFFu) | (low & 0xFFu));
    }
    return bytes;
}
