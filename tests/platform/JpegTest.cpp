// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/Jpeg.h"
#include "platform/StationLimits.h"
#include "tests/common/TempDir.h"

namespace {

TRgbImage Gradient(int width, int height) {
    TRgbImage image;
    image.Width = width;
    image.Height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.Pixels.push_back(static_cast<std::uint8_t>(x * 255 / width));
            image.Pixels.push_back(static_cast<std::uint8_t>(y * 255 / height));
            image.Pixels.push_back(200);
        }
    }
    return image;
}

TEST(Jpeg, EncodedPictureDecodesToTheSameSizeAndColours) {
    const TRgbImage source = Gradient(40, 30);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(EncodeJpeg(source, 95, bytes));
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    TRgbImage decoded;
    ASSERT_TRUE(DecodeJpeg(bytes.data(), bytes.size(), decoded));
    EXPECT_EQ(decoded.Width, 40);
    EXPECT_EQ(decoded.Height, 30);
    ASSERT_EQ(decoded.Pixels.size(), source.Pixels.size());
    for (std::size_t i = 0; i < source.Pixels.size(); ++i) {
        ASSERT_LE(std::abs(decoded.Pixels[i] - source.Pixels[i]), 12) << i;
    }
}

TEST(Jpeg, DamagedDataFailsWithoutCrashing) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(EncodeJpeg(Gradient(16, 16), 80, bytes));
    TRgbImage image;
    const std::vector<std::uint8_t> garbage = {0xFF, 0xD8, 0xFF, 0x00, 0x12};
    EXPECT_FALSE(DecodeJpeg(garbage.data(), garbage.size(), image));
    EXPECT_EQ(image.Width, 0);
    EXPECT_FALSE(DecodeJpeg(nullptr, 0, image));
    // A picture cut short still gives its size; libjpeg fills the missing rows.
    for (std::size_t cut : {std::size_t{3}, bytes.size() / 4, bytes.size() - 3}) {
        TRgbImage partial;
        DecodeJpeg(bytes.data(), cut, partial);
        EXPECT_TRUE(partial.Width == 0 || partial.Width == 16) << cut;
    }
    EXPECT_FALSE(DecodeJpegFileToFit("/nonexistent.jpg", 0, 0, image));
}

TEST(Jpeg, FitScaleIsTheSmallestThatStillCoversTheFittedPicture) {
    struct Row {
        int Width, Height, BoxWidth, BoxHeight, Eighths;
    };
    const Row rows[] = {
        {4000, 3000, 1920, 1080, 4},  // fits as 1440 x 1080; 2/8 gives only 1000 x 750
        {3000, 4000, 1920, 1080, 4},  // fits as 810 x 1080
        {4000, 3000, 800, 600, 2},    // 1000 x 750 covers 800 x 600
        {4000, 3000, 2560, 1440, 4},  // fits as 1920 x 1440; 4/8 gives 2000 x 1500
        {4000, 3000, 3840, 2160, 8},  // 6/8 would cover 2880 x 2160 but is slower than 8/8
        {1600, 600, 800, 600, 4},     // fits as 800 x 300, exactly half
        {8000, 8000, 1000, 1000, 1},  // exactly an eighth
        {7999, 7999, 1000, 1000, 1},  // libjpeg rounds the eighth up to 1000
        {8008, 8008, 1000, 1000, 1},  // 1001 still covers 1000
        {1921, 1080, 1920, 1080, 8},  // barely larger: no smaller scale covers it
        {1920, 1080, 1920, 1080, 8},
        {800, 600, 1920, 1080, 8},  // smaller than the box: decoded
                                    // whole, then enlarged
        {0, 600, 1920, 1080, 8},
        {800, 600, 0, 1080, 8},
        {800, 600, 1920, -5, 8},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(JpegFitScaleEighths(row.Width, row.Height, row.BoxWidth, row.BoxHeight),
                  row.Eighths)
            << row.Width << "x" << row.Height << " in " << row.BoxWidth << "x" << row.BoxHeight;
    }
}

TEST(Jpeg, DecodesToFitAtAReducedScaleAsScreenWords) {
    TRgbImage flat;
    flat.Width = 64;
    flat.Height = 48;
    for (int i = 0; i < 64 * 48; ++i) {
        flat.Pixels.insert(flat.Pixels.end(), {250, 128, 10});
    }
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(EncodeJpeg(flat, 95, bytes));
    const TempDir dir;
    const auto file = dir.Write("flat.jpg", std::string(bytes.begin(), bytes.end()));
    TRgbImage image;
    ASSERT_TRUE(DecodeJpegFileToFit(file, 16, 16, image, TPixelLayout::Rgb32));
    EXPECT_EQ(image.Width, 16);  // a quarter: fitted into 16 x 16 the picture is 16 x 12
    EXPECT_EQ(image.Height, 12);
    EXPECT_EQ(image.SourceWidth, 64);
    EXPECT_EQ(image.SourceHeight, 48);
    ASSERT_EQ(image.Pixels.size(), 16u * 12 * 4);
    for (std::size_t i = 0; i < image.Pixels.size(); i += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, image.Pixels.data() + i, 4);
        ASSERT_EQ(word >> 24, 0xFFu) << i;
        ASSERT_LE(std::abs(static_cast<int>((word >> 16) & 0xFF) - 250), 6) << i;
        ASSERT_LE(std::abs(static_cast<int>((word >> 8) & 0xFF) - 128), 6) << i;
        ASSERT_LE(std::abs(static_cast<int>(word & 0xFF) - 10), 6) << i;
    }
    // An empty box decodes the whole picture; only 3-byte pixels are encoded.
    ASSERT_TRUE(DecodeJpegFileToFit(file, 0, 0, image));
    EXPECT_EQ(image.Width, 64);
    EXPECT_EQ(image.Layout, TPixelLayout::Rgb);
    EXPECT_EQ(image.Pixels.size(), 64u * 48 * 3);  // the storage reused, at its new size
    ASSERT_TRUE(DecodeJpegFileToFit(file, 8, 8, image));
    EXPECT_EQ(image.Pixels.size(), 8u * 6 * 3);
    EXPECT_FALSE(EncodeJpeg(TRgbImage{1, 1, TPixelLayout::Rgb32, {0, 0, 0, 0}}, 90, bytes));
}

// A picture file as large as the station reads decodes (what follows the picture's end is
// ignored); one byte more and the file is not read at all.
TEST(Jpeg, PictureFilesAreReadUpToTheSizeLimit) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(EncodeJpeg(Gradient(24, 16), 80, bytes));
    const TempDir dir;
    for (const std::size_t size : {kMaxPictureFileBytes, kMaxPictureFileBytes + 1}) {
        std::string file(bytes.begin(), bytes.end());
        file.resize(size, '\0');
        const auto path = dir.Write("padded.jpg", file);
        TRgbImage image;
        const bool within = size <= kMaxPictureFileBytes;
        EXPECT_EQ(DecodeJpegFileToFit(path, 0, 0, image), within) << size;
        EXPECT_EQ(image.Width, within ? 24 : 0) << size;
    }
}

}  // namespace
