// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tezra-collector executable as a child process on 127.0.0.1 with a port the kernel
// picked; everything it prints goes to a file the test reads afterwards.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/collector/CollectorFixture.h"
#include "tests/common/RunTool.h"

class CollectorProcess {
public:
    // Starts the collector with the teacher's password and the station key in the folder,
    // the database and the name given, and waits until it listens (or ends).
    CollectorProcess(const std::filesystem::path& folder, const std::string& database,
                     const std::string& name, const std::string& stationKey = "st-key-1") {
        const std::string password = (folder / ("password-" + name)).string();
        const std::string key = (folder / ("station-" + name + ".key")).string();
        std::ofstream(password) << kTeacherPassword << "\n";
        std::ofstream(key) << stationKey << "\n";
        output_ = folder / ("collector-" + name + ".out");
        Start({"--listen", "127.0.0.1:0", "--db", database, "--name", name,
               "--teacher-password-file", password, "--station-key-file", key,
               "--max-results-per-minute", "0"});
    }
    ~CollectorProcess() { Kill(SIGTERM); }
    CollectorProcess(const CollectorProcess&) = delete;
    CollectorProcess& operator=(const CollectorProcess&) = delete;

    // Runs the executable to its end with the arguments; its exit code, and what it printed
    // (standard output and error together) in output.
    static int Run(const std::vector<std::string>& arguments, std::string& output) {
        std::string command = ShellQuote(TEZRA_COLLECTOR_PATH);
        for (const std::string& argument : arguments) {
            command += " " + ShellQuote(argument);
        }
        command += " 2>&1 </dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        char buffer[4096];
        std::size_t got = 0;
        output.clear();
        while (pipe != nullptr && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, got);
        }
        const int status = pipe != nullptr ? ::pclose(pipe) : -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int Port() const { return port_; }
    std::string Output() const {
        std::ifstream file(output_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    // Sends the signal and waits for the end; the exit status as waitpid gives it.
    int Kill(int signal) {
        int status = 0;
        if (pid_ > 0) {
            ::kill(pid_, signal);
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        return status;
    }

    // A request of the teacher (with the password) and its answer.
    std::string Teacher(const std::string& method, const std::string& target,
                        const std::string& body = {}) const {
        return Exchange(port_, method + " " + target + " HTTP/1.1\r\n" + TeacherAuthorization() +
                                   "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                   body);
    }

private:
    void Start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), TEZRA_COLLECTOR_PATH);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int out = ::open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out);
        const std::string marker = "Listening on 127.0.0.1:";
        for (int i = 0; i < 200; ++i) {
            const std::string text = Output();
            const std::size_t at = text.find(marker);
            if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
                port_ = std::stoi(text.substr(at + marker.size()));
                return;
            }
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    std::filesystem::path output_;
    pid_t pid_ = -1;
    int port_ = 0;
};
