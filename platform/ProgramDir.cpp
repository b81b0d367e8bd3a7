// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProgramDir.h"

#include <cstdlib>
#include <system_error>

std::filesystem::path ExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::filesystem::path StationProgramPath(std::string_view stationFolder) {
    const std::filesystem::path executable = ExecutablePath();
    if (stationFolder.empty()) {
        return executable;
    }
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::absolute(std::filesystem::path(stationFolder), error);
    if (error || executable.empty()) {
        return executable;
    }
    return folder.lexically_normal() / executable.filename();
}

std::filesystem::path StationProgramPath() {
    const char* folder = std::getenv("TEZRA_STATION_DIR");
    return StationProgramPath(folder != nullptr ? folder : "");
}
