// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool convert: a question bank or a test from one format into another.

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "interchange/Bank.h"
#include "tools/Commands.h"
#include "tools/convert/ConvertRun.h"

namespace {

struct ConvertArgs {
    std::string In;
    std::string Out;
    std::string From;
    std::string To;
    bool Json = false;
    bool Quiet = false;
};

int RunConvert(const CLI::App& command, const ConvertArgs& args) {
    ConvertRequest request;
    request.In = args.In;
    request.Out = args.Out;
    request.From = BankFormatFromName(args.From);
    request.To = BankFormatFromName(args.To);
    for (const auto& [name, format] :
         {std::pair{args.From, request.From}, std::pair{args.To, request.To}}) {
        if (!name.empty() && format == BankFormat::Unknown) {
            std::cerr << "Error: unknown format " << name << "\n\n" << command.help();
            return 2;
        }
    }
    const ConvertOutcome outcome = RunConversion(request);
    if (!outcome.Usage.empty()) {
        std::cerr << "Error: " << outcome.Usage << "\n\n" << command.help();
        return outcome.ExitCode;
    }
    if (args.Json) {
        std::cout << ConvertJson(outcome, args.Quiet).dump(2) << std::endl;
    } else {
        PrintConvertText(std::cout, outcome, args.Quiet);
    }
    return outcome.ExitCode;
}

}  // namespace

void AddConvertCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<ConvertArgs>();
    CLI::App* command = app.add_subcommand(
        "convert",
        "Convert a question bank or a test between the station's formats, GIFT, Moodle XML and "
        "Aiken (read only)");
    command->add_option("IN", args->In, "The file to read")->required();
    command->add_option("OUT", args->Out, "The file to write (may be IN itself)")->required();
    const std::string formats = "ttxt, tbin, tbin-scrambled, gift, moodle-xml or aiken";
    command
        ->add_option("--from", args->From, "Format of IN (default: by its extension): " + formats)
        ->type_name("FORMAT");
    command->add_option("--to", args->To, "Format of OUT (default: by its extension)")
        ->type_name("FORMAT");
    command->add_flag("--json", args->Json, "Print everything as one JSON document");
    command->add_flag("--quiet", args->Quiet, "Print the errors only");
    command->callback([args, command, &exitCode] { exitCode = RunConvert(*command, *args); });
}
