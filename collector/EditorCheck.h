// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the station will make of a test in the editor: the checker's findings placed at the
// problem, field or variant they concern, the editor's own hints where the checker is
// silent, and the highest points a student can reach.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "collector/EditorDocument.h"
#include "collector/LibraryStore.h"
#include "model/UTypes.h"
#include "tools/check/CheckReport.h"

struct EditorCheck {
    nlohmann::ordered_json Findings = nlohmann::ordered_json::array();
    float MaxPoints = 0.0f;
    TFileReport Report;  // the checker's own findings, by line
};

// The place in the document of each line of a station text file as SaveTestToText writes it,
// indexed by line number from 1 (entry 0 is unused).
std::vector<DocPlace> MapTextLines(const std::string& text);

// The editor's hints about the test, each naming its place.
nlohmann::ordered_json EditorHints(const TTezra& test);

// Checks the station text of a test (written from the editor's document) with its pictures;
// name is the file name the checker's report gives.
EditorCheck CheckEditedTest(const TTezra& test, const std::string& text,
                            const std::vector<LibraryPicture>& pictures,
                            const std::string& name = "test.ttxt");
