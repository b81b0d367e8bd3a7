// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-collector: the class result server. Stations send their results to it; the teacher
// follows them on its page and takes them away as CSV or JSON.

#include <CLI/CLI.hpp>
#include <csignal>
#include <fstream>
#include <iostream>
#include <iterator>

#include "collector/Collector.h"
#include "collector/ReportLogImport.h"
#include "collector/TeacherAccess.h"
#include "platform/Numbers.h"

namespace {

CollectorService* runningService = nullptr;

void StopOnSignal(int) {
    if (runningService != nullptr) {
        runningService->Stop();
    }
}

// "ADDRESS:PORT"; "localhost" stands for 127.0.0.1.
bool SplitListen(const std::string& listen, std::string& address, int& port) {
    const std::size_t colon = listen.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    address = listen.substr(0, colon);
    if (address == "localhost") {
        address = "127.0.0.1";
    }
    const auto value = ParseInt(listen.substr(colon + 1));
    port = value.value_or(-1);
    return value && *value >= 0 && *value <= 65535;
}

int Serve(const std::string& listen, const std::string& database, const std::string& passwordFile,
          const std::string& stationKeyFile) {
    CollectorOptions options;
    options.Database = database;
    if (!stationKeyFile.empty()) {
        const auto key = ReadPasswordFile(stationKeyFile);
        if (!key) {
            std::cerr << "tezra-collector: no station key in " << stationKeyFile << "\n";
            return 2;
        }
        options.StationKey = *key;
    }
    std::string address;
    int port = 0;
    if (!SplitListen(listen, address, port)) {
        std::cerr << "tezra-collector: --listen wants ADDRESS:PORT, not " << listen << "\n";
        return 2;
    }
    if (!passwordFile.empty()) {
        const auto password = ReadPasswordFile(passwordFile);
        if (!password) {
            std::cerr << "tezra-collector: no password in " << passwordFile << "\n";
            return 2;
        }
        options.Password = *password;
    } else {
        options.Password = GeneratePassword();
    }
    RaiseOpenFileLimit();
    std::string error;
    auto service = CollectorService::Start(options, address, port, error);
    if (!service) {
        std::cerr << "tezra-collector: " << error << "\n";
        return 1;
    }
    std::cout << "Listening on " << address << ":" << service->Port() << "\n"
              << "Results database: " << options.Database.string() << "\n";
    if (passwordFile.empty()) {
        std::cout << "Teacher's password (any user name): " << options.Password << "\n";
    } else {
        std::cout << "Teacher's password: as in " << passwordFile << "\n";
    }
    std::cout << std::flush;
    runningService = service.get();
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    service->Run();
    runningService = nullptr;
    return 0;
}

int Import(const std::string& database, const std::string& station,
           const std::vector<std::string>& journals) {
    std::string error;
    auto store = ResultStore::OpenWriter(database, error);
    if (!store) {
        std::cerr << "tezra-collector: " << database << ": " << error << "\n";
        return 1;
    }
    int exitCode = 0;
    for (const std::string& journal : journals) {
        std::ifstream file(journal, std::ios::binary);
        if (!file) {
            std::cerr << journal << ": cannot be read\n";
            exitCode = 1;
            continue;
        }
        const std::string bytes(std::istreambuf_iterator<char>(file), {});
        const ImportSummary summary = ImportReportLog(*store, station, bytes);
        for (const JournalProblem& problem : summary.Problems) {
            std::cerr << journal << ":" << problem.Line << ": skipped: " << problem.Reason << "\n";
        }
        if (!summary.Ok) {
            std::cerr << journal << ": the database did not take the records: " << store->Error()
                      << "\n";
            exitCode = 1;
            continue;
        }
        std::cout << journal << ": " << summary.Added << " added, " << summary.Present
                  << " already in the database, " << summary.Problems.size() << " damaged\n";
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Tezra Net result collector: receives the stations' results and shows them "
        "to the teacher"};
    app.failure_message(CLI::FailureMessage::help);
    std::string listen = "0.0.0.0:80";
    std::string database = "results.sqlite";
    std::string passwordFile;
    std::string stationKeyFile;
    app.add_option("--listen", listen, "ADDRESS:PORT to listen on")->capture_default_str();
    app.add_option("--db", database, "the results database file")->capture_default_str();
    app.add_option("--teacher-password-file", passwordFile,
                   "file whose first line is the teacher's password (without it a password "
                   "is made up and printed)");
    app.add_option("--station-key-file", stationKeyFile,
                   "file whose first line is the key the stations' sync uses (without it the "
                   "stations cannot fetch tests or send journals)");

    CLI::App* import = app.add_subcommand("import", "add the records of stations' report.log");
    std::string importDatabase;
    std::string station;
    std::vector<std::string> journals;
    import->add_option("--db", importDatabase, "the results database file")->required();
    import->add_option("--station", station, "the station the journals come from")->required();
    import->add_option("journals", journals, "report.log files")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    if (*import) {
        return Import(importDatabase, station, journals);
    }
    return Serve(listen, database, passwordFile, stationKeyFile);
}
