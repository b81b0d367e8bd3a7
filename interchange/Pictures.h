// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pictures of a question bank as the station's JPEG: a JPEG is kept byte for byte, a PNG or a
// GIF is converted; anything else, or a picture that does not decode or is larger than the
// station's pixel limit, is refused with a Russian reason.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class PictureKind { Jpeg, Png, Gif, Other };

// The kind the first bytes name.
PictureKind SniffPicture(std::span<const std::uint8_t> bytes);

struct StationPicture {
    bool Ok = false;
    std::vector<std::uint8_t> Jpeg;
    std::string Problem;  // why it was refused, Russian, UTF-8
};

StationPicture PictureToStationJpeg(std::span<const std::uint8_t> bytes);
