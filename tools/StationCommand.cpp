// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool station DIR: what a station whose program folder is DIR reads at start-up.

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "platform/FileEnum.h"
#include "settings/TestDescription.h"
#include "settings/UCommon.h"
#include "tools/Commands.h"
#include "tools/JsonText.h"

namespace {

// Paths are shown as text: file names on Linux are UTF-8 already.
nlohmann::json PathList(const std::vector<std::filesystem::path>& paths) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& path : paths) {
        list.push_back(path.string());
    }
    return list;
}

nlohmann::json TextList(const std::vector<std::string>& texts) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& text : texts) {
        list.push_back(JsonText(text));
    }
    return list;
}

nlohmann::json StationJson(const TSettings& settings) {
    nlohmann::json names = nlohmann::json::array();
    for (const auto& file : settings.TestFiles) {
        names.push_back(JsonText(TestDisplayText(file)));
    }
    return nlohmann::json{
        {"ProgramDir", settings.ProgramDir.string()},
        {"TestDir", settings.TestDir.string()},
        {"SplashDir", settings.SplashDir.string()},
        {"ReportLog", settings.ReportLog.string()},
        {"NeedLogin", settings.NeedLogin},
        {"NeedPassword", settings.NeedPassword},
        {"RefreshTests", settings.RefreshTests},
        {"Secure", settings.Secure},
        {"SaveResults", settings.SaveResults},
        {"ReportLevel", settings.ReportLevel},
        {"GroupNames", settings.GroupNames ? TextList(*settings.GroupNames) : nlohmann::json()},
        {"Servers", TextList(settings.Servers)},
        {"TestFiles", PathList(settings.TestFiles)},
        {"TestNames", names},
        {"SplashFiles", PathList(settings.SplashFiles)},
    };
}

}  // namespace

void AddStationCommand(CLI::App& app, int& exitCode) {
    auto* command = app.add_subcommand("station", "Print what the station in DIR reads, as JSON");
    auto dir = std::make_shared<std::string>();
    command->add_option("DIR", *dir, "The station's program folder")->required();
    command->callback([dir, &exitCode] {
        std::error_code error;
        const auto folder = std::filesystem::absolute(*dir, error);
        if (error || !std::filesystem::is_directory(folder)) {
            std::cerr << "station: not a folder: " << *dir << "\n";
            exitCode = 2;
            return;
        }
        const TSettings settings(folder / "tezra-net");
        std::cout << StationJson(settings).dump(2) << "\n";
        exitCode = 0;
    });
}
