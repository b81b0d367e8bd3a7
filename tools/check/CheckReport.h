// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the test checker found in one file: its diagnostics and, for a test, a summary of what
// a student gets. Texts are UTF-8 for the console.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

enum class TSeverity { Error, Warning };

// How the places of a file's diagnostics are counted.
enum class TPlaceKind {
    Line,    // physical lines of a text file, from 1
    Offset,  // bytes of a binary file, from 0
};

struct TDiagnostic {
    TSeverity Severity = TSeverity::Error;
    std::optional<std::size_t> Place;  // none: the finding concerns the whole file
    std::string Code;                  // a short stable token, such as "picture-missing"
    std::string Text;                  // Russian, UTF-8
};

struct TGroupSummary {
    std::string Name;     // UTF-8
    int Quota = 0;        // after preparation: at most the number of its problems
    int Problems = 0;     // how many problems name the group
    bool Listed = false;  // the GROUPS block lists it
};

struct TTestSummary {
    int ProblemsRead = 0;
    std::vector<TGroupSummary> Groups;
    int Given = 0;               // problems a student gets
    float HighestPoints = 0.0f;  // the most points a student can reach
};

struct TFileReport {
    std::string File;  // as it is shown: the path the user gave, or one built from it
    TPlaceKind PlaceKind = TPlaceKind::Line;
    std::vector<TDiagnostic> Diagnostics;
    std::optional<TTestSummary> Summary;  // for test files

    void Add(TSeverity severity, std::optional<std::size_t> place, std::string code,
             std::string text) {
        Diagnostics.push_back({severity, place, std::move(code), std::move(text)});
    }
    std::size_t Count(TSeverity severity) const {
        std::size_t count = 0;
        for (const TDiagnostic& diagnostic : Diagnostics) {
            count += diagnostic.Severity == severity ? 1 : 0;
        }
        return count;
    }
};

// Orders the diagnostics by their place in the file, those of the whole file first; findings at
// the same place keep the order in which they were made.
inline void SortByPlace(TFileReport& report) {
    auto key = [](const TDiagnostic& d) { return d.Place ? *d.Place + 1 : std::size_t{0}; };
    std::stable_sort(
        report.Diagnostics.begin(), report.Diagnostics.end(),
        [&key](const TDiagnostic& a, const TDiagnostic& b) { return key(a) < key(b); });
}
