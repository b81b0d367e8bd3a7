// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool sync against the real tezra-collector and against servers that lie or stall:
// published tests arrive all at once, unpublished ones go, hand-placed files stay, journal
// records go up once, and a failed run leaves the station folder exactly as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "platform/Cp1251.h"
#include "tests/collector/CollectorFixture.h"
#include "tests/common/Loopback.h"
#include "tests/common/RunTool.h"
#include "tools/sync/SyncProtocol.h"

namespace fs = std::filesystem;

namespace {

const std::string kKey = "k3y-for-stations";
const fs::path kExamples = fs::path(TEZRA_TEST_DATA_DIR) / ".." / ".." / "examples" / "station";

const std::string kTextTest = Utf8ToCp1251(
    "§TEZRA\r\n§PARAMS\r\nTITLE=Проба\r\n§END PARAMS\r\n§PROBLEMS\r\n§PROBLEM\r\n"
    "§CONDITION\r\nДва плюс два?\r\n§END CONDITION\r\n§ANSWER\r\nMODE=INPUT\r\n"
    "§VARIANTS\r\n[100] 4\r\n§END ANSWER\r\n§END PROBLEM\r\n§END PROBLEMS\r\n"
    "§END TEZRA\r\n");

// The tezra-collector executable with the teacher's password and the station key.
class CollectorChild {
public:
    explicit CollectorChild(const fs::path& folder) {
        const std::string password = (folder / "password").string();
        const std::string key = (folder / "station.key").string();
        std::ofstream(password) << kTeacherPassword << "\n";
        std::ofstream(key) << kKey << "\n";
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> arguments = {TEZRA_COLLECTOR_PATH,
                                              "--listen",
                                              "127.0.0.1:0",
                                              "--db",
                                              (folder / "results.sqlite").string(),
                                              "--teacher-password-file",
                                              password,
                                              "--station-key-file",
                                              key};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            std::vector<char*> argv;
            for (auto& argument : arguments) {
                argv.push_back(argument.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        std::string output;
        for (int i = 0; i < 100 && output.find("Results database") == std::string::npos; ++i) {
            pollfd entry{pipeFds[0], POLLIN, 0};
            char buffer[256];
            const ssize_t got = ::poll(&entry, 1, 100) > 0 ? ::read(pipeFds[0], buffer, 256) : 0;
            output.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        }
        ::close(pipeFds[0]);
        const std::size_t at = output.find("127.0.0.1:");
        Port = at == std::string::npos ? 0 : std::stoi(output.substr(at + 10));
    }
    ~CollectorChild() { Kill(SIGTERM); }
    void Kill(int signal) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    std::string Teacher(const std::string& method, const std::string& target,
                        const std::string& body = {}) const {
        return Exchange(Port, method + " " + target + " HTTP/1.1\r\n" + TeacherAuthorization() +
                                  "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                  body);
    }

    int Port = 0;

private:
    pid_t pid_ = -1;
};

// Every file below the folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files[fs::relative(entry.path(), folder).string()] =
            entry.is_regular_file() ? TempDir::Read(entry.path()) : "<folder>";
    }
    return files;
}

struct SyncRun {
    ToolRun Run;
    double Seconds = 0;
};

// tezra-tool sync; prefix runs in the shell before it (limits for the run).
SyncRun Sync(int port, const fs::path& station, const std::string& keyFile,
             const std::string& timeout = "3", const std::string& prefix = "") {
    const std::string command = prefix + ShellQuote(TEZRA_TOOL_PATH) + " sync --server " +
                                "127.0.0.1:" + std::to_string(port) + " --key " +
                                ShellQuote(keyFile) + " --timeout " + timeout + " " +
                                ShellQuote(station.string()) + " </dev/null";
    SyncRun sync;
    const auto start = std::chrono::steady_clock::now();
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t got = 0;
    while (pipe != nullptr && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        sync.Run.Out.append(buffer, got);
    }
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    sync.Run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    sync.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return sync;
}

std::string Record(const std::string& user, const std::string& points) {
    return "===================\r\nUser=" + user +
           "\r\nGroup=7A\r\nTest=Проба\r\nQuestions=5\r\n"
           "Points=" +
           points + "\r\nMark=4\r\nStart at=1.12.2026 10:00:00\r\nDuration=3:00\r\n";
}

// A server that answers every path from a table, one answer per connection, and can stall
// in the middle of one.
class FakeClassServer {
public:
    struct Reply {
        std::string Bytes;   // what is sent, head and all
        bool Stall = false;  // then keeps the connection open and says no more
    };

    explicit FakeClassServer(std::map<std::string, Reply> replies)
        : replies_(std::move(replies)), listener_(ListenOnLoopback(16)) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeClassServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_.Fd);
    }
    int Port() const { return listener_.Port; }

    static Reply Ok(const std::string& body) {
        return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nConnection: close\r\n\r\n" + body,
                false};
    }

private:
    void Serve() {
        while (!stop_) {
            pollfd entry{listener_.Fd, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) {
                continue;
            }
            const int fd = ::accept(listener_.Fd, nullptr, nullptr);
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd in{fd, POLLIN, 0};
                const ssize_t got = ::poll(&in, 1, 1000) > 0 ? ::recv(fd, buffer, 4096, 0) : 0;
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(got));
            }
            const std::string target = request.substr(4, request.find(' ', 4) - 4);
            const auto found = replies_.find(target.substr(0, target.find('?')));
            const Reply reply = found != replies_.end() ? found->second
                                                        : Reply{
                                                              "HTTP/1.1 404 Not Found\r\n"
                                                              "Content-Length: 0\r\n\r\n",
                                                              false};
            ::send(fd, reply.Bytes.data(), reply.Bytes.size(), MSG_NOSIGNAL);
            while (reply.Stall && !stop_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            ::close(fd);
        }
    }

    std::map<std::string, Reply> replies_;
    LoopbackListener listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string ManifestOf(const std::vector<std::tuple<std::string, long long, std::string>>& files) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [name, size, sha] : files) {
        list.push_back({{"name", name}, {"size", size}, {"sha256", sha}});
    }
    return nlohmann::json{{"version", "v1"}, {"files", list}}.dump();
}

// A loadable text test of about the given size.
std::string BigTest(std::size_t bytes) {
    std::string condition;
    while (condition.size() < bytes) {
        condition += "Очень длинное условие задачи, строка за строкой.\r\n";
    }
    return Utf8ToCp1251(
        "§TEZRA\r\n§PARAMS\r\nTITLE=Большой\r\n§END PARAMS\r\n§PROBLEMS\r\n§PROBLEM\r\n"
        "§CONDITION\r\n" +
        condition +
        "§END CONDITION\r\n§ANSWER\r\nMODE=INPUT\r\n§VARIANTS\r\n[100] 1\r\n§END ANSWER\r\n"
        "§END PROBLEM\r\n§END PROBLEMS\r\n§END TEZRA\r\n");
}

}  // namespace

TEST(SyncTool, PublishedSetArrivesUnpublishedGoesHandPlacedStays) {
    TempDir dir;
    CollectorChild collector(dir.Path);
    ASSERT_GT(collector.Port, 0);
    const fs::path station = dir.Path / "station";
    const std::string key = (dir.Path / "station.key").string();
    const fs::path tezra = station / "tezra";
    dir.Write("station/tezra/mine.ttxt", "hand-made");
    dir.Write("station/tezra/b.ttxt", "hand-made b");
    const fs::path examples = kExamples / "tezra";
    const auto upload = [&collector](const std::string& target, const fs::path& file) {
        return StatusOf(collector.Teacher("PUT", target, TempDir::Read(file)));
    };
    ASSERT_EQ(upload("/api/tests/fractions-5.ttxt", examples / "fractions-5.ttxt"), 201);
    for (const char* picture : {"fractions-pie.jpg", "fractions-strip.jpg"}) {
        ASSERT_EQ(upload("/api/tests/fractions-5.ttxt/pictures/" + std::string(picture),
                         examples / picture),
                  200);
    }
    ASSERT_EQ(StatusOf(collector.Teacher("PUT", "/api/tests/b.ttxt", kTextTest)), 201);
    for (const char* name : {"fractions-5.ttxt", "b.ttxt"}) {
        ASSERT_EQ(StatusOf(collector.Teacher("PATCH", "/api/tests/" + std::string(name),
                                             "{\"published\":true,\"chooser_text\":\"Дроби\"}")),
                  200);
    }
    SyncRun first = Sync(collector.Port, station, key);
    EXPECT_EQ(first.Run.ExitCode, 0) << first.Run.Out;
    EXPECT_EQ(TempDir::Read(tezra / "fractions-5.ttxt"),
              TempDir::Read(examples / "fractions-5.ttxt"));
    EXPECT_EQ(TempDir::Read(tezra / "fractions-pie.jpg"),
              TempDir::Read(examples / "fractions-pie.jpg"));
    EXPECT_EQ(TempDir::Read(tezra / "fractions-5.desc"), "\xC4\xF0\xEE\xE1\xE8\r\n");
    EXPECT_EQ(TempDir::Read(tezra / "b.ttxt"), "hand-made b");  // the school's own file
    EXPECT_NE(first.Run.Out.find("положен вручную"), std::string::npos) << first.Run.Out;
    EXPECT_FALSE(fs::exists(tezra / ".tezra-sync.d"));

    ASSERT_EQ(StatusOf(collector.Teacher("PATCH", "/api/tests/fractions-5.ttxt",
                                         "{\"published\":false}")),
              200);
    SyncRun second = Sync(collector.Port, station, key);
    EXPECT_EQ(second.Run.ExitCode, 0) << second.Run.Out;
    for (const char* gone :
         {"fractions-5.ttxt", "fractions-5.desc", "fractions-pie.jpg", "fractions-strip.jpg"}) {
        EXPECT_FALSE(fs::exists(tezra / gone)) << gone;
    }
    EXPECT_EQ(TempDir::Read(tezra / "mine.ttxt"), "hand-made");
    EXPECT_EQ(TempDir::Read(tezra / "b.ttxt"), "hand-made b");
    EXPECT_TRUE(fs::exists(tezra / "b.desc"));

    // A wrong key changes nothing and says why.
    const auto before = Snapshot(station);
    const std::string wrongKey = dir.Write("wrong.key", "nope\n").string();
    SyncRun refused = Sync(collector.Port, station, wrongKey);
    EXPECT_EQ(refused.Run.ExitCode, 2) << refused.Run.Out;
    EXPECT_NE(refused.Run.Out.find("ключ"), std::string::npos) << refused.Run.Out;
    EXPECT_EQ(Snapshot(station), before);
}

TEST(SyncTool, JournalRecordsGoUpOnceAndDamageBlocksNothing) {
    TempDir dir;
    CollectorChild collector(dir.Path);
    ASSERT_GT(collector.Port, 0);
    const fs::path station = dir.Path / "station";
    const std::string key = (dir.Path / "station.key").string();
    // A station killed while writing left half a record at the end.
    dir.Write("station/report.log", Record("Ivanov", "4.5") + Record("Petrov", "3") +
                                        "===================\r\nUser=Half\r\nGroup=7A\r\n");
    SyncRun first = Sync(collector.Port, station, key);
    EXPECT_EQ(first.Run.ExitCode, 0) << first.Run.Out;
    EXPECT_NE(first.Run.Out.find("новых 2"), std::string::npos) << first.Run.Out;
    SyncRun again = Sync(collector.Port, station, key);
    EXPECT_EQ(again.Run.ExitCode, 0) << again.Run.Out;
    // The half record is held back until a record follows it; then it is reported, skipped.
    std::ofstream(station / "report.log", std::ios::app) << Record("Sidorov", "5");
    SyncRun third = Sync(collector.Port, station, key);
    EXPECT_EQ(third.Run.ExitCode, 0) << third.Run.Out;
    EXPECT_NE(third.Run.Out.find("новых 1"), std::string::npos) << third.Run.Out;
    EXPECT_NE(third.Run.Out.find("строка 22: повреждённая запись"), std::string::npos)
        << third.Run.Out;
    // The journal rotated: a new file that starts with the last record and adds one. It is
    // sent from its start; the record the server has is not added again.
    fs::remove(station / "report.log");
    dir.Write("station/report.log", Record("Sidorov", "5") + Record("Kuznetsov", "4"));
    SyncRun rotated = Sync(collector.Port, station, key);
    EXPECT_EQ(rotated.Run.ExitCode, 0) << rotated.Run.Out;
    EXPECT_NE(rotated.Run.Out.find("заменён"), std::string::npos) << rotated.Run.Out;
    EXPECT_NE(rotated.Run.Out.find("новых 1, уже были на сервере 1"), std::string::npos)
        << rotated.Run.Out;
    const auto page =
        nlohmann::json::parse(BodyOf(collector.Teacher("GET", "/api/results")), nullptr, false);
    ASSERT_TRUE(page.is_object());
    std::vector<std::string> users;
    for (const auto& row : page["rows"]) {
        users.push_back(row["user"]);
        EXPECT_EQ(row["source"], "report.log");
    }
    EXPECT_EQ(users, (std::vector<std::string>{"Ivanov", "Petrov", "Sidorov", "Kuznetsov"}));
}

TEST(SyncTool, LyingOrStallingServerLeavesTheFolderAsItWas) {
    const std::string good = "TITLE=X\r\n";
    const std::string goodSha = Sha256Hex(good);
    using Reply = FakeClassServer::Reply;
    const std::string manifestPath(kStationManifestPath);
    const std::string files(kStationFilesPath);
    std::vector<std::tuple<std::string, long long, std::string>> many;
    for (int i = 0; i < 10000; ++i) {
        many.emplace_back("t" + std::to_string(i) + ".ttxt", 1, goodSha);
    }
    const struct {
        const char* What;
        std::map<std::string, Reply> Replies;
        int Exit;
        const char* Says;
    } rows[] = {
        {"wrong size",
         {{manifestPath, FakeClassServer::Ok(ManifestOf({{"new.ttxt", 99, goodSha}}))},
          {files + "new.ttxt", FakeClassServer::Ok(good)}},
         1,
         "не совпал"},
        {"wrong hash",
         {{manifestPath, FakeClassServer::Ok(ManifestOf({{"new.ttxt", 9, std::string(64, '0')}}))},
          {files + "new.ttxt", FakeClassServer::Ok(good)}},
         1,
         "не совпал"},
        {"good file then bad one",
         {{manifestPath, FakeClassServer::Ok(ManifestOf(
                             {{"a.ttxt", 9, goodSha}, {"b.ttxt", 9, std::string(64, '1')}}))},
          {files + "a.ttxt", FakeClassServer::Ok(good)},
          {files + "b.ttxt", FakeClassServer::Ok(good)}},
         1,
         "не совпал"},
        {"slash",
         {{manifestPath, FakeClassServer::Ok(ManifestOf({{"../x.ttxt", 9, goodSha}}))}},
         1,
         "недопустимое имя"},
        {"2 GB",
         {{manifestPath, FakeClassServer::Ok(ManifestOf({{"x.ttxt", 2LL << 30, goodSha}}))}},
         1,
         "слишком большой"},
        {"10,000 files",
         {{manifestPath, FakeClassServer::Ok(ManifestOf(many))}},
         1,
         "слишком много"},
        {"not JSON", {{manifestPath, FakeClassServer::Ok("<html>")}}, 1, "не читается"},
        {"stalls mid-file",
         {{manifestPath, FakeClassServer::Ok(ManifestOf({{"new.ttxt", 9, goodSha}}))},
          {files + "new.ttxt", Reply{"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nTITLE", true}}},
         1,
         "время вышло"},
        {"stalls in the manifest",
         {{manifestPath, Reply{"HTTP/1.1 200 OK\r\nContent-Le", true}}},
         1,
         "время вышло"},
        {"file longer than announced",
         {{manifestPath, FakeClassServer::Ok(ManifestOf({{"new.ttxt", 3, goodSha}}))},
          {files + "new.ttxt", FakeClassServer::Ok(good)}},
         1,
         "больше допустимого"},
    };
    for (const auto& row : rows) {
        TempDir dir;
        const fs::path station = dir.Path / "station";
        const std::string key = dir.Write("key", kKey).string();
        dir.Write("station/tezra/old.ttxt", "synced before");
        dir.Write("station/tezra/.tezra-sync", "{\"files\":[\"old.ttxt\"],\"version\":\"v0\"}");
        dir.Write("station/tezra/hand.ttxt", "school's own");
        const auto before = Snapshot(station);
        FakeClassServer server(row.Replies);
        const SyncRun run = Sync(server.Port(), station, key, "1");
        EXPECT_EQ(run.Run.ExitCode, row.Exit) << row.What << "\n" << run.Run.Out;
        EXPECT_NE(run.Run.Out.find(row.Says), std::string::npos) << row.What << "\n"
                                                                 << run.Run.Out;
        EXPECT_EQ(Snapshot(station), before) << row.What;
        EXPECT_LT(run.Seconds, 5.0) << row.What;  // a 1 s limit; a stall would never end
    }
    // Nobody listening: nothing changes, status 1.
    TempDir dir;
    dir.Write("station/tezra/old.ttxt", "synced before");
    const auto before = Snapshot(dir.Path / "station");
    const SyncRun dead =
        Sync(UnusedLoopbackPort(), dir.Path / "station", dir.Write("key", kKey).string());
    EXPECT_EQ(dead.Run.ExitCode, 1) << dead.Run.Out;
    EXPECT_NE(dead.Run.Out.find("недоступен"), std::string::npos) << dead.Run.Out;
    EXPECT_EQ(Snapshot(dir.Path / "station"), before);
}

TEST(SyncTool, FullDiskLeavesTheFolderAsItWas) {
    TempDir dir;
    CollectorChild collector(dir.Path);
    ASSERT_GT(collector.Port, 0);
    const std::string big = BigTest(200000);
    ASSERT_EQ(StatusOf(collector.Teacher("PUT", "/api/tests/big.ttxt", big)), 201);
    ASSERT_EQ(StatusOf(collector.Teacher("PATCH", "/api/tests/big.ttxt", "{\"published\":true}")),
              200);
    const fs::path station = dir.Path / "station";
    dir.Write("station/tezra/hand.ttxt", "school's own");
    const auto before = Snapshot(station);
    // Files of at most 100 blocks of 512 bytes: the test does not fit.
    const SyncRun run = Sync(collector.Port, station, (dir.Path / "station.key").string(), "3",
                             "ulimit -f 100; trap '' XFSZ; exec ");
    EXPECT_EQ(run.Run.ExitCode, 2) << run.Run.Out;
    EXPECT_NE(run.Run.Out.find("не записан"), std::string::npos) << run.Run.Out;
    EXPECT_EQ(Snapshot(station), before);
}

TEST(SyncTool, LibraryTestIsOldOrNewAfterKillNine) {
    TempDir dir;
    const std::string oldVersion = kTextTest;
    const std::string newVersion = BigTest(8 * 1024 * 1024);
    {
        CollectorChild collector(dir.Path);
        ASSERT_EQ(StatusOf(collector.Teacher("PUT", "/api/tests/x.ttxt", oldVersion)), 201);
    }
    std::set<std::string> seen;
    for (int round = 0; round < 6; ++round) {
        {
            CollectorChild collector(dir.Path);
            ASSERT_GT(collector.Port, 0);
            std::thread writer([&collector, &newVersion, round] {
                collector.Teacher("PUT", "/api/tests/x.ttxt", round % 2 ? newVersion : kTextTest);
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(40 * round));
            collector.Kill(SIGKILL);
            writer.join();
        }
        CollectorChild restarted(dir.Path);
        ASSERT_GT(restarted.Port, 0);
        const std::string body = BodyOf(restarted.Teacher("GET", "/api/tests/x.ttxt"));
        EXPECT_TRUE(body == oldVersion || body == newVersion)
            << round << ": " << body.size() << " bytes";
        seen.insert(body == oldVersion ? "old" : "new");
        const auto list =
            nlohmann::json::parse(BodyOf(restarted.Teacher("GET", "/api/tests")), nullptr, false);
        EXPECT_EQ(list.size(), 1u) << round;
    }
    EXPECT_TRUE(seen.count("old"));
}
