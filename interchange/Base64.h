// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Base64 as XML files carry embedded pictures: blanks and line breaks between the letters are
// allowed, anything else that is not a Base64 letter makes the text invalid.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);
std::string EncodeBase64(std::span<const std::uint8_t> bytes);
