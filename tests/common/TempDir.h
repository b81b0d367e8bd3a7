// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tezra-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            Path = pattern;
        }
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(Path, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes bytes to a file below the folder, creating its parent folders.
    std::filesystem::path operator/(std::string_view name) const { return Path / name; }

    std::filesystem::path Write(const std::filesystem::path& relative,
                                std::string_view bytes) const {
        const auto path = Path / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static std::string Read(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::filesystem::path Path;
};

// The bare file names of paths, in order.
inline std::vector<std::string> Names(const std::vector<std::filesystem::path>& paths) {
    std::vector<std::string> names;
    for (const auto& path : paths) {
        names.push_back(path.filename().string());
    }
    return names;
}
