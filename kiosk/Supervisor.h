// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kiosk supervisor: runs the station and starts it again whenever it ends unasked, until
// the supervisor itself is asked to stop (SIGTERM, SIGINT or SIGHUP, as a desktop session
// sends when it ends); then it stops the station too.

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "kiosk/RestartPolicy.h"

struct TSupervisorOptions {
    // The station's executable.
    std::filesystem::path Program;
    // The station folder: the station reads its ini file, tests and pictures there and writes
    // report.log there; it is also the station's working folder.
    std::filesystem::path StationDir;
    // Arguments given to the station after its name.
    std::vector<std::string> Arguments;
    TRestartLimits Limits;
    // How long a station asked to stop may take before it is killed.
    std::chrono::milliseconds StopGrace{std::chrono::seconds(5)};
};

// Runs until asked to stop; returns the supervisor's exit code (0). Each start and end of the
// station and each decision is written to log, one line each.
int RunSupervisor(const TSupervisorOptions& options, std::ostream& log);
