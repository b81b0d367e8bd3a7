// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the class library asks of the station's own code: a test checked exactly as the
// station reads it (tezra-tool's checker, with the test's pictures beside it), the test
// written in another station format by the project's writers, and a picture decoded with
// the station's limits.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "collector/LibraryStore.h"
#include "model/UTypes.h"
#include "tools/check/CheckReport.h"

struct TestExamination {
    bool Loadable = false;  // the station's readers load it
    std::string Title;      // UTF-8
    std::int64_t Problems = 0;
    std::int64_t Errors = 0;
    std::int64_t Warnings = 0;
    nlohmann::ordered_json Report;  // the checker's document, as `tezra-tool check --json`
};

// The checker's findings on a test with its pictures beside it, as `tezra-tool check` makes
// them.
TFileReport CheckTestBody(const std::string& name, const std::string& body,
                          const std::vector<LibraryPicture>& pictures);

TestExamination ExamineTest(const std::string& name, const std::string& body,
                            const std::vector<LibraryPicture>& pictures);
// The same from the checker's findings on that body, made already.
TestExamination ExamineReport(const std::string& name, const std::string& body,
                              TFileReport checked);

enum class StationFormat { Text, Binary, ScrambledBinary };

// The test in the format, its pictures carried inside; false when it cannot be read.
bool ConvertTest(const std::string& name, const std::string& body,
                 const std::vector<LibraryPicture>& pictures, StationFormat format,
                 std::string& converted, std::vector<std::string>& warnings);

// Reads a library test (its format chosen by the name's extension) into an empty test; false
// when the station's readers cannot read it.
bool LoadLibraryTest(TTezra& tezra, const std::string& name, const std::string& body);

// A JPEG that the station's decoder takes within its pixel limit.
bool IsStationPicture(const std::string& bytes);
