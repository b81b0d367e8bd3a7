// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks a whole station folder: the ini file, every test of the scan with its description
// file, every splash picture, whether report.log can take a record, and whether each result
// server accepts a connection.

#include <string>

#include "tools/check/CheckOutput.h"

struct TStationCheckOptions {
    std::string Folder;       // the station's program folder, as the user named it
    std::string StartServer;  // the server the station starts with (compiled-in or IP)
    int ConnectTimeoutMs = 2000;
};

// Appends a report per file with findings (and per test file) and the station's summary to
// run. False, with nothing appended, when Folder is not a folder.
bool CheckStation(const TStationCheckOptions& options, TCheckRun& run);
