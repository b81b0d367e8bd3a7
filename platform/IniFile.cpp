// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniFile.h"

#include <cstdint>

#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/RegularFile.h"
#include "platform/StationLimits.h"
#include "platform/TextUtils.h"

namespace {

// A value written in matching quotes loses them, as the platform's ini reading does.
std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return std::string(value.substr(1, value.size() - 2));
    }
    return std::string(value);
}

}  // namespace

bool TIniFile::LoadFromFile(const std::filesystem::path& path) {
    sections_.clear();
    outside_.clear();
    const std::optional<std::string> content = ReadWholeRegularFile(path, kMaxIniBytes);
    if (!content) {
        return false;
    }
    LoadFromString(*content);
    return true;
}

void TIniFile::LoadFromString(std::string_view text) {
    sections_.clear();
    outside_.clear();
    Section* current = nullptr;
    // A UTF-8 byte-order mark, as some editors save it, is not part of the first line.
    std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    for (std::size_t number = 1; pos < text.size(); ++number) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = TrimView(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            std::string_view name = line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            sections_.push_back({Trim(name), {}, number});
            current = &sections_.back();
            continue;
        }
        if (current == nullptr) {
            outside_.push_back(number);  // lines before the first section belong to no section
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            current->Entries.push_back({std::string(line), {}, number});
        } else {
            current->Entries.push_back({Trim(line.substr(0, equals)),
                                        Unquote(TrimView(line.substr(equals + 1))), number});
        }
    }
}

const TIniFile::Section* TIniFile::FindSection(std::string_view name) const {
    for (const Section& section : sections_) {
        if (AnsiSameText(section.Name, name)) {
            return &section;
        }
    }
    return nullptr;
}

bool TIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

std::optional<std::string> TIniFile::ReadString(std::string_view section,
                                                std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    for (const Entry& entry : found->Entries) {
        if (AnsiSameText(entry.Key, key)) {
            return entry.Value;
        }
    }
    return std::nullopt;
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const {
    const auto value = ReadString(section, key);
    return value ? StrToIntDef(*value, fallback) : fallback;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    if (const Section* found = FindSection(section)) {
        for (const Entry& entry : found->Entries) {
            keys.push_back(entry.Key);
        }
    }
    return keys;
}
