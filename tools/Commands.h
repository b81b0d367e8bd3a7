// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The subcommands of tezra-tool. Each group registers its subcommands on the app; a
// subcommand's callback stores its exit status in exitCode.

namespace CLI {
class App;
}

void AddStationCommand(CLI::App& app, int& exitCode);  // station
void AddModelCommands(CLI::App& app, int& exitCode);   // dump, score, pack
void AddNetCommands(CLI::App& app, int& exitCode);     // get, submit
void AddCheckCommand(CLI::App& app, int& exitCode);    // check
void AddConvertCommand(CLI::App& app, int& exitCode);  // convert
void AddSyncCommand(CLI::App& app, int& exitCode);     // sync
