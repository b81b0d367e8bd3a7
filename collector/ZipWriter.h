// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A zip archive built in memory with every file stored as it is (no compression: JPEG
// pictures and tests of a few hundred kilobytes gain little, and any unzip reads it). Names
// are UTF-8 and flagged so. Archives stay below 4 GiB and 65535 entries (no Zip64); Add
// refuses what would pass that.

#include <cstdint>
#include <string>
#include <string_view>

// The CRC-32 of zip and PNG (reflected polynomial 0xEDB88320).
std::uint32_t Crc32(std::string_view bytes);

class ZipWriter {
public:
    // Adds one file; false (and nothing added) when the archive would grow too large or the
    // name is empty or too long.
    bool Add(std::string_view name, std::string_view bytes, std::int64_t unixSeconds);
    // The whole archive; the writer is empty afterwards.
    std::string Finish();

private:
    std::string body_;
    std::string directory_;
    std::uint32_t entries_ = 0;
};
