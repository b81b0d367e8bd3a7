// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Compare.h"

#include <initializer_list>

namespace {

struct TFieldCheck {
    const char* Field;
    bool Same;
};

// The name of the first field that differs, or empty.
std::string FirstDifference(std::initializer_list<TFieldCheck> checks) {
    for (const TFieldCheck& check : checks) {
        if (!check.Same) {
            return check.Field;
        }
    }
    return {};
}

bool SameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool SameVariants(const std::vector<TVariant>& a, const std::vector<TVariant>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Text != b[i].Text || a[i].Weight != b[i].Weight) {
            return false;
        }
    }
    return true;
}

std::string ProblemDifference(const TProblem& a, const TProblem& b) {
    return FirstDifference({
        {"Id", a.Id == b.Id},
        {"Title", a.Title == b.Title},
        {"Category", a.Category == b.Category},
        {"Difficulty", a.Difficulty == b.Difficulty},
        {"Group", a.Group == b.Group},
        {"Rate", SameBits(a.Rate, b.Rate)},
        {"Condition", a.Condition == b.Condition},
        {"PictureFile", a.PictureFile == b.PictureFile},
        {"Picture", a.Picture == b.Picture},
        {"Mode", a.Answers.Mode == b.Answers.Mode},
        {"Variants", SameVariants(a.Answers.Variants, b.Answers.Variants)},
    });
}

std::string GroupDifference(const TGroupEntry& a, const TGroupEntry& b) {
    return FirstDifference({
        {"Name", a.Name == b.Name && a.Group->Name == b.Group->Name},
        {"Quota", a.Group->Quota == b.Group->Quota},
        {"Rate", SameBits(a.Group->Rate, b.Group->Rate)},
    });
}

bool SameThresholds(const TMarkThresholds& a, const TMarkThresholds& b) {
    for (int mark = 1; mark <= 5; ++mark) {
        if (!SameBits(a[mark], b[mark])) {
            return false;
        }
    }
    return true;
}

std::string TestDifference(const TTezra& a, const TTezra& b) {
    std::string field = FirstDifference({
        {"Id", a.Id == b.Id},
        {"Title", a.Title == b.Title},
        {"ShuffleGroups", a.ShuffleGroups == b.ShuffleGroups},
        {"ShuffleProblems", a.ShuffleProblems == b.ShuffleProblems},
        {"ShuffleVariants", a.ShuffleVariants == b.ShuffleVariants},
        {"DeferLimit", a.DeferLimit == b.DeferLimit},
        {"MarkThresholds", SameThresholds(a.MarkThresholds, b.MarkThresholds)},
        {"Groups count", a.Groups.size() == b.Groups.size()},
        {"Problems count", a.Problems.size() == b.Problems.size()},
    });
    if (!field.empty()) {
        return field;
    }
    for (std::size_t i = 0; i < a.Groups.size(); ++i) {
        if (field = GroupDifference(a.Groups[i], b.Groups[i]); !field.empty()) {
            return "group " + std::to_string(i + 1) + " " + field;
        }
    }
    for (std::size_t i = 0; i < a.Problems.size(); ++i) {
        if (field = ProblemDifference(*a.Problems[i], *b.Problems[i]); !field.empty()) {
            return "problem " + std::to_string(i + 1) + " " + field;
        }
    }
    return {};
}

}  // namespace

bool SameTezra(const TTezra& a, const TTezra& b, std::string* difference) {
    std::string field = TestDifference(a, b);
    if (difference != nullptr) {
        *difference = field;
    }
    return field.empty();
}
