// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Cp1251.h"

#include <array>
#include <cstdint>

namespace {

// Unicode code points of the bytes 0x80 to 0xFF.
constexpr std::array<std::uint16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  //
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  //
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  //
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  //
};

struct CaseTables {
    std::array<unsigned char, 256> Upper{};
    std::array<unsigned char, 256> Lower{};
};

// Lower-case bytes of the high half paired with their capitals.
constexpr std::array<std::pair<unsigned char, unsigned char>, 15> kHighPairs = {{
    {0x83, 0x81},
    {0x90, 0x80},
    {0x9A, 0x8A},
    {0x9C, 0x8C},
    {0x9D, 0x8D},
    {0x9E, 0x8E},
    {0x9F, 0x8F},
    {0xA2, 0xA1},
    {0xB3, 0xB2},
    {0xB4, 0xA5},
    {0xB8, 0xA8},
    {0xBA, 0xAA},
    {0xBC, 0xA3},
    {0xBE, 0xBD},
    {0xBF, 0xAF},
}};

CaseTables MakeCaseTables() {
    CaseTables t;
    for (int i = 0; i < 256; ++i) {
        t.Upper[i] = t.Lower[i] = static_cast<unsigned char>(i);
    }
    auto pair = [&t](int lower, int upper) {
        t.Upper[lower] = static_cast<unsigned char>(upper);
        t.Lower[upper] = static_cast<unsigned char>(lower);
    };
    for (int c = 'a'; c <= 'z'; ++c) {
        pair(c, c - 32);
    }
    for (int c = 0xE0; c <= 0xFF; ++c) {
        pair(c, c - 32);
    }
    for (auto [lower, upper] : kHighPairs) {
        pair(lower, upper);
    }
    return t;
}

const CaseTables& Tables() {
    static const CaseTables tables = MakeCaseTables();
    return tables;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char EncodeCodePoint(std::uint32_t cp) {
    if (cp < 0x80) {
        return static_cast<char>(cp);
    }
    // The 64 letters А..я are one run in both tables; every other character is looked up.
    if (cp >= 0x0410 && cp <= 0x044F) {
        return static_cast<char>(0xC0 + (cp - 0x0410));
    }
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
        if (kHighHalf[i] == cp) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

// Decodes one UTF-8 sequence at text[pos]; advances pos. Malformed input yields nothing
// (std::uint32_t(-1)) and advances by one byte.
std::uint32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    int length = lead < 0x80         ? 1
                 : (lead >> 5) == 6  ? 2
                 : (lead >> 4) == 14 ? 3
                 : (lead >> 3) == 30 ? 4
                                     : 0;
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return UINT32_MAX;
    }
    std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return UINT32_MAX;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    pos += length;
    return cp;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b < 0x80 ? b : kHighHalf[b - 0x80]);
    }
    return out;
}

std::string Utf8ToCp1251(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            out += text[pos++];
            continue;
        }
        const std::uint32_t cp = DecodeUtf8(text, pos);
        out += cp == UINT32_MAX ? '?' : EncodeCodePoint(cp);
    }
    return out;
}

char AnsiUpperChar(char c) {
    return static_cast<char>(Tables().Upper[static_cast<unsigned char>(c)]);
}

char AnsiLowerChar(char c) {
    return static_cast<char>(Tables().Lower[static_cast<unsigned char>(c)]);
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AnsiUpperChar(c);
    }
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AnsiLowerChar(c);
    }
    return out;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto& lower = Tables().Lower;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    const auto& lower = Tables().Lower;
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int x = lower[static_cast<unsigned char>(a[i])];
        const int y = lower[static_cast<unsigned char>(b[i])];
        if (x != y) {
            return x - y;
        }
    }
    return static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size());
}

std::string LatinUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return out;
}
