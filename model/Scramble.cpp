// SPDX-License-Identifier: GPL-3.0-or-later
// The scrambler of binary test files: XOR with a fixed 64 KiB keystream that a linear
// congruential generator produces; every 64 KiB block starts again at the keystream's start.

#include <cstring>

#include "model/UTypes.h"

namespace {

constexpr std::size_t kKeystreamSize = 65536;
constexpr std::int32_t kSeed = 21874;
constexpr std::int32_t kMultiplier = 19457;
constexpr std::int32_t kIncrement = 27451;
constexpr std::int32_t kModulus = 0x8000;

std::array<std::uint8_t, kKeystreamSize> MakeKeystream() {
    std::array<std::uint8_t, kKeystreamSize> key{};
    std::int32_t state = kSeed;
    for (std::size_t word = 0; word < kKeystreamSize / 2; ++word) {
        key[2 * word] = static_cast<std::uint8_t>(state & 0xFF);
        key[2 * word + 1] = static_cast<std::uint8_t>(state >> 8);
        state = (state * kMultiplier + kIncrement) % kModulus;
    }
    return key;
}

// Sixteen bytes as one value of the compiler's vector extension (SSE2 on every x86-64).
using TVector16 = std::uint64_t __attribute__((vector_size(16)));

// XORs bytes with as many keystream bytes: 64 bytes a step, then 8, then single bytes.
void XorBlock(std::uint8_t* block, std::size_t size, const std::uint8_t* key) {
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        TVector16 data[4];
        TVector16 mask[4];
        std::memcpy(data, block + i, 64);
        std::memcpy(mask, key + i, 64);
        for (int v = 0; v < 4; ++v) {
            data[v] ^= mask[v];
        }
        std::memcpy(block + i, data, 64);
    }
    for (; i + 8 <= size; i += 8) {
        std::uint64_t data;
        std::uint64_t mask;
        std::memcpy(&data, block + i, 8);
        std::memcpy(&mask, key + i, 8);
        data ^= mask;
        std::memcpy(block + i, &data, 8);
    }
    for (; i < size; ++i) {
        block[i] ^= key[i];
    }
}

}  // namespace

const std::array<std::uint8_t, 65536>& ScrambleKeystream() {
    static const std::array<std::uint8_t, kKeystreamSize> key = MakeKeystream();
    return key;
}

void ScrambleBytes(std::uint8_t* data, std::size_t size, std::size_t offset) {
    const std::uint8_t* key = ScrambleKeystream().data();
    while (size > 0) {
        const std::size_t keyStart = offset % kKeystreamSize;
        const std::size_t rest = kKeystreamSize - keyStart;
        const std::size_t n = size < rest ? size : rest;
        XorBlock(data, n, key + keyStart);
        data += n;
        size -= n;
        offset += n;
    }
}

bool ScrambleStream(TMemoryStream& stream) {
    ScrambleBytes(stream.Data(), stream.Size(), 0);
    stream.Seek(0);
    return true;
}
