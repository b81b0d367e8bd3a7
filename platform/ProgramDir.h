// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the running executable lives, and which folder the station takes as its own.

#include <filesystem>
#include <string_view>

// The full path of the running executable (/proc/self/exe).
std::filesystem::path ExecutablePath();

// The path the station takes as its executable: the running executable, or, when
// stationFolder is not empty, the executable's file name inside that folder. The ini file,
// tezra/, splash/ and report.log are looked for beside it. An installed station keeps its
// program in a read-only folder and names its writable station folder this way.
std::filesystem::path StationProgramPath(std::string_view stationFolder);
// The same for the folder that the environment names in TEZRA_STATION_DIR.
std::filesystem::path StationProgramPath();
