// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Question banks in and out of the station's test model: the formats a bank can be read from
// or written to, the warnings a conversion gives and the limits that bound what it reads.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

enum class BankFormat {
    Unknown,
    StationText,       // the station's text test (.ttxt, .txt), cp1251
    StationBinary,     // the station's binary test (.tbin, .bin)
    StationScrambled,  // the binary test, scrambled
    Gift,
    MoodleXml,
    Aiken,
};

// One thing a conversion dropped or changed. Texts are Russian, UTF-8.
struct BankWarning {
    std::size_t Line = 0;  // the line of the input it concerns, from 1; 0 for the whole file
    std::string Code;      // a short stable token, such as "left-out"
    std::string Text;
    bool Error = false;  // the input could not be read (or not all of it); otherwise a warning
};

// How many questions of one kind were left out.
struct LeftOutKind {
    std::string Kind;  // Russian, UTF-8
    int Count = 0;
};

// The largest input file a conversion reads; a larger one is refused before it is read.
inline constexpr std::uintmax_t BankMaxFileBytes = 64ULL * 1024 * 1024;
// The most problems, variants in a problem and groups a station test holds; more would be
// read by the station as a damaged file.
inline constexpr std::size_t BankMaxProblems = 100000;
inline constexpr std::size_t BankMaxVariants = 10000;
inline constexpr std::size_t BankMaxGroups = 10000;
// The most distinct characters that cp1251 cannot hold named for one problem.
inline constexpr std::size_t BankMaxReplacementsShown = 100;
// The largest picture file (embedded or beside a GIFT file) that is taken.
inline constexpr std::size_t BankMaxPictureBytes = 10ULL * 1024 * 1024;

// The format a --from / --to name names ("ttxt", "tbin", "tbin-scrambled", "gift",
// "moodle-xml", "aiken"); Unknown for any other.
BankFormat BankFormatFromName(std::string_view name);
// The format a file name's extension names: .ttxt/.txt, .tbin/.bin, .gift, .xml, .aiken, in
// any letter case; Unknown for any other.
BankFormat BankFormatOfPath(const std::filesystem::path& path);
// The name of a format as --from / --to take it.
std::string_view BankFormatName(BankFormat format);
bool IsStationFormat(BankFormat format);
