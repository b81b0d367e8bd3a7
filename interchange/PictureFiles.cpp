// SPDX-License-Identifier: GPL-3.0-or-later
// Picture files named by a bank, read from inside the bank's folder and nowhere else.

#include <fstream>
#include <system_error>

#include "interchange/Readers.h"

namespace {

std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Whether the relative name stays inside its folder: no "..", no empty or absolute parts.
bool StaysInside(const std::filesystem::path& relative) {
    if (relative.empty() || relative.is_absolute() || relative.has_root_name()) {
        return false;
    }
    for (const auto& part : relative) {
        if (part == ".." || part.empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadPictureBeside(const std::filesystem::path& folder, std::string_view source,
                       std::size_t line, BankQuestion& question, BankCollector& bank) {
    std::string name(source);
    constexpr std::string_view kPluginFile = "@@PLUGINFILE@@/";
    if (name.starts_with(kPluginFile)) {
        name.erase(0, kPluginFile.size());
    }
    name = PercentDecoded(name);
    const std::string shown = "«" + name + "»";
    if (name.find("://") != std::string::npos || name.starts_with("data:")) {
        bank.Warn(line, "picture-left-out",
                  "рисунок " + shown + " пропущен: по адресам в сети рисунки не загружаются");
        return false;
    }
    const std::filesystem::path relative(name);
    std::error_code error;
    const auto base = std::filesystem::canonical(folder, error);
    if (folder.empty() || error || !StaysInside(relative)) {
        bank.Warn(line, "picture-left-out",
                  "рисунок " + shown + " пропущен: берутся только файлы из папки банка");
        return false;
    }
    const auto path = std::filesystem::weakly_canonical(base / relative, error);
    const auto [baseEnd, pathAt] =
        std::mismatch(base.begin(), base.end(), path.begin(), path.end());
    if (error || baseEnd != base.end() || !std::filesystem::is_regular_file(path, error)) {
        bank.Warn(line, "picture-missing", "рисунок " + shown + " пропущен: файла нет");
        return false;
    }
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > BankMaxPictureBytes) {
        bank.Warn(line, "picture-left-out",
                  "рисунок " + shown + " пропущен: файл больше 10 МиБ или не читается");
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    BankPicture picture{name, std::vector<std::uint8_t>(static_cast<std::size_t>(size))};
    file.read(reinterpret_cast<char*>(picture.Bytes.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(file.gcount()) != size) {
        bank.Warn(line, "picture-left-out", "рисунок " + shown + " пропущен: файл не читается");
        return false;
    }
    question.Pictures.push_back(std::move(picture));
    return true;
}
