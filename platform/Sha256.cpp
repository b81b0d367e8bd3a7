// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sha256.h"

#include <openssl/evp.h>

#include <fstream>
#include <memory>
#include <vector>

namespace {

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

DigestContext NewSha256() {
    DigestContext context(EVP_MD_CTX_new());
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        context.reset();
    }
    return context;
}

bool Finish(EVP_MD_CTX* context, TSha256& digest) {
    unsigned int length = 0;
    return EVP_DigestFinal_ex(context, digest.data(), &length) == 1 && length == digest.size();
}

}  // namespace

TSha256 Sha256(std::string_view bytes) {
    TSha256 digest{};
    const DigestContext context = NewSha256();
    if (!context || EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        !Finish(context.get(), digest)) {
        digest.fill(0);
    }
    return digest;
}

std::string Sha256Hex(const TSha256& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::optional<TFileFingerprint> FingerprintFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    const DigestContext context = NewSha256();
    if (!in || !context) {
        return std::nullopt;
    }
    TFileFingerprint fingerprint;
    std::vector<char> buffer(64 * 1024);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > 0 && EVP_DigestUpdate(context.get(), buffer.data(), got) != 1) {
            return std::nullopt;
        }
        fingerprint.Size += got;
    }
    if (in.bad() || !Finish(context.get(), fingerprint.Digest)) {
        return std::nullopt;
    }
    return fingerprint;
}
