// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool get and submit: fetch URLs with the station's HTTP client, and send a result
// through the station's server walk, so that a teacher can check that a station reaches its
// result servers.

#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/HttpClient.h"
#include "net/ResultSubmission.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/TextUtils.h"
#include "tools/Commands.h"

#ifndef TEZRA_DEFAULT_SERVER
#error "TEZRA_DEFAULT_SERVER names the compiled-in result server; CMake defines it"
#endif

namespace {

// cp1251 text for the console, with the message boxes' carriage returns as line breaks.
std::string ConsoleText(std::string_view cp1251) {
    return Cp1251ToUtf8(LineBreaksToLf(cp1251));
}

// The activity box and the dialogs of the walk on the console: attempt lines as the box shows
// them, messages as text, and input boxes read from stdin (end of input is Cancel).
class ConsoleView : public SubmissionView {
public:
    void ClearActivity() override {}
    void ShowActivity(const std::string&) override {}
    void AppendActivityLine(const std::string& line) override {
        std::cout << ConsoleText(line) << std::flush;
    }
    void FinishActivityLine(const std::string& ending) override {
        std::cout << ConsoleText(ending) << std::endl;
    }
    void HideActivity() override {}
    void Sleep(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    void ShowMessage(const std::string& text) override {
        std::cout << ConsoleText(text) << std::endl;
    }
    std::string InputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override {
        std::cout << ConsoleText(caption) << "\n" << ConsoleText(prompt) << std::endl;
        std::string typed;
        if (!std::getline(std::cin, typed)) {
            return defaultText;
        }
        if (!typed.empty() && typed.back() == '\r') {
            typed.pop_back();
        }
        return Utf8ToCp1251(typed);
    }
};

struct SubmitOptions {
    std::string serverAddress = TEZRA_DEFAULT_SERVER;
    std::vector<std::string> servers;
    std::string group;
    std::string user;
    std::string points;
    int mark = 0;
};

int RunGet(const std::vector<std::string>& urls) {
    HttpClient client;
    int status = 0;
    for (const std::string& url : urls) {
        const HttpResult result = client.Get(Utf8ToCp1251(url));
        if (result.Ok()) {
            std::cout << "ok " << result.status << " " << result.body.size() << std::endl;
        } else {
            std::cout << "fail " << to_string(result.error) << std::endl;
            status = 1;
        }
    }
    return status;
}

int RunSubmit(const CLI::App& command, const SubmitOptions& options) {
    const std::optional<double> points = ParseFloat(options.points);
    if (!points) {
        std::cerr << "Error: --points is not a number: " << options.points << "\n\n"
                  << command.help();
        return 2;
    }
    std::vector<std::string> servers;
    for (const std::string& server : options.servers) {
        servers.push_back(Utf8ToCp1251(server));
    }
    std::string serverAddress = Utf8ToCp1251(options.serverAddress);
    HttpClient client;
    ConsoleView view;
    ResultSubmission submission([&client](const std::string& url) { return client.Get(url).Ok(); },
                                view);
    const bool accepted =
        submission.Submit(servers, serverAddress, Utf8ToCp1251(options.group),
                          Utf8ToCp1251(options.user), static_cast<float>(*points), options.mark);
    return accepted ? 0 : 1;
}

}  // namespace

void AddNetCommands(CLI::App& app, int& exitCode) {
    CLI::App* get = app.add_subcommand(
        "get",
        "GET each URL with the station's HTTP client; print 'ok STATUS BODYBYTES' or "
        "'fail REASON' per URL (UTF-8 arguments go out as cp1251)");
    auto urls = std::make_shared<std::vector<std::string>>();
    get->add_option("url", *urls, "URLs, fetched in order on one client")->required();
    get->callback([urls, &exitCode] { exitCode = RunGet(*urls); });

    CLI::App* submit = app.add_subcommand(
        "submit",
        "Send a result to the result servers as a station does; exit 0 when a server "
        "accepted it");
    auto options = std::make_shared<SubmitOptions>();
    submit->add_option("--server-address", options->serverAddress, "Server tried first")
        ->capture_default_str();
    submit->add_option("--servers", options->servers, "The [servers] list, comma-separated")
        ->delimiter(',');
    submit->add_option("--group", options->group, "The student's group")->required();
    submit->add_option("--user", options->user, "The student's surname")->required();
    submit->add_option("--points", options->points, "The points, with '.' as decimal point")
        ->required();
    submit->add_option("--mark", options->mark, "The mark")->required();
    submit->callback([submit, options, &exitCode] { exitCode = RunSubmit(*submit, *options); });
}
