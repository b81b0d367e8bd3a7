#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Jpeg.h"

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
    EXPECT_FALSE(DecodeJpegFile("/nonexistent.jpg", image));
}

}  // namespace
