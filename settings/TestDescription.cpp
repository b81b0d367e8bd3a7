// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TestDescription.h"

#include <fstream>

#include "platform/Cp1251.h"

std::filesystem::path DescriptionPath(const std::filesystem::path& testFile) {
    std::filesystem::path desc = testFile;
    const std::string name = testFile.filename().string();
    if (name.find('.') == std::string::npos) {
        desc += ".desc";
    } else {
        desc.replace_extension(".desc");
    }
    return desc;
}

std::optional<std::string> DescriptionFirstLine(const std::filesystem::path& testFile) {
    std::ifstream desc(DescriptionPath(testFile), std::ios::binary);
    std::string line;
    if (!desc || !std::getline(desc, line)) {
        return std::nullopt;
    }
    return line.substr(0, line.find('\r'));
}

std::string TestDisplayText(const std::filesystem::path& testFile) {
    const std::optional<std::string> line = DescriptionFirstLine(testFile);
    if (line && !line->empty()) {
        return *line;
    }
    return Utf8ToCp1251(testFile.stem().string());
}
