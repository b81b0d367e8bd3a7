// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks one test file as the station reads it: the loading dispatch with a listener on the
// readers, then the preparation and the draw, then the checks of the whole test.

#include <filesystem>
#include <string>

#include "tools/check/CheckReport.h"

struct TTestCheckOptions {
    // The station's program folder, where relative picture names are looked up; empty for
    // the one StationProgramPath names, as the station itself would do.
    std::filesystem::path ProgramFolder;
};

// shown is how the file is named in the report.
TFileReport CheckTestFile(const std::filesystem::path& path, const std::string& shown,
                          const TTestCheckOptions& options = {});
