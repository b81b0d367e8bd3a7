// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks the station's ini file as the settings read it: sections and keys the station does not
// know, repeated ones that it never reads, values that are not integers.

#include <filesystem>
#include <string>
#include <vector>

#include "tools/check/CheckReport.h"

struct TIniCheck {
    TFileReport Report;
    std::vector<std::size_t> ServerLines;  // the line of each entry of Settings.Servers
};

TIniCheck CheckIniFile(const std::filesystem::path& path, const std::string& shown);
