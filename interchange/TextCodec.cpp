// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 and cp1251 input, and cp1251 output with look-alikes for what the code page lacks.

#include "interchange/TextCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "interchange/Bank.h"
#include "platform/Cp1251.h"

namespace {

// Length of the UTF-8 sequence that the byte begins, or 0 when it cannot begin one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Plain look-alikes of characters that cp1251 cannot hold.
constexpr std::array<std::pair<char32_t, std::string_view>, 58> kLookAlikes = {{
    {U'\u2212', "-"},  {U'\u2010', "-"},   {U'\u2011', "-"},   {U'\u2012', "-"},
    {U'\u2015', "-"},  {U'\u00D7', "x"},   {U'\u00F7', ":"},   {U'\u2264', "<="},
    {U'\u2265', ">="}, {U'\u2260', "<>"},  {U'\u2248', "~"},   {U'\u2032', "'"},
    {U'\u2033', "\""}, {U'\u00BD', "1/2"}, {U'\u00BC', "1/4"}, {U'\u00BE', "3/4"},
    {U'\u00B2', "2"},  {U'\u00B3', "3"},   {U'\u00B9', "1"},   {U'\u2044', "/"},
    {U'\u2215', "/"},  {U'\u22C5', "*"},   {U'\u2219', "*"},   {U'\u2009', " "},
    {U'\u2002', " "},  {U'\u2003', " "},   {U'\u202F', " "},   {U'\u200B', ""},
    {U'\u00E0', "a"},  {U'\u00E1', "a"},   {U'\u00E2', "a"},   {U'\u00E4', "a"},
    {U'\u00E7', "c"},  {U'\u00E8', "e"},   {U'\u00E9', "e"},   {U'\u00EA', "e"},
    {U'\u00EB', "e"},  {U'\u00EE', "i"},   {U'\u00EF', "i"},   {U'\u00F1', "n"},
    {U'\u00F3', "o"},  {U'\u00F4', "o"},   {U'\u00F6', "o"},   {U'\u00FA', "u"},
    {U'\u00FC', "u"},  {U'\u00DF', "ss"},  {U'\u00C0', "A"},   {U'\u00C1', "A"},
    {U'\u00C4', "A"},  {U'\u00C7', "C"},   {U'\u00C9', "E"},   {U'\u00C8', "E"},
    {U'\u00D6', "O"},  {U'\u00DC', "U"},   {U'\u03C0', "pi"},  {U'\u221A', "sqrt"},
    {U'\u00B4', "'"},  {U'\u02C6', "^"},
}};

char32_t DecodeSequence(std::string_view seq) {
    const auto lead = static_cast<unsigned char>(seq[0]);
    if (seq.size() == 1) {
        return lead;
    }
    char32_t value = lead & (0x7F >> seq.size());
    for (std::size_t i = 1; i < seq.size(); ++i) {
        value = (value << 6) | (static_cast<unsigned char>(seq[i]) & 0x3F);
    }
    return value;
}

void Remember(std::vector<CharReplacement>& replaced, std::string_view from, std::string_view to) {
    if (replaced.size() >= BankMaxReplacementsShown) {
        return;
    }
    const bool known = std::any_of(replaced.begin(), replaced.end(),
                                   [&](const CharReplacement& r) { return r.From == from; });
    if (!known) {
        replaced.push_back({std::string(from), std::string(to)});
    }
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(bytes[i]));
        if (length == 0 || i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

std::string InputToUtf8(std::string_view bytes, bool& wasCp1251) {
    wasCp1251 = false;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    wasCp1251 = true;
    return Cp1251ToUtf8(bytes);
}

std::string Utf8ToStation(std::string_view utf8, std::vector<CharReplacement>& replaced) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        std::size_t length = SequenceLength(lead);
        bool valid = length > 1 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
        }
        if (!valid) {
            Remember(replaced, "\xEF\xBF\xBD", "?");
            out += '?';
            ++i;
            continue;
        }
        const std::string_view seq = utf8.substr(i, length);
        i += length;
        const std::string single = Utf8ToCp1251(seq);
        if (single != "?") {
            out += single;
            continue;
        }
        const char32_t code = DecodeSequence(seq);
        const auto* found =
            std::find_if(kLookAlikes.begin(), kLookAlikes.end(),
                         [code](const auto& entry) { return entry.first == code; });
        const std::string_view to = found != kLookAlikes.end() ? found->second : "?";
        Remember(replaced, seq, to);
        out += to;
    }
    return out;
}
