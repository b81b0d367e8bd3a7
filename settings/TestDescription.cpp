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

std::string TestDisplayText(const std::filesystem::path& testFile) {
    std::ifstream desc(DescriptionPath(testFile), std::ios::binary);
    std::string line;
    if (desc && std::getline(desc, line)) {
        line = line.substr(0, line.find('\r'));
        if (!line.empty()) {
            return line;
        }
    }
    return Utf8ToCp1251(testFile.stem().string());
}
