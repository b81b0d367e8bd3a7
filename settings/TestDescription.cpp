// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TestDescription.h"

#include <algorithm>

#include "platform/Cp1251.h"
#include "platform/RegularFile.h"
#include "platform/StationLimits.h"

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
    std::optional<std::string> line =
        ReadRegularFile(DescriptionPath(testFile), kMaxDescriptionLine);
    if (!line || line->empty()) {
        return std::nullopt;
    }
    line->resize(std::min(line->find_first_of("\r\n"), line->size()));
    return line;
}

std::string TestDisplayText(const std::filesystem::path& testFile) {
    const std::optional<std::string> line = DescriptionFirstLine(testFile);
    if (line && !line->empty()) {
        return *line;
    }
    return Utf8ToCp1251(testFile.stem().string());
}
