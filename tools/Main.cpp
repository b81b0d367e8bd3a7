// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool: the command-line companion of the station.

#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/Commands.h"

int main(int argc, char** argv) {
    CLI::App app{
        "Tezra Net companion: inspect and check stations and tests, score answers, send results"};
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help);
    int exitCode = 0;
    AddStationCommand(app, exitCode);
    AddModelCommands(app, exitCode);
    AddNetCommands(app, exitCode);
    AddCheckCommand(app, exitCode);
    AddConvertCommand(app, exitCode);
    AddSyncCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return 2;
    }
    return exitCode;
}
