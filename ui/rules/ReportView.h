// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the results window shows for one pass: the seven table values, both gauges and the one
// picture beside each.

#include <array>
#include <string>

class TSettings;
class TTezra;

// The rows of the results table, in their order.
enum TReportRow { rrUser, rrGroup, rrTest, rrProblems, rrPoints, rrMark, rrTime, rrCount };

struct TReportInputs {
    std::string User;        // cp1251
    std::string Group;       // cp1251
    std::string TestName;    // cp1251
    bool TestTaken = false;  // this pass ran a test; without one only the first three rows hold
    bool TestOpened = true;  // the test could be opened (it drew problems); a test taken that
                             // could not gives the view without a test and a heading that says so
    int Problems = 0;        // the problems drawn for the student
    float Points = 0;
    int Mark = 1;
    double StartTime = 0;  // times of day as fractions of a day
    double EndTime = 0;
};

struct TReportView {
    std::array<std::string, rrCount> Values;  // cp1251
    std::string Heading;                      // cp1251; empty: the designed heading
    bool GaugesShown = false;
    int SpeedPosition = 0;        // 0 (top) to 100
    int CorrectnessPosition = 0;  // 0 (top) to 100
    int SpeedPicture = 0;         // 0 (fast) to 3 (very slow)
    int CorrectnessPicture = 0;   // 0 (everything right) to 3
};

TReportView MakeReportView(const TReportInputs& inputs);

// The heading of the view of a pass whose test could not be opened (cp1251).
const std::string& NotOpenedHeading();

// The inputs of this pass: the student and test from the settings; the count, points and mark
// from the test only when the settings say that this pass ran one (a chosen test file), so an
// earlier student's test never shows.
TReportInputs CurrentReportInputs(const TSettings& settings, TTezra& test);
