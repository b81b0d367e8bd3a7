// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One run of a station's sync with the class server: the published tests down into the
// station's tezra folder, all of them or none, and the records of report.log up, each once.
// Prints one Russian line per action.

#include <filesystem>
#include <ostream>
#include <string>

struct SyncOptions {
    std::filesystem::path StationDir;
    std::string Host;
    int Port = 80;
    std::string Key;
    int TimeoutMs = 3000;
    std::string StationName;  // this station's host name
};

// The name of the state file inside the tezra folder, and of the folder files are staged in.
inline constexpr const char* kSyncStateFile = ".tezra-sync";
inline constexpr const char* kSyncStagingFolder = ".tezra-sync.d";

// 0 when both directions succeeded, 1 when the server could not be reached or sent a file
// that failed its check (the folder unchanged), 2 for other errors.
int RunStationSync(const SyncOptions& options, std::ostream& out);
