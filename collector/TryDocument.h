// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's JSON form of a test read into the station's model, for trying it: the fields
// that decide what a student sees and scores. Texts arrive as UTF-8 and become cp1251.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "collector/TryAttempt.h"
#include "model/UTypes.h"

// Fills an empty test from the document and gives each problem's picture as the document
// names it. False, with a Russian reason for the teacher, when the document is not a test
// (a field of the wrong kind, or more problems, groups or variants than a test may hold).
bool ReadTryDocument(const nlohmann::json& document, TTezra& test,
                     std::vector<TryPicture>& pictures, std::string& error);
