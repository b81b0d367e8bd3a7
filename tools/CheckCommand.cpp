// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool check: reads test files exactly as the station does and says, line by line, what
// the station will do differently from what the file seems to say; with --station, checks a
// whole station folder.

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/Commands.h"
#include "tools/check/CheckOutput.h"
#include "tools/check/StationCheck.h"
#include "tools/check/TestCheck.h"

#ifndef TEZRA_DEFAULT_SERVER
#error "TEZRA_DEFAULT_SERVER names the compiled-in result server; CMake defines it"
#endif

namespace {

struct TCheckArgs {
    std::vector<std::string> Files;
    std::string Station;
    std::string Server = TEZRA_DEFAULT_SERVER;
    bool Json = false;
    bool Quiet = false;
};

int RunCheck(const CLI::App& command, const TCheckArgs& args) {
    if (args.Files.empty() && args.Station.empty()) {
        std::cerr << "Error: name test files or a station folder (--station DIR)\n\n"
                  << command.help();
        return 2;
    }
    TCheckRun run;
    for (const std::string& file : args.Files) {
        run.Files.push_back(CheckTestFile(file, file));
    }
    if (!args.Station.empty()) {
        TStationCheckOptions options;
        options.Folder = args.Station;
        options.StartServer = args.Server;
        if (!CheckStation(options, run)) {
            std::cerr << "Error: not a folder: " << args.Station << "\n\n" << command.help();
            return 2;
        }
    }
    if (args.Json) {
        std::cout << CheckJson(run, args.Quiet).dump(2) << std::endl;
    } else {
        PrintCheckText(std::cout, run, args.Quiet);
    }
    return CheckExitStatus(run);
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<TCheckArgs>();
    CLI::App* command = app.add_subcommand(
        "check", "Check test files, or a whole station folder, as the station reads them");
    command->add_option("FILE", args->Files, "Test files to check");
    CLI::Option* station =
        command
            ->add_option("--station", args->Station,
                         "Check the station folder DIR: its ini file, tests, descriptions, "
                         "splash pictures, report.log and result servers")
            ->type_name("DIR");
    command
        ->add_option("--ip", args->Server,
                     "The result server the station is started with (its IP argument); "
                     "default: the compiled-in server")
        ->type_name("ADDRESS")
        ->needs(station);
    command->add_flag("--json", args->Json, "Print everything as one JSON document");
    command->add_flag("--quiet", args->Quiet, "Print the errors only");
    command->callback([args, command, &exitCode] { exitCode = RunCheck(*command, *args); });
}
