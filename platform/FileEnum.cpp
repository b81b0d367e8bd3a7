// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileEnum.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/Cp1251.h"

namespace {

// True when name matches "*" or "*.ext" (the extension without regard to letter case).
bool MatchesPattern(std::string_view name, std::string_view pattern) {
    if (pattern == "*" || pattern == "*.*") {
        return true;
    }
    if (pattern.size() < 2 || pattern.substr(0, 2) != "*.") {
        return AnsiSameText(name, pattern);
    }
    const std::string_view suffix = pattern.substr(1);  // ".ext"
    if (name.size() <= suffix.size()) {
        return false;
    }
    return AnsiSameText(name.substr(name.size() - suffix.size()), suffix);
}

bool IsOrdinaryFile(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    return entry.is_regular_file(error) && !error;
}

}  // namespace

std::vector<std::filesystem::path> EnumerateFiles(const std::filesystem::path& folder,
                                                  std::string_view pattern) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) {
        return found;
    }
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.' || !IsOrdinaryFile(*it)) {
            continue;
        }
        if (MatchesPattern(name, pattern)) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        const int order = AnsiCompareText(FileNameText(a), FileNameText(b));
        return order != 0 ? order < 0 : a.filename().string() < b.filename().string();
    });
    return found;
}

std::string FileNameText(const std::filesystem::path& path) {
    return Utf8ToCp1251(path.filename().string());
}

std::filesystem::path PathFromText(std::string_view text) {
    std::string utf8 = Cp1251ToUtf8(text);
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    return std::filesystem::path(utf8);
}
