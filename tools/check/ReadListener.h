// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Listens to the test readers while a test file loads: turns every line or record they pass
// over or fill with a default into a diagnostic, and keeps where each part of the test was
// read from, so that the checks of the whole test can point at the right line.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/ReadNotes.h"
#include "tools/check/CheckReport.h"

// Where one problem's parts stand: lines of a text test, byte offsets of a binary one.
struct TProblemSource {
    std::size_t Start = 0;
    std::optional<std::size_t> GroupPlace;
    std::optional<std::size_t> FilePlace;
    std::optional<std::size_t> DataPlace;
    std::optional<std::size_t> AnswerPlace;
    std::optional<std::size_t> ModePlace;
    std::vector<std::size_t> Variants;  // one per entry of the problem's Variants
    bool Broken = false;                // an error was found in the problem's blocks
    bool Swallows = false;              // its reading runs on into the next problem
};

struct TSourceMap {
    std::optional<std::size_t> TestStart;         // none when the file is not a test
    std::map<TestField, std::size_t> TestParams;  // the place that set each one last
    std::vector<std::size_t> Groups;              // one per group read from the file
    std::vector<bool> GroupIsSectionLine;         // the group came from a stray section line
    std::vector<TProblemSource> Problems;         // one per entry of Problems
};

class TReadListener : public TReadSink {
public:
    TReadListener(TFileReport& report, bool binary) : Report(report), Binary(binary) {}

    void Note(const TReadEvent& event) override;
    // Settles what could only be judged once reading was over.
    void Finish();

    const TSourceMap& Map() const { return Sources; }

private:
    void Locate(const TReadEvent& event);
    void NotATest(const TReadEvent& event);
    void GroupRead(const TReadEvent& event);
    void ModeRead(const TReadEvent& event);
    void VariantsStart();
    void PassedOver(const TReadEvent& event);
    void PassedOverSection(const TReadEvent& event);
    void PassedOverLine(const TReadEvent& event);
    void StartRun(const TReadEvent& event);
    void ProblemLost(std::size_t place, bool inAnswer);
    void MarkBroken();
    void DefaultTaken(const TReadEvent& event);
    void DataEnds(const TReadEvent& event);
    void CheckKeyword(const TReadEvent& event);
    void SettleMissingMode();

    void Error(std::size_t place, const char* code, std::string text);
    void Warning(std::size_t place, const char* code, std::string text);
    TProblemSource* Current();

    TFileReport& Report;
    bool Binary;
    TSourceMap Sources;

    // The run of passed-over lines in progress: its block and whether it holds a block line.
    bool InRun = false;
    TReadBlock RunBlock = TReadBlock::Test;
    bool RunHasBlock = false;
    bool RunLostProblem = false;  // the run began with a whole problem that is passed over
    std::size_t RunStart = 0;
    std::string RunFirstLine;
    // The answer block being read.
    std::optional<std::size_t> MissingMode;  // its first line is not MODE
    bool VariantsSeen = false;
    bool DataEnded = false;
    bool ProblemListOpen = false;  // a problem took END PROBLEMS as its end
};
