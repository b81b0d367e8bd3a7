// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's settings: the ini file beside the executable, the local folders and file
// lists, and the record of the current student's pass.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TimeOfDay.h"
#include "settings/ResultLog.h"

class TSettings {
public:
    // Reads the settings of the station whose executable is the running program, or of the
    // station folder that TEZRA_STATION_DIR names.
    TSettings();
    // Reads the settings of a station whose executable would be at executablePath; the ini
    // file is that path with the extension ".ini".
    explicit TSettings(const std::filesystem::path& executablePath);

    void ReadIniSettings();
    void ScanSplashFiles();
    void ScanTestFiles();
    // Appends one record for the finished pass to ReportLog; false when it could not be
    // written. Nothing is shown to the student either way; a failure is told in one line on
    // standard error, where the school's session log keeps it.
    bool AppendResultLog(const TTestOutcome& outcome) const;

    std::filesystem::path ProgramDir;
    std::filesystem::path TestDir;
    std::filesystem::path SplashDir;
    std::vector<std::filesystem::path> TestFiles;
    std::vector<std::filesystem::path> SplashFiles;
    bool NeedLogin = false;
    bool NeedPassword = false;
    std::string StudentGroup;  // cp1251
    std::string User;          // cp1251
    std::string Password;      // cp1251; stored only, never checked, logged or sent
    double StartTime = 0;      // time of day as a fraction of a day
    double EndTime = 0;
    bool Secure = true;
    bool RefreshTests = true;
    std::filesystem::path TestFile;  // empty when no test was chosen
    std::string TestName;            // cp1251: the chooser's display text
    bool SaveResults = true;
    std::int32_t ReportLevel = 0;
    std::filesystem::path ReportLog;
    std::optional<std::vector<std::string>> GroupNames;  // absent without a [groups] section
    std::vector<std::string> Servers;                    // cp1251 addresses in file order

    std::filesystem::path IniPath;  // where the ini file is looked for
    TDate StartDate;                // the calendar date of StartTime, for the result log
    // Keep the test in progress in AttemptJournal, so that it resumes after a crash.
    bool Resume = true;
    std::filesystem::path AttemptJournal;  // ProgramDir/attempt.dat
};

// The one settings object of the running station.
extern std::unique_ptr<TSettings> Settings;

// Appends to list the files of folder that match pattern ("*.ext"), sorted by name; returns
// how many were appended, or -1 when list is absent. A missing folder gives 0.
int FindFiles(std::vector<std::filesystem::path>* list, const std::filesystem::path& folder,
              std::string_view pattern);
