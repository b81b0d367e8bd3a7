// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ZipWriter.h"

#include <array>
#include <ctime>
#include <limits>

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint16_t kVersion = 20;  // 2.0: plain stored files
constexpr std::uint16_t kUtf8NamesFlag = 0x0800;
constexpr std::uint64_t kMaxArchive = std::numeric_limits<std::uint32_t>::max() - 65536;

void Put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// The MS-DOS time and date of a zip entry, in UTC.
std::pair<std::uint16_t, std::uint16_t> DosTime(std::int64_t unixSeconds) {
    const std::time_t seconds = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    if (gmtime_r(&seconds, &parts) == nullptr || parts.tm_year < 80) {
        return {0, (1 << 5) | 1};  // 1980-01-01 00:00
    }
    const auto time = static_cast<std::uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) |
                                                 (parts.tm_sec / 2));
    const auto date = static_cast<std::uint16_t>(((parts.tm_year - 80) << 9) |
                                                 ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    return {time, date};
}

const std::array<std::uint32_t, 256>& CrcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    return table;
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
    const auto& table = CrcTable();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

bool ZipWriter::Add(std::string_view name, std::string_view bytes, std::int64_t unixSeconds) {
    const std::uint64_t grown =
        body_.size() + directory_.size() + 2 * (46 + name.size()) + bytes.size() + 22;
    if (name.empty() || name.size() > 0xFFFF || entries_ >= 0xFFFF || grown > kMaxArchive) {
        return false;
    }
    const auto offset = static_cast<std::uint32_t>(body_.size());
    const std::uint32_t crc = Crc32(bytes);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    // Named apart, since a lambda cannot capture a structured binding everywhere.
    const auto dos = DosTime(unixSeconds);
    const std::uint16_t time = dos.first;
    const std::uint16_t date = dos.second;
    auto common = [&](std::string& out) {
        Put16(out, kVersion);  // version needed to extract
        Put16(out, kUtf8NamesFlag);
        Put16(out, 0);  // stored
        Put16(out, time);
        Put16(out, date);
        Put32(out, crc);
        Put32(out, size);  // compressed
        Put32(out, size);  // uncompressed
        Put16(out, static_cast<std::uint16_t>(name.size()));
        Put16(out, 0);  // extra field
    };
    Put32(body_, kLocalSignature);
    common(body_);
    body_.append(name).append(bytes);

    Put32(directory_, kCentralSignature);
    Put16(directory_, (3 << 8) | kVersion);  // made by: Unix, 2.0
    common(directory_);
    Put16(directory_, 0);                 // comment
    Put16(directory_, 0);                 // disk
    Put16(directory_, 0);                 // internal attributes
    Put32(directory_, (0100644u) << 16);  // a plain file, rw-r--r--
    Put32(directory_, offset);
    directory_.append(name);
    ++entries_;
    return true;
}

std::string ZipWriter::Finish() {
    std::string archive = std::move(body_);
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory_;
    Put32(archive, kEndSignature);
    Put16(archive, 0);  // this disk
    Put16(archive, 0);  // the directory's disk
    Put16(archive, static_cast<std::uint16_t>(entries_));
    Put16(archive, static_cast<std::uint16_t>(entries_));
    Put32(archive, static_cast<std::uint32_t>(directory_.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0);  // comment
    body_.clear();
    directory_.clear();
    entries_ = 0;
    return archive;
}
