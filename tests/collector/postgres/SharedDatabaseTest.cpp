// SPDX-License-Identifier: GPL-3.0-or-later
// Collectors on one PostgreSQL database, each the real executable on 127.0.0.1: what one
// takes the other shows and serves; a collector killed under load or a database restarted
// under load loses no acknowledged result; a stopped database is answered with 503 at once
// and the collector comes back by itself; the password of the database URI is never printed.

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/Cp1251.h"
#include "tests/collector/postgres/CollectorProcess.h"
#include "tests/common/Loopback.h"
#include "tests/common/PgServer.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// One server for the tests that only need a database of their own; the fault tests stop
// and start servers of their own.
PgServer& SharedServer() {
    static PgServer server;
    return server;
}

#define REQUIRE_POSTGRES(server)                          \
    if (!PgServer::Installed()) {                         \
        GTEST_SKIP() << "PostgreSQL 15 is not installed"; \
    }                                                     \
    ASSERT_TRUE((server).Running()) << (server).Error()

const std::string kTextTest = Utf8ToCp1251(
    "§TEZRA\r\n§PARAMS\r\nTITLE=Проба\r\n§END PARAMS\r\n§PROBLEMS\r\n§PROBLEM\r\n"
    "§CONDITION\r\nДва плюс два?\r\n§END CONDITION\r\n§ANSWER\r\nMODE=INPUT\r\n"
    "§VARIANTS\r\n[100] 4\r\n§END ANSWER\r\n§END PROBLEM\r\n§END PROBLEMS\r\n"
    "§END TEZRA\r\n");

// Sends one result as a station does; the status, 0 when no answer came within the limit.
int SendResult(int port, const std::string& user, int timeoutMs = 3000) {
    RawClient client(port);
    const std::string request = "GET /tezra/result?group=9&user=" + user +
                                "&res=35000&mark=4 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "Connection: close\r\n\r\n";
    return client.Send(request) ? StatusOf(client.ReadAnswer(timeoutMs)) : 0;
}

// The users of the JSON export of a collector's page.
std::multiset<std::string> ExportedUsers(const CollectorProcess& collector,
                                         const std::string& query = {}) {
    std::multiset<std::string> users;
    const std::string answer = collector.Teacher("GET", "/results.json" + query);
    const auto rows = nlohmann::json::parse(BodyOf(answer), nullptr, false);
    for (const auto& row : rows.is_array() ? rows : nlohmann::json::array()) {
        users.insert(row.value("user", ""));
    }
    return users;
}

// Stations sending results with users of their own until stopped, remembering which were
// answered with 200.
class StationLoad {
public:
    StationLoad(int port, int stations) {
        for (int s = 0; s < stations; ++s) {
            threads_.emplace_back([this, port, s] {
                for (int i = 0; !stop_.load(); ++i) {
                    const std::string user = "s" + std::to_string(s) + "r" + std::to_string(i);
                    const int status = SendResult(port, user, 2000);
                    std::lock_guard lock(mutex_);
                    (status == 200 ? acknowledged_ : refused_).insert(user);
                    if (status != 200) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    }
                }
            });
        }
    }
    ~StationLoad() { Stop(); }
    void Stop() {
        stop_ = true;
        for (auto& thread : threads_) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }
    std::set<std::string> Acknowledged() {
        std::lock_guard lock(mutex_);
        return acknowledged_;
    }
    std::size_t Refused() {
        std::lock_guard lock(mutex_);
        return refused_.size();
    }

private:
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::set<std::string> acknowledged_;
    std::set<std::string> refused_;
    std::vector<std::thread> threads_;
};

// Every acknowledged user is in the database exactly once, and no user twice.
void ExpectEachOnce(PgServer& server, const std::string& database,
                    const std::set<std::string>& acknowledged) {
    std::map<std::string, int> stored;
    for (const std::string& user : server.Column(database, "SELECT user_name FROM results")) {
        ++stored[user];
    }
    std::size_t missing = 0;
    for (const std::string& user : acknowledged) {
        missing += stored.count(user) == 0 ? 1 : 0;
    }
    EXPECT_EQ(missing, 0u) << "of " << acknowledged.size() << " acknowledged results";
    for (const auto& [user, count] : stored) {
        EXPECT_EQ(count, 1) << user;
    }
}

TEST(SharedDatabase, TwoCollectorsShowEveryResultAndServeOneLibrary) {
    REQUIRE_POSTGRES(SharedServer());
    TempDir dir;
    const std::string uri = SharedServer().Uri(SharedServer().CreateDatabase());
    CollectorProcess a(dir.Path, uri, "room-a");
    CollectorProcess b(dir.Path, uri, "room-b");
    ASSERT_GT(a.Port(), 0) << a.Output();
    ASSERT_GT(b.Port(), 0) << b.Output();
    ASSERT_EQ(SendResult(a.Port(), "alpha"), 200);
    ASSERT_EQ(SendResult(b.Port(), "beta"), 200);
    ASSERT_EQ(SendResult(b.Port(), "gamma"), 200);

    const std::multiset<std::string> all{"alpha", "beta", "gamma"};
    struct Case {
        std::string Query;
        std::multiset<std::string> Users;
    };
    const Case cases[] = {{"", all},
                          {"?collector=room-a", {"alpha"}},
                          {"?collector=room-b", {"beta", "gamma"}},
                          {"?collector=room-c", {}}};
    for (const CollectorProcess* page : {&a, &b}) {
        for (const Case& c : cases) {
            EXPECT_EQ(ExportedUsers(*page, c.Query), c.Users) << page->Port() << c.Query;
        }
    }

    // A test published on a's page reaches a station that synchronises with b.
    ASSERT_EQ(StatusOf(a.Teacher("PUT", "/api/tests/proba.ttxt", kTextTest)), 201);
    ASSERT_EQ(StatusOf(a.Teacher("PATCH", "/api/tests/proba.ttxt", "{\"published\":true}")), 200);
    const fs::path station = dir.Path / "station";
    fs::create_directories(station / "tezra");
    const ToolRun sync =
        RunTool({"sync", "--server", "127.0.0.1:" + std::to_string(b.Port()), "--key",
                 (dir.Path / "station-room-b.key").string(), "--timeout", "5", station.string()});
    EXPECT_EQ(sync.ExitCode, 0) << sync.Out;
    EXPECT_EQ(TempDir::Read(station / "tezra" / "proba.ttxt"), kTextTest);
}

// The users of one page poll after the given row, with the page's next cursor.
std::vector<std::string> PollAfter(const CollectorProcess& collector, std::int64_t& after) {
    const std::string answer =
        collector.Teacher("GET", "/api/results?date=&after=" + std::to_string(after));
    const auto update = nlohmann::json::parse(BodyOf(answer), nullptr, false);
    std::vector<std::string> users;
    if (StatusOf(answer) != 200 || !update.is_object() || !update["rows"].is_array()) {
        ADD_FAILURE() << answer;
        return users;
    }
    for (const auto& row : update["rows"]) {
        users.push_back(row.value("user", ""));
        after = std::max(after, row.value("id", std::int64_t{0}));
    }
    return users;
}

TEST(SharedDatabase, PagePagingByIdPassesOverNoRowOfAnotherCollectorStillCommitting) {
    REQUIRE_POSTGRES(SharedServer());
    TempDir dir;
    const std::string database = SharedServer().CreateDatabase();
    CollectorProcess collector(dir.Path, SharedServer().Uri(database), "room-a");
    ASSERT_GT(collector.Port(), 0) << collector.Output();

    // Another collector has drawn the next id for its result but not yet committed it.
    std::unique_ptr<PGconn, void (*)(PGconn*)> other(
        PQconnectdb(SharedServer().Uri(database).c_str()), PQfinish);
    const auto run = [&other](const char* sql) {
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(other.get(), sql), PQclear);
        const auto status = PQresultStatus(result.get());
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    };
    ASSERT_TRUE(run("BEGIN")) << PQerrorMessage(other.get());
    ASSERT_TRUE(run("SELECT pg_advisory_xact_lock_shared(7401522, 2)"));
    ASSERT_TRUE(
        run("INSERT INTO results(received_ms, received_utc, received_local, local_date, "
            "station, grp, user_name, res, mark, raw_query, source, collector) VALUES "
            "(0, '', '', '2026-12-09', '127.0.0.2', '9', 'slow', 1, 2, '', 'live', "
            "'room-b')"))
        << PQerrorMessage(other.get());
    // This collector stores its result meanwhile, under the larger id, and commits first.
    ASSERT_EQ(SendResult(collector.Port(), "quick"), 200);

    std::int64_t after = 0;
    std::vector<std::string> seen = PollAfter(collector, after);
    ASSERT_TRUE(run("COMMIT"));
    for (const std::string& user : PollAfter(collector, after)) {
        seen.push_back(user);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"quick", "slow"}));
}

// A relay between the collector and the database on 127.0.0.1. Once armed, it passes on the
// next COMMIT a client sends and then cuts that connection, so the server commits while the
// client never hears so.
class CommitCutter {
public:
    explicit CommitCutter(int serverPort) : serverPort_(serverPort) {
        listener_ = ListenOnLoopback(16);
        if (listener_.Fd >= 0) {
            accept_ = std::thread([this] { Accept(); });
        }
    }
    ~CommitCutter() {
        stop_ = true;
        if (accept_.joinable()) {
            accept_.join();  // no relay starts after this
        }
        for (auto& relay : relays_) {
            relay.join();
        }
        ::close(listener_.Fd);
    }
    int Port() const { return listener_.Port; }
    void Arm() { armed_ = true; }
    bool Cut() const { return cut_; }

private:
    void Accept() {
        while (!stop_) {
            pollfd wait{listener_.Fd, POLLIN, 0};
            if (::poll(&wait, 1, 100) == 1) {
                const int client = ::accept4(listener_.Fd, nullptr, nullptr, SOCK_CLOEXEC);
                const int server = client >= 0 ? ConnectTo(serverPort_) : -1;
                if (server >= 0) {
                    relays_.emplace_back([this, client, server] { Relay(client, server); });
                } else if (client >= 0) {
                    ::close(client);
                }
            }
        }
    }
    static int ConnectTo(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<unsigned short>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    void Relay(int client, int server) {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        char buffer[65536];
        bool open = true;
        while (open && !stop_) {
            if (::poll(ends, 2, 100) <= 0) {
                continue;
            }
            for (int from = 0; from < 2 && open; ++from) {
                if ((ends[from].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                    continue;
                }
                const ssize_t got = ::read(ends[from].fd, buffer, sizeof buffer);
                open = got > 0 && ::write(ends[1 - from].fd, buffer, got) == got;
                if (open && from == 0 && armed_ &&
                    std::string_view(buffer, got).find("COMMIT") != std::string_view::npos) {
                    armed_ = false;
                    cut_ = true;
                    open = false;
                }
            }
        }
        ::close(client);
        ::close(server);
    }

    int serverPort_;
    LoopbackListener listener_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> armed_{false};
    std::atomic<bool> cut_{false};
    std::thread accept_;
    std::vector<std::thread> relays_;  // touched by the accepting thread only, until joined
};

TEST(SharedDatabase, ResultWhoseCommitAnswerWasLostIsTakenOnce) {
    REQUIRE_POSTGRES(SharedServer());
    TempDir dir;
    const std::string database = SharedServer().CreateDatabase();
    CommitCutter cutter(SharedServer().Port());
    ASSERT_GT(cutter.Port(), 0);
    std::string uri = SharedServer().Uri(database);
    const std::string port = ":" + std::to_string(SharedServer().Port()) + "/";
    uri.replace(uri.find(port), port.size(), ":" + std::to_string(cutter.Port()) + "/");
    CollectorProcess collector(dir.Path, uri, "room-a");
    ASSERT_GT(collector.Port(), 0) << collector.Output();

    cutter.Arm();
    // The database stored the result: the station is told so and does not send it again.
    EXPECT_EQ(SendResult(collector.Port(), "cut"), 200);
    EXPECT_TRUE(cutter.Cut());
    EXPECT_EQ(SharedServer().Column(database, "SELECT user_name FROM results"),
              std::vector<std::string>{"cut"});
    EXPECT_EQ(SendResult(collector.Port(), "next"), 200);
}

TEST(SharedDatabase, KillNineUnderLoadLosesNoAcknowledgedResult) {
    REQUIRE_POSTGRES(SharedServer());
    TempDir dir;
    const std::string database = SharedServer().CreateDatabase();
    auto collector =
        std::make_unique<CollectorProcess>(dir.Path, SharedServer().Uri(database), "room-a");
    ASSERT_GT(collector->Port(), 0) << collector->Output();
    StationLoad load(collector->Port(), 8);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const int status = collector->Kill(SIGKILL);
    load.Stop();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const auto acknowledged = load.Acknowledged();
    EXPECT_GT(acknowledged.size(), 50u);  // the kill came under load
    ExpectEachOnce(SharedServer(), database, acknowledged);

    // The database serves the next collector at once.
    collector.reset();
    CollectorProcess again(dir.Path, SharedServer().Uri(database), "room-a");
    ASSERT_GT(again.Port(), 0) << again.Output();
    EXPECT_EQ(SendResult(again.Port(), "after"), 200);
}

TEST(SharedDatabase, FastRestartOfPostgresUnderLoadLosesNoAcknowledgedResult) {
    PgServer server;
    REQUIRE_POSTGRES(server);
    TempDir dir;
    const std::string database = server.CreateDatabase();
    CollectorProcess collector(dir.Path, server.Uri(database), "room-a");
    ASSERT_GT(collector.Port(), 0) << collector.Output();
    StationLoad load(collector.Port(), 6);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(server.Stop("fast"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(server.Start());
    const std::size_t before = load.Acknowledged().size();
    // The collector takes results again by itself, without a restart.
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (load.Acknowledged().size() < before + 50 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    load.Stop();
    EXPECT_GE(load.Acknowledged().size(), before + 50) << "no results after the restart";
    ExpectEachOnce(server, database, load.Acknowledged());
}

TEST(SharedDatabase, StoppedDatabaseIsAnsweredWith503AndTheCollectorComesBack) {
    PgServer server;
    REQUIRE_POSTGRES(server);
    TempDir dir;
    CollectorProcess collector(dir.Path, server.Uri(server.CreateDatabase()), "room-a");
    ASSERT_GT(collector.Port(), 0) << collector.Output();
    ASSERT_EQ(SendResult(collector.Port(), "before"), 200);
    // The page's poll: 503 tells the page to say that the database cannot be reached.
    const auto databaseDown = [&collector] {
        const std::string answer = collector.Teacher("GET", "/api/results?after=0&date=");
        return StatusOf(answer) == 503 && BodyOf(answer).find("database") != std::string::npos;
    };
    EXPECT_FALSE(databaseDown());

    ASSERT_TRUE(server.Stop("fast"));
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(SendResult(collector.Port(), "down" + std::to_string(i), 5000), 503);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000)) << "attempt " << i;
    }
    EXPECT_TRUE(databaseDown());

    ASSERT_TRUE(server.Start());
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (status != 200 && Clock::now() < deadline) {
        status = SendResult(collector.Port(), "back");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(status, 200);
    EXPECT_FALSE(databaseDown());
    // The export's own connection comes back as well, at its first use.
    EXPECT_EQ(ExportedUsers(collector), (std::multiset<std::string>{"back", "before"}));
}

TEST(SharedDatabase, PasswordOfTheUriIsNeverPrinted) {
    REQUIRE_POSTGRES(SharedServer());
    TempDir dir;
    PgServer& server = SharedServer();
    const std::string database = server.CreateDatabase();
    const std::string good = server.Uri(database);
    const std::string closedPort =
        "postgresql://tezra:" + std::string(PgServer::kPassword) + "@127.0.0.1:1/" + database;
    const std::string wrongDatabase = server.Uri("no_such_database");
    const std::string asParameter =
        "postgresql://tezra@127.0.0.1:" + std::to_string(server.Port()) + "/" + database +
        "?password=" + PgServer::kPassword + "&connect_timeout=1";
    for (const std::string& uri : {good, closedPort, wrongDatabase, asParameter}) {
        {
            CollectorProcess collector(dir.Path, uri, "room-a");
            if (collector.Port() > 0) {
                SendResult(collector.Port(), "someone");
            }
            collector.Kill(SIGTERM);
            const std::string output = collector.Output();
            EXPECT_EQ(output.find(PgServer::kPassword), std::string::npos) << output;
        }
        std::string output;
        CollectorProcess::Run({"migrate", "--from", (dir.Path / "missing.sqlite").string(), "--db",
                               uri, "--name", "room-a"},
                              output);
        EXPECT_EQ(output.find(PgServer::kPassword), std::string::npos) << output;
        const std::string file = dir.Write("empty.sqlite", "").string();
        CollectorProcess::Run({"migrate", "--from", file, "--db", uri, "--name", "room-a"},
                              output);
        EXPECT_EQ(output.find(PgServer::kPassword), std::string::npos) << output;
    }
}

}  // namespace
