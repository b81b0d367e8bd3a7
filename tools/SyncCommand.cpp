// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool sync: run on a station, brings the class server's published tests into the
// station's tezra folder and carries the station's report.log records up to it.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "tools/Commands.h"
#include "tools/sync/StationSync.h"
#include "tools/sync/SyncFiles.h"
#include "tools/sync/SyncHttp.h"
#include "tools/sync/SyncProtocol.h"

namespace {

struct SyncArgs {
    std::string Server;
    std::string KeyFile;
    double TimeoutSeconds = 3.0;
    std::string StationDir;
};

std::string ThisHostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !IsStationHostName(name)) {
        return {};
    }
    return name;
}

int RunSync(const SyncArgs& args) {
    SyncOptions options;
    if (!SplitServer(args.Server, options.Host, options.Port)) {
        std::cout << "Ошибка: сервер задаётся как АДРЕС[:ПОРТ], а не " << args.Server << "\n";
        return 2;
    }
    const auto key = ReadKeyFile(args.KeyFile);
    if (!key) {
        std::cout << "Ошибка: в файле " << args.KeyFile << " нет ключа станции\n";
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(args.StationDir, error)) {
        std::cout << "Ошибка: нет папки станции " << args.StationDir << "\n";
        return 2;
    }
    if (!(args.TimeoutSeconds > 0 && args.TimeoutSeconds <= 3600)) {
        std::cout << "Ошибка: --timeout от 0 до 3600 секунд\n";
        return 2;
    }
    options.Key = *key;
    options.StationDir = args.StationDir;
    options.TimeoutMs = static_cast<int>(args.TimeoutSeconds * 1000);
    options.StationName = ThisHostName();
    const int status = RunStationSync(options, std::cout);
    std::cout << std::flush;
    return status;
}

}  // namespace

void AddSyncCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<SyncArgs>();
    CLI::App* command = app.add_subcommand(
        "sync",
        "Bring the class server's published tests into a station folder and send "
        "its report.log records up (exit 0: done, 1: server unreachable, 2: error)");
    command->add_option("--server", args->Server, "The class server, HOST[:PORT]")
        ->required()
        ->type_name("HOST[:PORT]");
    command->add_option("--key", args->KeyFile, "File whose first line is the station key")
        ->required()
        ->type_name("FILE");
    command
        ->add_option("--timeout", args->TimeoutSeconds,
                     "Time limit of the whole run in seconds (default 3)")
        ->type_name("SECONDS");
    command->add_option("STATION_DIR", args->StationDir, "The station folder")->required();
    command->callback([args, &exitCode] { exitCode = RunSync(*args); });
}
