// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The checks of a whole test once it has been read, prepared and drawn as the station does it:
// groups and quotas, mark thresholds, answer weights and variants, pictures.

#include <cstdint>
#include <vector>

#include "model/UTypes.h"
#include "tools/check/CheckReport.h"
#include "tools/check/ReadListener.h"

struct TRulesInput {
    TTezra& Tezra;                           // prepared and drawn
    const TSourceMap& Sources;               // where its parts were read from
    std::vector<std::int32_t> ListedQuotas;  // the quotas of the listed groups as read
    bool Binary = false;
};

// highestPoints: the most points a student can reach, as SummarizeTest finds them.
void CheckTestRules(const TRulesInput& input, float highestPoints, TFileReport& report);

// What a student gets: the groups with their quotas, the problems drawn and the highest
// points, found by scoring the best answers of the best draw with the station's own scoring.
TTestSummary SummarizeTest(const TRulesInput& input);
