// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The checks shared by the test-reader fuzz targets: whatever a reader produced must write out
// and read back unchanged in both formats, and must prepare, draw and score without fault.

#include <string>
#include <vector>

#include "model/Compare.h"
#include "model/TestWriters.h"
#include "model/UTypes.h"

inline void CheckRoundTrips(const TTezra& tezra) {
    std::vector<std::string> warnings;
    const std::string text = SaveTestToText(tezra, warnings);
    if (warnings.empty()) {
        TTezra back;
        LoadTestFromText(back, text);
        if (!SameTezra(tezra, back)) {
            __builtin_trap();
        }
    }
    warnings.clear();
    TMemoryStream binary = SaveTestToBinary(tezra, true, warnings);
    if (warnings.empty()) {
        TTezra back;
        if (!LoadTestFromBinary(back, binary) || !SameTezra(tezra, back)) {
            __builtin_trap();
        }
    }
}

inline void PrepareAndScore(TTezra& tezra) {
    for (auto& problem : tezra.Problems) {
        problem->PictureFile.clear();  // no file system access
    }
    tezra.Prepare();
    tezra.SelectProblems();
    for (TProblem* problem : tezra.Selected) {
        for (const TVariant& variant : problem->Answers.Variants) {
            problem->Given.push_back(variant.Text);
        }
    }
    const float points = tezra.GetPoints();
    tezra.GetMark(points);
}
