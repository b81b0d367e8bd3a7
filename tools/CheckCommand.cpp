// tezra-tool check: reads test files exactly as the station does and says, line by line, what
// the station will do differently from what the file seems to say.

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/Commands.h"
#include "tools/check/CheckOutput.h"
#include "tools/check/TestCheck.h"

namespace {

struct TCheckArgs {
    std::vector<std::string> Files;
    bool Json = false;
    bool Quiet = false;
};

int RunCheck(const CLI::App& command, const TCheckArgs& args) {
    if (args.Files.empty()) {
        std::cerr << "Error: name the test files to check\n\n"
                  << command.help();
        return 2;
    }
    TCheckRun run;
    for (const std::string& file : args.Files) {
        run.Files.push_back(CheckTestFile(file, file));
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
        "check", "Check test files as the station reads them");
    command->add_option("FILE", args->Files, "Test files to check");
    command->add_flag("--json", args->Json, "Print everything as one JSON document");
    command->add_flag("--quiet", args->Quiet, "Print the errors only");
    command->callback([args, command, &exitCode] { exitCode = RunCheck(*command, *args); });
}
