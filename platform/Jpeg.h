// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// JPEG decoding to a plain 24-bit RGB buffer, or a 32-bit one ready for the screen
// (libjpeg-turbo).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

// How the decoded pixels are laid out.
enum class TPixelLayout {
    Rgb,    // 3 bytes a pixel: red, green, blue
    Rgb32,  // 4 bytes a pixel, the 32-bit word 0xFFRRGGBB in the machine's byte order
};

struct TRgbImage {
    int Width = 0;
    int Height = 0;
    TPixelLayout Layout = TPixelLayout::Rgb;
    std::vector<std::uint8_t> Pixels;  // Height rows of Width pixels in Layout
    // The picture's own size; larger than Width x Height when it was decoded at a reduced scale.
    int SourceWidth = 0;
    int SourceHeight = 0;
};

// Decodes JPEG bytes; false (and an empty image) when they are not a decodable JPEG. The
// decoders reuse the pixel storage that image already holds.
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TRgbImage& image);

// The smallest of the decoding scales 1/8, 2/8, 4/8 and 8/8 at which a width x height picture
// is still at least as large as the picture fitted into a boxWidth x boxHeight area
// (proportions kept, touching the area's sides in one direction, the size truncated to whole
// pixels), in eighths. A picture decoded at that scale only ever needs shrinking to fit. The
// other eighths are left out: libjpeg-turbo decodes them with plain transforms that take
// longer than its vectorised ones at the next larger of these scales. 8 for an empty picture
// or area.
int JpegFitScaleEighths(int width, int height, int boxWidth, int boxHeight);
// Decodes at the scale JpegFitScaleEighths chooses for the picture's own size, which is far
// cheaper than a full decode when a large photograph is shown on a smaller screen (the
// converters use it to prove that picture bytes decode). An empty area decodes the whole
// picture.
bool DecodeJpegToFit(const std::uint8_t* data, std::size_t size, int boxWidth, int boxHeight,
                     TRgbImage& image, TPixelLayout layout = TPixelLayout::Rgb);
bool DecodeJpegFileToFit(const std::filesystem::path& path, int boxWidth, int boxHeight,
                         TRgbImage& image, TPixelLayout layout = TPixelLayout::Rgb);
// Encodes RGB pixels (Layout Rgb) as a baseline JPEG (used by tools and tests to make pictures).
bool EncodeJpeg(const TRgbImage& image, int quality, std::vector<std::uint8_t>& out);
