// SPDX-License-Identifier: GPL-3.0-or-later
// The names and file extensions of the formats a question bank is converted between.

#include <array>
#include <utility>

#include "interchange/Bank.h"
#include "platform/Cp1251.h"

namespace {

constexpr std::array<std::pair<std::string_view, BankFormat>, 6> kNames = {{
    {"ttxt", BankFormat::StationText},
    {"tbin", BankFormat::StationBinary},
    {"tbin-scrambled", BankFormat::StationScrambled},
    {"gift", BankFormat::Gift},
    {"moodle-xml", BankFormat::MoodleXml},
    {"aiken", BankFormat::Aiken},
}};

constexpr std::array<std::pair<std::string_view, BankFormat>, 7> kExtensions = {{
    {".ttxt", BankFormat::StationText},
    {".txt", BankFormat::StationText},
    {".tbin", BankFormat::StationBinary},
    {".bin", BankFormat::StationBinary},
    {".gift", BankFormat::Gift},
    {".xml", BankFormat::MoodleXml},
    {".aiken", BankFormat::Aiken},
}};

}  // namespace

BankFormat BankFormatFromName(std::string_view name) {
    for (const auto& [text, format] : kNames) {
        if (text == name) {
            return format;
        }
    }
    return BankFormat::Unknown;
}

BankFormat BankFormatOfPath(const std::filesystem::path& path) {
    const std::string extension = LatinUpperCase(path.extension().string());
    for (const auto& [text, format] : kExtensions) {
        if (LatinUpperCase(text) == extension) {
            return format;
        }
    }
    return BankFormat::Unknown;
}

std::string_view BankFormatName(BankFormat format) {
    for (const auto& [text, known] : kNames) {
        if (known == format) {
            return text;
        }
    }
    return "unknown";
}

bool IsStationFormat(BankFormat format) {
    return format == BankFormat::StationText || format == BankFormat::StationBinary ||
           format == BankFormat::StationScrambled;
}
