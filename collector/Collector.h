// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The result collector: takes the stations' results into the database and serves the
// teacher's page and exports behind the teacher's password.

#include <filesystem>
#include <memory>
#include <string>

#include "collector/ClassLibrary.h"
#include "collector/CommitQueue.h"
#include "collector/HttpServer.h"
#include "collector/ResultStore.h"

struct CollectorOptions {
    std::filesystem::path Database = "results.sqlite";
    std::string Password;    // the teacher's; never empty
    std::string StationKey;  // the stations'; empty: the station endpoints refuse everyone
    ServerLimits Limits;
};

class Collector : public RequestHandler {
public:
    static constexpr std::int64_t kPageRowsPerPoll = 1000;

    // Opens (or creates) the database. Empty with the reason in error when it cannot.
    static std::unique_ptr<Collector> Open(const CollectorOptions& options, std::string& error);
    ~Collector() override;

    void Handle(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                const std::string& peer) override;
    std::size_t BodyLimit(const RequestHead& head) override;

private:
    explicit Collector(std::string password, std::string stationKey)
        : password_(std::move(password)), stationKey_(std::move(stationKey)) {}
    void TakeResult(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                    const std::string& peer);
    void ServeTeacher(HttpServer& server, std::uint64_t connection, const RequestHead& head);

    std::string password_;
    std::string stationKey_;
    std::unique_ptr<ClassLibrary> library_;
    std::unique_ptr<ResultStore> writer_;
    std::unique_ptr<ResultStore> reader_;
    std::unique_ptr<CommitQueue> commits_;
    std::unique_ptr<JobThread> queries_;
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
    HttpServer& Server() { return *server_; }
    void Run() { server_->Run(); }
    void Stop() { server_->Stop(); }

private:
    CollectorService() = default;

    std::unique_ptr<Collector> collector_;
    std::unique_ptr<HttpServer> server_;
};
