// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The result collector: takes the stations' results into the database and serves the
// teacher's page and exports behind the teacher's password.

#include <filesystem>
#include <memory>
#include <string>

#include "collector/AddressFilter.h"
#include "collector/ClassLibrary.h"
#include "collector/CommitQueue.h"
#include "collector/EditorApi.h"
#include "collector/HttpServer.h"
#include "collector/RateLimit.h"
#include "collector/RefusalCounts.h"
#include "collector/ResultStore.h"
#include "collector/TeacherAccess.h"
#include "collector/TlsListener.h"
#include "collector/TryAttempts.h"

struct CollectorOptions {
    std::filesystem::path Database = "results.sqlite";
    std::string Password;    // the teacher's; never empty
    std::string StationKey;  // the stations'; empty: the station endpoints refuse everyone
    ServerLimits Limits;
    AddressFilter Stations;        // empty: results from every address
    int MaxResultsPerMinute = 60;  // per address; 0: no limit
    bool SecureCookie = false;     // the page is served over TLS
    // The teacher's own address ("" for none: the page is on the stations' port). With a
    // certificate and key the page is served there over TLS; the stations' port then takes
    // results only.
    std::string TeacherAddress;
    int TeacherPort = 0;
    std::string TlsCertificate;
    std::string TlsKey;
};

class Collector : public RequestHandler {
public:
    static constexpr std::int64_t kPageRowsPerPoll = 1000;

    // Opens (or creates) the database. Empty with the reason in error when it cannot.
    static std::unique_ptr<Collector> Open(const CollectorOptions& options, std::string& error);
    ~Collector() override;

    void Handle(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                const std::string& peer) override;
    // The server that takes results only (the teacher's page has an address of its own).
    void SetResultsOnly(const HttpServer* server) { resultsOnly_ = server; }
    std::size_t BodyLimit(const RequestHead& head) override;
    std::optional<HttpAnswer> TooLarge(const RequestHead& head) override;

private:
    explicit Collector(const CollectorOptions& options);
    void TakeResult(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                    const std::string& peer);
    void ServeTeacher(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                      const std::string& peer);
    void ChangeVisibility(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                          const std::string& who);
    HttpAnswer Poll(std::string_view query);

    const HttpServer* resultsOnly_ = nullptr;
    std::string stationKey_;
    TeacherGate gate_;
    AddressFilter stations_;
    RateLimit rateLimit_;
    RefusalCounts refusals_;
    std::unique_ptr<ClassLibrary> library_;
    std::unique_ptr<EditorApi> editor_;
    std::unique_ptr<ResultStore> writer_;
    std::unique_ptr<ResultStore> reader_;
    std::unique_ptr<ResultStore> teacherWriter_;  // hides and restores, beside the stations
    std::unique_ptr<ResultStore> exportReader_;   // exports, so that polls never wait for one
    std::unique_ptr<CommitQueue> commits_;
    std::unique_ptr<JobThread> queries_;
    std::unique_ptr<JobThread> exports_;
    TryAttempts tries_;  // the editor's "try as a student", in memory only
};

// The collector with its server: what the program, the tests and the benchmark run.
class CollectorService {
public:
    // Opens the database and listens; empty with the reason in error when either fails.
    static std::unique_ptr<CollectorService> Start(const CollectorOptions& options,
                                                   const std::string& address, int port,
                                                   std::string& error);
    ~CollectorService();

    int Port() const { return server_->Port(); }
    // The teacher's port when the page has an address of its own, else 0.
    int TeacherPort() const;
    HttpServer& Server() { return *server_; }
    void Run();
    void Stop();

private:
    CollectorService() = default;

    std::unique_ptr<Collector> collector_;
    std::unique_ptr<HttpServer> server_;
    std::unique_ptr<HttpServer> teacherServer_;
    std::unique_ptr<TlsListener> tls_;
};
