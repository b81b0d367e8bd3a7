// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-collector: the class result server. Stations send their results to it; the teacher
// follows them on its page and takes them away as CSV or JSON.

#include <unistd.h>
#include <CLI/CLI.hpp>
#include <array>
#include <csignal>
#include <fstream>
#include <iostream>
#include <iterator>

#include "collector/Collector.h"
#include "collector/DatabaseUri.h"
#include "collector/Migrate.h"
#include "collector/ReportLogImport.h"
#include "collector/TeacherAccess.h"
#include "platform/Numbers.h"

namespace {

CollectorService* RunningService = nullptr;

void StopOnSignal(int) {
    if (RunningService != nullptr) {
        RunningService->Stop();
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

struct ServeOptions {
    std::string Listen = "0.0.0.0:80";
    std::string Database = "results.sqlite";
    std::string Name;
    std::string PasswordFile;
    std::string Stations;
    int MaxResultsPerMinute = 60;
    std::string TeacherListen;
    std::string TlsCertificate;
    std::string TlsKey;
    std::string StationKeyFile;
};

int Serve(const ServeOptions& serve) {
    const std::string& listen = serve.Listen;
    const std::string& passwordFile = serve.PasswordFile;
    CollectorOptions options;
    options.Database = serve.Database;
    options.Name = serve.Name;
    options.MaxResultsPerMinute = serve.MaxResultsPerMinute;
    if (!serve.StationKeyFile.empty()) {
        const auto key = ReadPasswordFile(serve.StationKeyFile);
        if (!key) {
            std::cerr << "tezra-collector: no station key in " << serve.StationKeyFile << "\n";
            return 2;
        }
        options.StationKey = *key;
    }
    if (!serve.Stations.empty()) {
        std::string error;
        const auto stations = AddressFilter::Parse(serve.Stations, error);
        if (!stations) {
            std::cerr << "tezra-collector: --stations: " << error << "\n";
            return 2;
        }
        options.Stations = *stations;
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
    if (serve.TlsCertificate.empty() != serve.TlsKey.empty() ||
        (!serve.TlsCertificate.empty() && serve.TeacherListen.empty())) {
        std::cerr << "tezra-collector: --tls-cert and --tls-key go together, with "
                     "--teacher-listen\n";
        return 2;
    }
    if (!serve.TeacherListen.empty() &&
        !SplitListen(serve.TeacherListen, options.TeacherAddress, options.TeacherPort)) {
        std::cerr << "tezra-collector: --teacher-listen wants ADDRESS:PORT, not "
                  << serve.TeacherListen << "\n";
        return 2;
    }
    options.TlsCertificate = serve.TlsCertificate;
    options.TlsKey = serve.TlsKey;
    options.SecureCookie = !serve.TlsCertificate.empty();
    RaiseOpenFileLimit();
    std::string error;
    auto service = CollectorService::Start(options, address, port, error);
    if (!service) {
        std::cerr << "tezra-collector: " << error << "\n";
        return 1;
    }
    std::cout << "Listening on " << address << ":" << service->Port() << "\n"
              << "Results database: " << UriWithoutPassword(options.Database) << "\n";
    if (service->TeacherPort() != 0) {
        std::cout << "Teacher's page on " << (options.SecureCookie ? "https://" : "http://")
                  << options.TeacherAddress << ":" << service->TeacherPort() << "/\n";
    }
    if (passwordFile.empty()) {
        std::cout << "Teacher's password (any user name): " << options.Password << "\n";
    } else {
        std::cout << "Teacher's password: as in " << passwordFile << "\n";
    }
    std::cout << std::flush;
    RunningService = service.get();
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    service->Run();
    RunningService = nullptr;
    return 0;
}

int Import(const std::string& database, const std::string& name, const std::string& station,
           const std::vector<std::string>& journals) {
    std::string error;
    auto store = OpenResultStore(database, true, error, "import");
    if (!store) {
        std::cerr << "tezra-collector: " << UriWithoutPassword(database) << ": " << error << "\n";
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
        const ImportSummary summary = ImportReportLog(*store, station, bytes, name);
        for (const auto* list : {&summary.Problems, &summary.NotOpened}) {
            for (const JournalProblem& problem : *list) {
                std::cerr << journal << ":" << problem.Line << ": skipped: " << problem.Reason
                          << "\n";
            }
        }
        if (!summary.Ok) {
            std::cerr << journal << ": the database did not take the records: " << store->Error()
                      << "\n";
            exitCode = 1;
            continue;
        }
        std::cout << journal << ": " << summary.Added << " added, " << summary.Present
                  << " already in the database, " << summary.Problems.size() << " damaged, "
                  << summary.NotOpened.size() << " of tests not opened\n";
    }
    return exitCode;
}

// The machine's name: what the collector is called without --name.
std::string HostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
        return "collector";
    }
    return name.data();
}

int Migrate(const std::string& from, const std::string& database, const std::string& name) {
    if (!IsPostgresUri(database)) {
        std::cerr << "tezra-collector: migrate: --db wants a postgresql:// URI\n";
        return 2;
    }
    MigrationSummary summary;
    std::string error;
    const bool done = MigrateSqliteToPostgres(from, database, name, summary, error);
    std::cout << "results: " << summary.Results << " added, " << summary.ResultsPresent
              << " present\n"
              << "hides and restores: " << summary.Hides << " added, " << summary.HidesPresent
              << " present\n"
              << "library: " << summary.Tests << " tests and " << summary.Pictures
              << " pictures added; " << summary.StationRecords << " stations' sync status\n";
    for (const std::string& test : summary.TestsKept) {
        std::cout << "kept the database's own " << test << " (the file has another version)\n";
    }
    if (!done) {
        std::cerr << "tezra-collector: migrate: " << RedactPassword(error, database) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Tezra Net result collector: receives the stations' results and shows them "
        "to the teacher"};
    app.failure_message(CLI::FailureMessage::help);
    ServeOptions serve;
    app.add_option("--listen", serve.Listen, "ADDRESS:PORT to listen on")->capture_default_str();
    app.add_option("--db", serve.Database,
                   "the results database: an SQLite file, or postgresql://USER@HOST:PORT/DB "
                   "shared by several collectors (the password from PGPASSFILE or the URI)")
        ->capture_default_str();
    app.add_option("--name", serve.Name,
                   "this collector's name on the results it receives (default: the host name)");
    app.add_option("--teacher-password-file", serve.PasswordFile,
                   "file whose first line is the teacher's password (without it a password "
                   "is made up and printed)");
    app.add_option("--station-key-file", serve.StationKeyFile,
                   "file whose first line is the key the stations' sync uses (without it the "
                   "stations cannot fetch tests or send journals)");
    app.add_option("--stations", serve.Stations,
                   "CIDR[,CIDR...]: take results only from these addresses (default: all)");
    app.add_option("--max-results-per-minute", serve.MaxResultsPerMinute,
                   "results one address may send in a minute; 0 for no limit")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    app.add_option("--teacher-listen", serve.TeacherListen,
                   "ADDRESS:PORT of the teacher's page (then --listen takes results only)");
    app.add_option("--tls-cert", serve.TlsCertificate,
                   "PEM certificate (chain) to serve the teacher's page over TLS");
    app.add_option("--tls-key", serve.TlsKey, "PEM private key of that certificate");

    CLI::App* import = app.add_subcommand("import", "add the records of stations' report.log");
    std::string importDatabase;
    std::string importName;
    std::string station;
    std::vector<std::string> journals;
    import->add_option("--db", importDatabase, "the results database file or URI")->required();
    import->add_option("--name", importName, "the collector name the records are stored under");
    import->add_option("--station", station, "the station the journals come from")->required();
    import->add_option("journals", journals, "report.log files")->required();

    CLI::App* migrate = app.add_subcommand(
        "migrate", "move a class server's SQLite database into a shared PostgreSQL database");
    std::string migrateFrom;
    std::string migrateDatabase;
    std::string migrateName = HostName();
    migrate->add_option("--from", migrateFrom, "the class server's SQLite file")->required();
    migrate->add_option("--db", migrateDatabase, "postgresql://USER@HOST:PORT/DB")->required();
    migrate
        ->add_option("--name", migrateName,
                     "the name of the class server's collector (default: the host name); "
                     "its results are stored under it")
        ->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    if (*migrate) {
        return Migrate(migrateFrom, migrateDatabase, migrateName);
    }
    if (*import) {
        return Import(importDatabase, importName, station, journals);
    }
    return Serve(serve);
}
