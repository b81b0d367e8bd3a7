// SPDX-License-Identifier: GPL-3.0-or-later
// The tezra-collector executable as a school runs it: killed with SIGKILL right after it
// acknowledged results and started again on the same file; the import of a journal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "net/HttpClient.h"
#include "net/ResultSubmission.h"
#include "platform/Cp1251.h"
#include "tests/collector/CollectorFixture.h"
#include "tests/common/RunTool.h"

namespace {

// A tezra-collector child process listening on 127.0.0.1 at a port the kernel chose.
class CollectorProcess {
public:
    explicit CollectorProcess(std::vector<std::string> arguments) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            return;
        }
        arguments.insert(arguments.begin(), {TEZRA_COLLECTOR_PATH, "--listen", "127.0.0.1:0"});
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
        output_ = pipeFds[0];
        ReadUntil("Results database:");
        const std::size_t at = Output.find("Listening on 127.0.0.1:");
        if (at != std::string::npos) {
            Port = std::stoi(Output.substr(at + 23));
        }
        ReadUntil("Teacher's password");
        ReadUntil("\n", Output.find("Teacher's password"));
    }
    ~CollectorProcess() {
        Kill(SIGTERM);
        ::close(output_);
    }

    // Sends the signal and waits for the process to end; its exit status.
    int Kill(int signal) {
        if (pid_ <= 0) {
            return -1;
        }
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(Port) + target;
    }

    int Port = 0;
    std::string Output;

private:
    // Reads the child's output until text appears after from, for at most 10 seconds.
    void ReadUntil(const std::string& text, std::size_t from = 0) {
        for (int i = 0; i < 100 && Output.find(text, from) == std::string::npos; ++i) {
            pollfd entry{output_, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0) {
                continue;
            }
            char buffer[512];
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got <= 0) {
                return;
            }
            Output.append(buffer, static_cast<std::size_t>(got));
        }
    }

    pid_t pid_ = -1;
    int output_ = -1;
};

TEST(CollectorExecutable, AcknowledgedResultsSurviveKillNine) {
    TempDir dir;
    const std::string database = FreshDatabase()(dir.Path);
    std::string password;
    {
        CollectorProcess first({"--db", database});
        ASSERT_GT(first.Port, 0) << first.Output;
        // Without a password file a password is made up and printed.
        const std::string label = "Teacher's password (any user name): ";
        const std::size_t at = first.Output.find(label);
        ASSERT_NE(at, std::string::npos) << first.Output;
        password = first.Output.substr(at + label.size(), 12);
        HttpClient station;
        for (int i = 1; i <= 20; ++i) {
            const std::string query = BuildResultQuery(
                Utf8ToCp1251("11Б"), Utf8ToCp1251("Ученик " + std::to_string(i)), i * 0.5f, 5);
            const HttpResult result = station.Get(first.Url("/tezra/result?" + query));
            ASSERT_EQ(result.status, 200) << to_string(result.error);
        }
        const int status = first.Kill(SIGKILL);  // right after the last 200
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    const auto passwordFile = dir.Write("password", password + "\n");
    CollectorProcess second({"--db", database, "--teacher-password-file", passwordFile.string()});
    ASSERT_GT(second.Port, 0) << second.Output;
    EXPECT_EQ(StatusOf(Exchange(second.Port,
                                "GET / HTTP/1.1\r\n" + TeacherAuthorization("wrong") + "\r\n")),
              401);
    const std::string answer = Exchange(
        second.Port, "GET /results.json HTTP/1.1\r\n" + TeacherAuthorization(password) + "\r\n");
    ASSERT_EQ(StatusOf(answer), 200) << answer;
    const auto rows = nlohmann::json::parse(BodyOf(answer));
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[19]["user"], "Ученик 20");
    EXPECT_DOUBLE_EQ(rows[19]["points"].get<double>(), 10.0);
    // The restarted collector goes on with the same file.
    HttpClient station;
    EXPECT_EQ(station.Get(second.Url("/tezra/result?group=a&user=b&res=1&mark=2")).status, 200);
}

TEST(CollectorExecutable, ImportsAJournalWithADamagedRecord) {
    TempDir dir;
    const std::string journal = Utf8ToCp1251(
        "===================\r\nUser=Иванов\r\nGroup=9Б\r\nTest=Физика\r\nQuestions=10\r\n"
        "Points=7.500\r\nMark=4\r\nStart at=14.05.2025 10:00:00\r\nDuration=12:30\r\n"
        "\r\n"
        "===================\r\nUser=Петров\r\nGroup=9Б\r\nTest=Физика\r\nQuestions=10\r\n"
        "Points=5.000\r\nMark=7\r\nStart at=14.05.2025 10:20:00\r\nDuration=1:30\r\n");
    const auto log = dir.Write("report.log", journal);
    const std::string database = FreshDatabase()(dir.Path);
    const std::string command = ShellQuote(TEZRA_COLLECTOR_PATH) + " import --db " +
                                ShellQuote(database) + " --station class-7 " +
                                ShellQuote(log.string()) + " 2>&1";
    for (const char* expected : {": 1 added, 0 already in the database, 1 damaged",
                                 ": 0 added, 1 already in the database, 1 damaged"}) {
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[512];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, got);
        }
        const int status = ::pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
        EXPECT_NE(output.find("report.log:17: skipped: Mark="), std::string::npos) << output;
        EXPECT_NE(output.find(expected), std::string::npos) << output;
    }
}

}  // namespace
