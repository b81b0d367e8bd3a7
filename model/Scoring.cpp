// SPDX-License-Identifier: GPL-3.0-or-later
// Scoring: the weight of each given answer, a problem's score in percent, the test's points and
// the mark on the five-point scale. Sums are formed in extended precision and then rounded to
// single precision, as the points have always been computed.

#include <cmath>

#include "model/UTypes.h"
#include "platform/Cp1251.h"

namespace {

// A typed answer as it is compared: every byte below 33 removed, the rest upper-cased.
std::string SqueezeAnswer(std::string_view answer) {
    std::string key;
    key.reserve(answer.size());
    for (char c : answer) {
        if (static_cast<unsigned char>(c) >= 33) {
            key += AnsiUpperChar(c);
        }
    }
    return key;
}

}  // namespace

int TAnswers::IndexOfVariant(std::string_view text) const {
    for (std::size_t i = 0; i < Variants.size(); ++i) {
        if (AnsiSameText(Variants[i].Text, text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::int32_t TAnswers::GetWeight(std::string_view answer) const {
    const int index =
        Mode == ModeInput ? IndexOfVariant(SqueezeAnswer(answer)) : IndexOfVariant(answer);
    return index < 0 ? 0 : Variants[static_cast<std::size_t>(index)].Weight;
}

void TProblem::ClearAnswer() {
    Given.clear();
    Score = UnscoredScore;
}

float TProblem::GetScore() {
    if (!std::isnan(Score)) {
        return Score;
    }
    float sum = 0.0f;
    for (const std::string& answer : Given) {
        sum = static_cast<float>(static_cast<long double>(sum) + Answers.GetWeight(answer));
    }
    if (!(sum >= 0.0f)) {
        sum = 0.0f;
    }
    if (sum > 100.0f) {
        sum = 100.0f;
    }
    Score = sum;
    return sum;
}

float TTezra::GetPoints() {
    float total = 0.0f;
    for (auto& problem : Problems) {
        total = static_cast<float>(static_cast<long double>(total) + problem->GetScore());
    }
    return static_cast<float>(static_cast<long double>(total) * 0.01L);
}

int TTezra::GetMark(float points) const {
    for (int mark = 5; mark >= 2; --mark) {
        if (points >= MarkThresholds[mark]) {
            return mark;
        }
    }
    return 1;
}
