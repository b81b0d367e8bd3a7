// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the tezra-tool executable in tests and captures what it prints.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

struct ToolRun {
    int ExitCode = -1;
    std::string Out;  // standard output; standard error goes to the test's log
};

// Quotes one argument for the shell.
inline std::string ShellQuote(const std::string& argument) {
    std::string quoted = "'";
    for (char c : argument) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline ToolRun RunTool(const std::vector<std::string>& arguments, const std::string& input = {}) {
    std::string command = ShellQuote(TEZRA_TOOL_PATH);
    for (const auto& argument : arguments) {
        command += " " + ShellQuote(argument);
    }
    command +=
        input.empty() ? " </dev/null" : " <<'TEZRA_INPUT_END'\n" + input + "\nTEZRA_INPUT_END\n";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer{};
    std::size_t read = 0;
    while ((read = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        run.Out.append(buffer.data(), read);
    }
    const int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
