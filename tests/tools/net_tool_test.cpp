// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool get and submit against scripted loopback servers.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/net/ScriptedServer.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string output;
};

// Runs tezra-tool with the given shell-quoted arguments; stdin is the printf format input, or
// /dev/null without one.
ToolRun RunTool(const std::string& arguments, const char* input = nullptr) {
    std::string command = std::string("'") + TEZRA_TOOL_PATH + "' " + arguments;
    command = input != nullptr ? "printf '" + std::string(input) + "' | " + command
                               : command + " < /dev/null";
    ToolRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

// A port on 127.0.0.1 that answers nothing: a server that is already gone.
int DeadPort() {
    const ScriptedServer gone({});
    return gone.Port();
}

TEST(NetTool, GetPrintsOneLinePerUrl) {
    ScriptedServer server({{ReadRequest(), Send(Response(200, "hello")), ReadRequest(),
                            Send(Response(404, "missing"))}});
    const ToolRun run = RunTool("get " + Quote(server.Url("/a?u=Иванов")) + " " +
                                Quote(server.Url("/b")) + " 'http:///c'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "ok 200 5\nfail error-status\nfail empty-host\n");
    ASSERT_EQ(server.Requests().size(), 2u);
    // One client: both requests on one connection; the UTF-8 argument goes out as cp1251.
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_TRUE(
        server.Requests()[0].starts_with("GET /a?u=\xC8\xE2\xE0\xED\xEE\xE2 HTTP/1.1\r\n"));

    ScriptedServer good({{ReadRequest(), Send(Response(204, ""))}});
    const ToolRun ok = RunTool("get " + Quote(good.Url("/x")));
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.output, "ok 204 0\n");
}

TEST(NetTool, SubmitWalksTheServersUntilOneAccepts) {
    ScriptedServer server({{ReadRequest(), Send(Response(200, "stored"))}});
    const std::string dead = "127.0.0.1:" + std::to_string(DeadPort());
    const std::string live = "127.0.0.1:" + std::to_string(server.Port());
    const ToolRun run = RunTool("submit --server-address " + dead + " --servers " + live +
                                " --group 10Б --user 'Иванов Пётр' --points 2.7 --mark 3");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "Пробуем адрес " + dead + " -> абламинго!\nПробуем адрес " + live +
                              " -> нормалёк!\n");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(server.Requests()[0].starts_with(
        "GET /tezra/result?group=10\xC1&user=\xC8\xE2\xE0\xED\xEE\xE2%20\xCF\xB8\xF2\xF0"
        "&res=27000&mark=3 HTTP/1.1\r\n"))
        << server.Requests()[0];
}

TEST(NetTool, SubmitFallsBackToTheTeacher) {
    const std::string dead = "127.0.0.1:" + std::to_string(DeadPort());
    const std::string args =
        "submit --server-address " + dead + " --group 9B --user Smith --points 3.5 --mark 4";
    const std::string prompt = "Результат теста\nБаллы = 3.5\nОценка= 4\n\nВведите СЛОВО:\n";
    const std::string head = "Пробуем адрес " + dead +
                             " -> абламинго!\n"
                             "Пожалуйста, позовите учителя к своему компьютеру!\n"
                             "Необходимо позвать учителя к своему компьютеру!\n";

    const ToolRun acknowledged = RunTool(args, "no\\nок\\n");
    EXPECT_EQ(acknowledged.status, 1);
    EXPECT_EQ(acknowledged.output, head + prompt + prompt);

    const ToolRun noInput = RunTool(args);
    EXPECT_EQ(noInput.status, 1);
    EXPECT_EQ(noInput.output, head + prompt + prompt + prompt);

    EXPECT_EQ(RunTool("submit --group 9B --user Smith --points 3,5 --mark 4").status, 2);
}

}  // namespace
