// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-kiosk: keeps the station running in a kiosk session, starting it again after a crash.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <string>

#include "kiosk/Supervisor.h"

#ifndef TEZRA_KIOSK_PROGRAM
#error "TEZRA_KIOSK_PROGRAM names the installed station executable; CMake defines it"
#endif
#ifndef TEZRA_KIOSK_STATION_DIR
#error "TEZRA_KIOSK_STATION_DIR names the installed station folder; CMake defines it"
#endif

namespace {

// A configuration mistake is reported once and ends the session, instead of a restart loop.
bool Usable(const TSupervisorOptions& options) {
    std::error_code error;
    if (!std::filesystem::is_directory(options.StationDir, error)) {
        std::cerr << "tezra-kiosk: the station folder " << options.StationDir
                  << " does not exist\n";
        return false;
    }
    if (!std::filesystem::is_regular_file(options.Program, error)) {
        std::cerr << "tezra-kiosk: the station program " << options.Program << " does not exist\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Runs the Tezra Net station in a kiosk session and starts it again within a second "
        "whenever it ends unasked; after five ends within a minute it waits longer."};
    TSupervisorOptions options;
    options.Program = TEZRA_KIOSK_PROGRAM;
    options.StationDir = TEZRA_KIOSK_STATION_DIR;
    std::string server;
    app.add_option("STATION_DIR", options.StationDir,
                   "the station folder: tezra-net.ini, tezra/, splash/ and report.log")
        ->capture_default_str();
    app.add_option("--server", server, "the result server tried first (host or host:port)");
    app.add_option("--program", options.Program, "the station executable")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    options.StationDir = std::filesystem::absolute(options.StationDir);
    options.Program = std::filesystem::absolute(options.Program);
    if (!server.empty()) {
        options.Arguments = {"IP", server};
    }
    if (!Usable(options)) {
        return 1;
    }
    return RunSupervisor(options, std::cerr);
}
