// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows-style ini file reading: sections and keys compared without regard to case (cp1251
// aware), values trimmed, ";" comment lines skipped.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
public:
    struct Entry {
        std::string Key;
        std::string Value;
        std::size_t Line = 0;  // the physical line it stands on, from 1
    };
    struct Section {
        std::string Name;
        std::vector<Entry> Entries;
        std::size_t Line = 0;
    };

    // Reads the whole file; false (and an empty ini) when it is not a regular file, is larger
    // than the station reads, or cannot be read. A UTF-8 byte-order mark at the start of the
    // text is skipped.
    bool LoadFromFile(const std::filesystem::path& path);
    void LoadFromString(std::string_view text);

    bool SectionExists(std::string_view section) const;
    // The value of the first line of the first matching section that names the key.
    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
    // The value read with the platform's integer conversion; fallback when absent or not a
    // number.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    // The key names of a section in file order (the part of each line before "=", trimmed;
    // a line without "=" counts as a key name). Empty when the section is missing.
    std::vector<std::string> ReadSection(std::string_view section) const;

    // Every section as it stands in the file, repeated ones included; lookups use the first.
    const std::vector<Section>& AllSections() const { return sections_; }
    // The meaningful lines before the first section, which nothing reads.
    const std::vector<std::size_t>& LinesOutsideSections() const { return outside_; }

private:
    const Section* FindSection(std::string_view name) const;

    std::vector<Section> sections_;
    std::vector<std::size_t> outside_;
};
