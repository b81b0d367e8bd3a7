// SPDX-License-Identifier: GPL-3.0-or-later
// The scrambler: the keystream, its restart every 64 KiB, and that it undoes itself.

#include <gtest/gtest.h>

#include <numeric>

#include "ModelTestSupport.h"

namespace {

TEST(Scramble, KeystreamComesFromTheGeneratorSeededWith21874) {
    const auto& key = ScrambleKeystream();
    // Word 0 is the seed 21874 = 0x5572 itself, low byte first; then the generator's states.
    const std::uint8_t head[8] = {0x72, 0x55, 0xAD, 0x18, 0xE8, 0x5F, 0x23, 0x2B};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(key[i], head[i]) << i;
    }
    EXPECT_EQ(key[65534], 0x37);
    EXPECT_EQ(key[65535], 0x16);
    // Figures of the whole stream, computed apart from this code.
    EXPECT_EQ(std::accumulate(key.begin(), key.end(), 0LL), 6258688);
    long long weighted = 0;
    for (std::size_t i = 0; i < key.size(); ++i) {
        weighted = (weighted + static_cast<long long>(i) * key[i]) % 1000000007;
    }
    EXPECT_EQ(weighted, 293091429);
    for (std::size_t i = 1; i < key.size(); i += 2) {
        ASSERT_LT(key[i], 0x80) << i;  // states are below 32768
    }
}

TEST(Scramble, EveryBlockStartsAgainAtTheKeystreamStart) {
    for (std::size_t size : {std::size_t{65536 + 2}, std::size_t{3 * 65536 + 7}}) {
        std::vector<std::uint8_t> zeros(size, 0);
        TMemoryStream stream(zeros.data(), zeros.size());
        stream.Seek(100);
        EXPECT_TRUE(ScrambleStream(stream));
        EXPECT_EQ(stream.Position(), 0u);
        EXPECT_EQ(stream.Size(), size);
        const auto& key = ScrambleKeystream();
        for (std::size_t i = 0; i < size; ++i) {
            ASSERT_EQ(stream.Data()[i], key[i % 65536]) << i;
        }
    }
}

TEST(Scramble, TwiceGivesBackTheContent) {
    std::vector<std::uint8_t> bytes(200'003);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    }
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{9},
                             std::size_t{65535}, bytes.size()}) {
        TMemoryStream stream(bytes.data(), size);
        ScrambleStream(stream);
        if (size > 8) {
            EXPECT_NE(std::memcmp(stream.Data(), bytes.data(), size), 0);
        }
        ScrambleStream(stream);
        EXPECT_EQ(stream.Position(), 0u);
        ASSERT_EQ(stream.Size(), size);
        EXPECT_TRUE(size == 0 || std::memcmp(stream.Data(), bytes.data(), size) == 0) << size;
    }
}

TEST(Scramble, PiecesAtAnyOffsetScrambleLikeTheWhole) {
    std::vector<std::uint8_t> bytes(3 * 65536 + 100);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    }
    TMemoryStream whole(bytes.data(), bytes.size());
    ScrambleStream(whole);
    const std::size_t cuts[] = {0,     1,      7,      65535,  65536,
                                65537, 100000, 131072, 131079, bytes.size()};
    for (std::size_t c = 0; c + 1 < std::size(cuts); ++c) {
        ScrambleBytes(bytes.data() + cuts[c], cuts[c + 1] - cuts[c], cuts[c]);
    }
    EXPECT_EQ(std::memcmp(whole.Data(), bytes.data(), bytes.size()), 0);
}

TEST(Scramble, ScrambledFixtureIsThePlainOneXoredWithTheKeystream) {
    const auto plain = FileBytes(ModelData("geography.tbin"));
    const auto scrambled = FileBytes(ModelData("geography-scrambled.bin"));
    TMemoryStream stream(plain.data(), plain.size());
    ScrambleStream(stream);
    EXPECT_EQ(std::vector<std::uint8_t>(stream.Data(), stream.Data() + stream.Size()), scrambled);
}

}  // namespace
