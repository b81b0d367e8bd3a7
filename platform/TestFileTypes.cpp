// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TestFileTypes.h"

#include <vector>

#include "platform/Cp1251.h"

TTestFormat TestFormatOf(const std::filesystem::path& path) {
    const std::string name = Utf8ToCp1251(path.filename().string());
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return TTestFormat::Unknown;
    }
    const std::string extension = AnsiLowerCase(name.substr(dot));
    for (const TTestFileType& type : TestFileTypes) {
        if (extension == type.Extension) {
            return type.Format;
        }
    }
    return TTestFormat::Unknown;
}

std::string TestExtensionList(TTestFormat format, std::string_view lastJoin) {
    std::vector<std::string_view> extensions;
    for (const TTestFileType& type : TestFileTypes) {
        if (format == TTestFormat::Unknown || type.Format == format) {
            extensions.push_back(type.Extension);
        }
    }
    std::string list;
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        if (i > 0) {
            list += i + 1 == extensions.size() ? " " + std::string(lastJoin) + " " : ", ";
        }
        list += extensions[i];
    }
    return list;
}
