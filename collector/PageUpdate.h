// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the teacher's page polls for: the new rows and what the teacher must see beside
// them (refused results, wrong passwords, hides and restores).

#include <cstdint>
#include <string>
#include <vector>

#include "collector/LoginBackoff.h"
#include "collector/RefusalCounts.h"
#include "collector/ResultStore.h"

struct PageUpdate {
    std::string Today;
    std::vector<StoredResult> Rows;
    bool More = false;  // another poll should follow at once
    std::vector<std::string> Groups;
    bool GroupsComplete = false;  // every class of the date, else only those of new rows
    std::vector<std::string> KnownStations;  // sorted
    std::vector<RefusalCounts::Refusal> Refused;
    std::vector<LoginBackoff::Attempts> Logins;
    std::int64_t VisibilityVersion = 0;
    std::vector<VisibilityRecord> VisibilityLog;
    std::vector<std::string> Collectors;  // sorted; given with the full list of classes
};

// The JSON the page reads: {"today", "groups" or "newGroups", "rows": [{id, received, station,
// group, user, points, mark, known, source, collector}], "more", "refused", "logins",
// "version", "log", "collectors" (with "groups")}.
std::string PageUpdateJson(const PageUpdate& update);
