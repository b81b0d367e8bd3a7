// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/UCommon.h"

#include <array>
#include <cstdio>

#include "platform/FileEnum.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "platform/TestFileTypes.h"

std::unique_ptr<TSettings> Settings;

namespace {

constexpr std::array<std::string_view, 2> kSplashPatterns = {"*.jpg", "*.jpeg"};

}  // namespace

TSettings::TSettings() : TSettings(StationProgramPath()) {}

TSettings::TSettings(const std::filesystem::path& executablePath) {
    ProgramDir = executablePath.parent_path();
    IniPath = executablePath;
    IniPath.replace_extension(".ini");
    ReadIniSettings();
    SplashDir = ProgramDir / "splash";
    TestDir = ProgramDir / "tezra";
    ReportLog = ProgramDir / "report.log";
    AttemptJournal = ProgramDir / "attempt.dat";
    ScanSplashFiles();
    ScanTestFiles();
}

void TSettings::ReadIniSettings() {
    std::error_code error;
    if (!std::filesystem::exists(IniPath, error)) {
        return;
    }
    TIniFile ini;
    if (!ini.LoadFromFile(IniPath)) {
        return;  // an unreadable ini leaves the built-in defaults
    }
    NeedLogin = ini.ReadInteger("general", "needlogin", 0) != 0;
    NeedPassword = ini.ReadInteger("general", "needpassword", 0) != 0;
    RefreshTests = ini.ReadInteger("general", "refreshtezras", 0) != 0;
    Secure = ini.ReadInteger("general", "secure", 1) != 0;
    SaveResults = ini.ReadInteger("general", "saveresults", 1) != 0;
    ReportLevel = ini.ReadInteger("general", "reportlevel", 0);
    Resume = ini.ReadInteger("general", "resume", 1) != 0;
    if (ini.SectionExists("groups")) {
        GroupNames = ini.ReadSection("groups");
    }
    if (ini.SectionExists("servers")) {
        Servers = ini.ReadSection("servers");
    }
}

void TSettings::ScanSplashFiles() {
    SplashFiles.clear();
    for (std::string_view pattern : kSplashPatterns) {
        FindFiles(&SplashFiles, SplashDir, pattern);
    }
}

void TSettings::ScanTestFiles() {
    TestFiles.clear();
    for (const TTestFileType& type : TestFileTypes) {
        FindFiles(&TestFiles, TestDir, "*" + std::string(type.Extension));
    }
}

bool TSettings::AppendResultLog(const TTestOutcome& outcome) const {
    const TResultRecord record{User,      StudentGroup, TestName, outcome,
                               StartDate, StartTime,    EndTime};
    std::error_code error;
    if (AppendResultRecord(ReportLog, record, &error)) {
        return true;
    }
    std::fprintf(stderr, "tezra-net: %s: the result record was not written: %s\n",
                 ReportLog.c_str(), error.message().c_str());
    return false;
}

int FindFiles(std::vector<std::filesystem::path>* list, const std::filesystem::path& folder,
              std::string_view pattern) {
    if (list == nullptr) {
        return -1;
    }
    const auto found = EnumerateFiles(folder, pattern);
    list->insert(list->end(), found.begin(), found.end());
    return static_cast<int>(found.size());
}
