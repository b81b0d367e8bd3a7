// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/CheckText.h"

#include "platform/Cp1251.h"
#include "platform/Numbers.h"

namespace {

constexpr std::size_t kShownLength = 60;

// The length of the UTF-8 sequence that begins with lead, or 0 when lead cannot begin one.
std::size_t SequenceLength(unsigned char lead) {
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

}  // namespace

std::string Quoted(std::string_view cp1251) {
    const bool cut = cp1251.size() > kShownLength;
    return "«" + Cp1251ToUtf8(cp1251.substr(0, kShownLength)) + (cut ? "…»" : "»");
}

std::string QuotedUtf8(std::string_view utf8) {
    return "«" + std::string(utf8) + "»";
}

std::string PointsText(float value) {
    return FormatGeneral(value);
}

std::string PlaceText(std::size_t place, bool binary) {
    return (binary ? "байте " : "строке ") + std::to_string(place);
}

bool LooksLikeUtf8(std::string_view bytes) {
    bool multiByte = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = SequenceLength(lead);
        if (length == 0 || i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        multiByte = true;
        i += length;
    }
    return multiByte;
}
