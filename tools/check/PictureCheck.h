// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the station can show a picture: JPEG bytes that its decoder takes, within its pixel
// limit.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/check/CheckReport.h"

enum class TPictureFault {
    None,      // the station decodes and shows it
    NotJpeg,   // the bytes are not a JPEG image at all
    TooLarge,  // a JPEG with more pixels than the station decodes
    Damaged,   // a JPEG header, but the decoder fails on it
};

struct TPictureCheck {
    TPictureFault Fault = TPictureFault::None;
    int Width = 0;
    int Height = 0;
};

// The width and height of the frame of JPEG bytes, from their start-of-frame marker; none when
// the bytes do not begin like a JPEG image or end before the frame header. Never reads past
// the data.
std::optional<std::pair<int, int>> JpegFrameSize(const std::uint8_t* data, std::size_t size);

TPictureCheck CheckJpeg(const std::uint8_t* data, std::size_t size);

// What is wrong, for a message: "не JPEG", "20000×20000 точек больше ...", ...
std::string PictureFaultText(const TPictureCheck& check);

// The error about a picture the station cannot show, or none when it shows it. what names the
// picture in the text; the code gets "-empty", "-not-jpeg", "-too-large" or "-damaged" added.
std::optional<TDiagnostic> PictureError(const std::uint8_t* data, std::size_t size,
                                        std::optional<std::size_t> place, const std::string& code,
                                        const std::string& what);
