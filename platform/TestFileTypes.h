// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kinds of test file the station reads, told apart by the file name's extension. One table
// serves the loader, the scan of the test folder and the tools.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

enum class TTestFormat { Unknown, Text, Binary };

struct TTestFileType {
    std::string_view Extension;  // with its dot, lower case
    TTestFormat Format;
};

// In the order in which the test folder is scanned: text tests first, then binary ones.
inline constexpr std::array<TTestFileType, 4> TestFileTypes = {{
    {".ttxt", TTestFormat::Text},
    {".txt", TTestFormat::Text},
    {".tbin", TTestFormat::Binary},
    {".bin", TTestFormat::Binary},
}};

// The format the extension of a file name names (the part from its last dot on, in any case);
// Unknown for any other extension or none.
TTestFormat TestFormatOf(const std::filesystem::path& path);

// The extensions of one format, or of all formats for Unknown, for messages:
// ".ttxt, .txt, .tbin or .bin", with the last two joined by the given word.
std::string TestExtensionList(TTestFormat format = TTestFormat::Unknown,
                              std::string_view lastJoin = "or");
