// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the checker's findings are printed: one line per diagnostic in the form editors and
// terminals understand ("FILE:LINE: error: text"), a summary line per test file and one for a
// station; or all of it as one JSON document.

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/check/CheckReport.h"

struct TStationSummary {
    std::string Folder;
    int Tests = 0;
    int SplashPictures = 0;
    int ServersTried = 0;
    int ServersReachable = 0;
};

struct TCheckRun {
    std::vector<TFileReport> Files;
    std::optional<TStationSummary> Station;
};

std::string FormatDiagnostic(const TFileReport& file, const TDiagnostic& diagnostic);
std::string FormatSummary(const TFileReport& file);  // empty for a file without a summary
std::string FormatStationSummary(const TStationSummary& station);

// quiet: the errors only, without warnings and summaries.
void PrintCheckText(std::ostream& out, const TCheckRun& run, bool quiet);
nlohmann::ordered_json CheckJson(const TCheckRun& run, bool quiet);

// 0 when no file has an error, 1 when one has.
int CheckExitStatus(const TCheckRun& run);
