// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SHA-256 digests (OpenSSL's libcrypto), and the fingerprint of a file: its size and digest.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

using TSha256 = std::array<std::uint8_t, 32>;

TSha256 Sha256(std::string_view bytes);
// Lower-case hexadecimal text of a digest.
std::string Sha256Hex(const TSha256& digest);

struct TFileFingerprint {
    std::uint64_t Size = 0;
    TSha256 Digest{};

    bool operator==(const TFileFingerprint&) const = default;
};

// The fingerprint of a regular file, read in pieces; none when it cannot be read.
std::optional<TFileFingerprint> FingerprintFile(const std::filesystem::path& file);
