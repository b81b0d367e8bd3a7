#pragma once
// JPEG decoding to a plain 24-bit RGB buffer (libjpeg-turbo).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

struct TRgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;  // Height rows of Width * 3 bytes, R G B.
};

// Decodes JPEG bytes; false (and an empty image) when they are not a decodable JPEG.
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TRgbImage& image);
bool DecodeJpegFile(const std::filesystem::path& path, TRgbImage& image);
// Encodes RGB pixels as a baseline JPEG (used by tools and tests to make pictures).
bool EncodeJpeg(const TRgbImage& image, int quality, std::vector<std::uint8_t>& out);
