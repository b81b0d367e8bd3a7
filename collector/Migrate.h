// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Moves a class server's SQLite database into a shared PostgreSQL database: the results with
// their hidden flags, sources and import keys, the record of hides and restores, the stations
// first seen, the class library with its pictures and the stations' sync status. Every row
// carries its origin (the collector's name and its row id in the file), so that running the
// same move again adds nothing twice.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct MigrationSummary {
    std::int64_t Results = 0;         // added
    std::int64_t ResultsPresent = 0;  // in the database already
    std::int64_t Hides = 0;           // hides and restores added
    std::int64_t HidesPresent = 0;
    std::int64_t Tests = 0;              // library tests added
    std::int64_t Pictures = 0;           // pictures added
    std::int64_t StationRecords = 0;     // stations' sync status added or brought up to date
    std::vector<std::string> TestsKept;  // tests of the same name and other content, kept
};

// Copies everything from the file into the database at the URI (creating its tables when
// needed) for the collector called name. False with the reason in error when the file cannot
// be read or the database fails; what was committed before stays and a second run completes
// it. The error never holds the URI's password.
bool MigrateSqliteToPostgres(const std::filesystem::path& from, const std::string& uri,
                             const std::string& name, MigrationSummary& summary,
                             std::string& error);
