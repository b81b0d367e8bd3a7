// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private PostgreSQL 15 server for tests and benchmarks: initdb and pg_ctl in a temporary
// folder, run as an unprivileged user (initdb refuses root), listening on 127.0.0.1 only on a
// port the kernel picked, its socket in the same folder. A guard process stops the server and
// removes the folder when the owning process ends, also when it crashes.

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

class PgServer {
public:
    static constexpr const char* kUser = "tezra";
    static constexpr const char* kPassword = "pg-Secret-7431";

    // The folder of initdb and pg_ctl: TEZRA_PG_BINDIR, else Debian's PostgreSQL 15.
    static std::filesystem::path BinDir() {
        const char* dir = std::getenv("TEZRA_PG_BINDIR");
        return dir != nullptr && *dir != '\0' ? dir : "/usr/lib/postgresql/15/bin";
    }
    static bool Installed() {
        return ::access((BinDir() / "initdb").c_str(), X_OK) == 0 &&
               ::access((BinDir() / "pg_ctl").c_str(), X_OK) == 0;
    }

    // Creates the cluster and starts it; Error() says why when Running() is false. With
    // durable false the server skips fsync, which the tests do not need.
    explicit PgServer(bool durable = false) {
        if (!Installed()) {
            error_ = "PostgreSQL 15 is not installed (no initdb in " + BinDir().string() + ")";
            return;
        }
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tezra-pg-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            error_ = "no temporary folder";
            return;
        }
        dir_ = pattern;
        StartGuard();
        if (!Initialise(durable)) {
            return;
        }
        for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
            port_ = FreePort();
            WritePort();
            running_ = Start();
        }
        if (!running_) {
            error_ = "the server did not start: " + LogTail();
        }
    }
    ~PgServer() {
        if (running_) {
            Ctl({"stop", "-m", "immediate"});
        }
        if (guardWrite_ >= 0) {
            ::close(guardWrite_);  // the guard removes the folder once this closes
            int status = 0;
            ::waitpid(guard_, &status, 0);
        }
    }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool Running() const { return running_; }
    const std::string& Error() const { return error_; }
    int Port() const { return port_; }

    // The connection URI of a database on this server, with the password.
    std::string Uri(const std::string& database) const {
        return std::string("postgresql://") + kUser + ":" + kPassword +
               "@127.0.0.1:" + std::to_string(port_) + "/" + database;
    }

    // A new empty database; its name (for Uri), or empty when it could not be made.
    std::string CreateDatabase() {
        static std::atomic<int> counter{0};
        const std::string name =
            "t" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
        return Execute("postgres", "CREATE DATABASE " + name + " TEMPLATE template0")
                   ? name
                   : std::string();
    }

    // Runs one statement; false with the server's message in Error() when it fails.
    bool Execute(const std::string& database, const std::string& sql) {
        Connection connection(PQconnectdb(Uri(database).c_str()));
        if (PQstatus(connection.get()) != CONNECTION_OK) {
            error_ = PQerrorMessage(connection.get());
            return false;
        }
        Result result(PQexec(connection.get(), sql.c_str()));
        const auto status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            error_ = PQerrorMessage(connection.get());
            return false;
        }
        return true;
    }

    // The first column of every row a query returns, as text; empty when it fails.
    std::vector<std::string> Column(const std::string& database, const std::string& sql) {
        std::vector<std::string> values;
        Connection connection(PQconnectdb(Uri(database).c_str()));
        Result result(PQexec(connection.get(), sql.c_str()));
        if (PQresultStatus(result.get()) == PGRES_TUPLES_OK) {
            for (int row = 0; row < PQntuples(result.get()); ++row) {
                values.emplace_back(PQgetvalue(result.get(), row, 0));
            }
        } else {
            error_ = PQerrorMessage(connection.get());
        }
        return values;
    }

    // Stops the server ("fast" finishes nothing new and shuts down cleanly; "immediate" is a
    // crash) and starts it again on the same port.
    bool Stop(const std::string& mode = "fast") {
        running_ = running_ && !Ctl({"stop", "-m", mode});
        return !running_;
    }
    bool Start() {
        running_ = Ctl({"start", "-w", "-t", "60", "-l", (dir_ / "server.log").string()});
        return running_;
    }

private:
    struct ConnectionCloser {
        void operator()(PGconn* connection) const { PQfinish(connection); }
    };
    struct ResultClearer {
        void operator()(PGresult* result) const { PQclear(result); }
    };
    using Connection = std::unique_ptr<PGconn, ConnectionCloser>;
    using Result = std::unique_ptr<PGresult, ResultClearer>;

    static int FreePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        ::close(fd);
        return port;
    }

    // Runs a program and waits for it; as root through runuser as the unprivileged user.
    bool Run(std::vector<std::string> arguments) const {
        if (::geteuid() == 0) {
            arguments.insert(arguments.begin(), {"/usr/sbin/runuser", "-u", "nobody", "--"});
        }
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string output = (dir_ / "commands.log").string();
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        pid_t pid = 0;
        const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        return spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }

    bool Ctl(const std::vector<std::string>& arguments) const {
        std::vector<std::string> command{(BinDir() / "pg_ctl").string(), "-D",
                                         (dir_ / "data").string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return Run(command);
    }

    // The folder belongs to the user the server runs as; the password goes in by a file.
    bool Initialise(bool durable) {
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody == nullptr || ::chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
                error_ = "cannot hand the folder to the user nobody";
                return false;
            }
        }
        const auto passwordFile = dir_ / "password";
        std::ofstream(passwordFile) << kPassword << "\n";
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            [[maybe_unused]] const int ignored =
                ::chown(passwordFile.c_str(), nobody->pw_uid, nobody->pw_gid);
        }
        if (!Run({(BinDir() / "initdb").string(), "-D", (dir_ / "data").string(), "-U", kUser,
                  "--pwfile=" + passwordFile.string(), "--auth-local=trust",
                  "--auth-host=scram-sha-256", "-E", "UTF8", "--locale=C", "--no-sync",
                  "--no-instructions"})) {
            error_ = "initdb failed: " + TempDirRead("commands.log");
            return false;
        }
        std::ofstream conf(dir_ / "data" / "postgresql.conf", std::ios::app);
        conf << "listen_addresses = '127.0.0.1'\n"
             << "unix_socket_directories = '" << dir_.string() << "'\n"
             << "max_connections = 200\n"
             << "include_if_exists = 'port.conf'\n";
        if (!durable) {
            conf << "fsync = off\nfull_page_writes = off\n";
        }
        return true;
    }

    void WritePort() const {
        std::ofstream(dir_ / "data" / "port.conf") << "port = " << port_ << "\n";
    }

    std::string TempDirRead(const std::string& name) const {
        std::ifstream file(dir_ / name);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::string LogTail() const {
        const std::string log = TempDirRead("server.log");
        return log.size() > 2000 ? log.substr(log.size() - 2000) : log;
    }

    // A shell that waits for this process's end of a pipe to close, then stops the server
    // and removes the folder: the same clean-up after a normal end, a failure or a crash.
    void StartGuard() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        const std::string runAs = ::geteuid() == 0 ? "/usr/sbin/runuser -u nobody -- " : "";
        const std::string script =
            "cat >/dev/null; " + runAs + "'" + (BinDir() / "pg_ctl").string() + "' -D '" +
            (dir_ / "data").string() + "' stop -m immediate >/dev/null 2>&1; rm -rf '" +
            dir_.string() + "'";
        std::vector<std::string> arguments{"/bin/sh", "-c", script};
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        if (::posix_spawn(&guard_, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            guardWrite_ = fds[1];
        } else {
            ::close(fds[1]);
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[0]);
    }

    std::filesystem::path dir_;
    std::string error_;
    int port_ = 0;
    bool running_ = false;
    pid_t guard_ = -1;
    int guardWrite_ = -1;
};
