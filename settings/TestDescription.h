// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text that the test chooser shows for a test file.

#include <filesystem>
#include <optional>
#include <string>

// The description file of a test: its path with the extension replaced by ".desc" (or ".desc"
// appended when the name has none).
std::filesystem::path DescriptionPath(const std::filesystem::path& testFile);

// The first line of the test's description file, up to its first CR or LF and at most
// kMaxDescriptionLine bytes, as cp1251 text; none when there is no such regular file, it
// cannot be read, or it holds no line at all.
std::optional<std::string> DescriptionFirstLine(const std::filesystem::path& testFile);

// The first line of the test's description file, or, when there is none (no file, an
// unreadable file, or an empty first line), the bare file name without folder and extension.
// cp1251 text.
std::string TestDisplayText(const std::filesystem::path& testFile);
