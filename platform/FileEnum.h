// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wildcard enumeration of ordinary files, as the test and splash folders are scanned.

#include <filesystem>
#include <string_view>
#include <vector>

// The ordinary files of folder whose names match pattern ("*.ext" or "*"): no directories,
// no hidden dot-files; the extension is matched without regard to letter case. The result is
// sorted by name, case-insensitively. A missing or unreadable folder gives nothing.
std::vector<std::filesystem::path> EnumerateFiles(const std::filesystem::path& folder,
                                                  std::string_view pattern);

// The file name of a path (without folder) as cp1251 text.
std::string FileNameText(const std::filesystem::path& path);
// A path built from cp1251 text, taking "\" as a separator too.
std::filesystem::path PathFromText(std::string_view text);
