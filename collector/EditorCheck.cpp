// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/EditorCheck.h"

#include <algorithm>
#include <set>
#include <span>
#include <utility>

#include "collector/LibraryCheck.h"
#include "platform/Cp1251.h"

namespace {

using Json = nlohmann::ordered_json;

// The block of the text file a line stands in.
enum class Block { Test, Params, Groups, Problem, ProblemParams, Condition, Picture, Answer };

// The field of a parameter line, by its keyword.
std::string ParamField(std::string_view line, bool inProblem) {
    const std::string key = LatinUpperCase(line.substr(0, line.find('=')));
    static const std::pair<const char*, const char*> kTest[] = {{"ID", "id"},
                                                                {"TITLE", "title"},
                                                                {"SHUFFLE", "shuffle"},
                                                                {"DEFER", "defer"},
                                                                {"MARK", "marks"}};
    static const std::pair<const char*, const char*> kProblem[] = {
        {"ID", "problem.id"},
        {"TITLE", "problem.title"},
        {"CATEGORY", "problem.category"},
        {"DIFFICULTY", "problem.difficulty"},
        {"GROUP", "problem.group"},
        {"RATE", "problem.rate"}};
    for (const auto& [keyword, field] :
         inProblem ? std::span<const std::pair<const char*, const char*>>(kProblem)
                   : std::span<const std::pair<const char*, const char*>>(kTest)) {
        if (key.starts_with(keyword)) {
            return field;
        }
    }
    return {};
}

struct LineWalk {
    Block At = Block::Test;
    int Problem = -1;
    int Group = -1;
    int Variant = -1;
    bool InVariants = false;

    DocPlace Step(std::string_view line) {
        const bool section = !line.empty() && line[0] == '\xA7';
        const std::string_view name = section ? line.substr(1) : std::string_view();
        if (section) {
            return Section(name);
        }
        switch (At) {
            case Block::Params:
                return {-1, -1, -1, ParamField(line, false)};
            case Block::Groups:
                return {-1, -1, ++Group, "group.name"};
            case Block::ProblemParams:
                return {Problem, -1, -1, ParamField(line, true)};
            case Block::Condition:
                return {Problem, -1, -1, "problem.text"};
            case Block::Picture:
                return {Problem, -1, -1, "problem.picture"};
            case Block::Answer:
                return InVariants ? DocPlace{Problem, ++Variant, -1, "problem.variants"}
                                  : DocPlace{Problem, -1, -1, "problem.kind"};
            default:
                return {Problem, -1, -1, {}};
        }
    }

    DocPlace Section(std::string_view name) {
        const bool inProblem = Problem >= 0 && At != Block::Test;
        if (name == "PARAMS") {
            At = inProblem ? Block::ProblemParams : Block::Params;
        } else if (name == "GROUPS") {
            At = Block::Groups;
        } else if (name == "PROBLEM") {
            At = Block::Problem;
            ++Problem;
            Variant = -1;
            InVariants = false;
        } else if (name == "CONDITION") {
            At = Block::Condition;
            return {Problem, -1, -1, "problem.text"};
        } else if (name == "PICTURE") {
            At = Block::Picture;
            return {Problem, -1, -1, "problem.picture"};
        } else if (name == "ANSWER") {
            At = Block::Answer;
            return {Problem, -1, -1, "problem.kind"};
        } else if (name == "VARIANTS") {
            InVariants = true;
            return {Problem, -1, -1, "problem.variants"};
        } else if (name == "END PROBLEM" || name == "END PROBLEMS" || name == "END GROUPS" ||
                   name == "END PARAMS") {
            const DocPlace place{At == Block::Groups ? -1 : Problem, -1, -1, {}};
            At = name == "END PARAMS" && inProblem ? Block::Problem : Block::Test;
            return place;
        } else if (name == "END CONDITION" || name == "END ANSWER") {
            At = Block::Problem;
            return {Problem, -1, -1, {}};
        }
        return {At == Block::Test ? -1 : Problem, -1, -1, {}};
    }
};

Json Finding(const char* severity, const DocPlace& where, const std::string& text,
             const char* source) {
    return {{"severity", severity}, {"where", where.Json()}, {"text", text}, {"source", source}};
}

// Whether the variant text has a blank inside (a typed answer loses its blanks, so it could
// never match).
bool HasBlank(const std::string& text) {
    return text.find_first_of(" \t") != std::string::npos;
}

// A typed answer with "ё" and no twin written with "е": the station compares letters as they
// are, and a student who types "е" (as most do) is marked wrong.
bool NeedsYoTwin(const TAnswers& answers, const TVariant& variant) {
    std::string twin = AnsiUpperCase(variant.Text);
    bool hasYo = false;
    for (char& c : twin) {
        if (c == '\xA8') {  // Ё
            c = '\xC5';     // Е
            hasYo = true;
        }
    }
    if (!hasYo) {
        return false;
    }
    for (const TVariant& other : answers.Variants) {
        if (AnsiUpperCase(other.Text) == twin) {
            return false;
        }
    }
    return true;
}

void ProblemHints(const TProblem& problem, int index, Json& hints) {
    const TAnswers& answers = problem.Answers;
    const DocPlace variants{index, -1, -1, "problem.variants"};
    std::int64_t best = 0;
    std::int64_t positive = 0;
    for (const TVariant& variant : answers.Variants) {
        best = std::max<std::int64_t>(best, variant.Weight);
        positive += std::max<std::int32_t>(variant.Weight, 0);
    }
    if (answers.Mode == ModeRadio && best < 100) {
        hints.push_back(Finding("hint", variants,
                                "Ни один вариант не стоит 100 %: за эту задачу никто не "
                                "получит полный балл.",
                                "editor"));
    }
    if (answers.Mode == ModeCombo && positive < 100) {
        hints.push_back(Finding("hint", variants,
                                "Веса вариантов вместе меньше 100 %: даже все верные ответы "
                                "не дадут полный балл.",
                                "editor"));
    }
    if (answers.Mode != ModeInput) {
        return;
    }
    for (std::size_t v = 0; v < answers.Variants.size(); ++v) {
        const TVariant& variant = answers.Variants[v];
        const DocPlace at{index, static_cast<int>(v), -1, "problem.variants"};
        if (HasBlank(variant.Text)) {
            hints.push_back(Finding("hint", at,
                                    "В ответе есть пробел: станция убирает пробелы из "
                                    "введённого ответа, и этот ответ никогда не совпадёт.",
                                    "editor"));
        }
        if (NeedsYoTwin(answers, variant)) {
            hints.push_back(Finding("hint", at,
                                    "В ответе есть «ё», а такого же ответа с «е» нет: ученик, "
                                    "написавший «е», получит «неверно».",
                                    "editor"));
        }
    }
}

// Sections whose quota asks for more problems than they hold.
void GroupHints(const TTezra& test, Json& hints) {
    for (std::size_t g = 0; g < test.Groups.size(); ++g) {
        const TGroupInfo& group = *test.Groups[g].Group;
        std::int64_t count = 0;
        for (const auto& problem : test.Problems) {
            count += AnsiSameText(problem->Group, test.Groups[g].Name) ? 1 : 0;
        }
        if (group.Quota != UnlimitedQuota && group.Quota > count) {
            hints.push_back(Finding("hint", {-1, -1, static_cast<int>(g), "group.quota"},
                                    "Раздел просит " + std::to_string(group.Quota) +
                                        " задач, а в нём только " + std::to_string(count) +
                                        ": ученик получит " + std::to_string(count) + ".",
                                    "editor"));
        }
    }
}

// A hint the checker already gave at the same place (blanks in a typed answer, a quota above
// the section's size, a one-answer problem without a 100 % variant, several-answers weights
// that do not add up to 100) is left out.
std::string PlaceKey(const DocPlace& where) {
    return std::to_string(where.Problem) + "/" + std::to_string(where.Variant) + "/" +
           std::to_string(where.Group);
}

bool CheckerSaid(const std::set<std::pair<std::string, std::string>>& said, const Json& hint) {
    const Json& at = hint["where"];
    auto index = [](const Json& value) { return value.is_null() ? -1 : value.get<int>(); };
    const std::string where =
        PlaceKey({index(at["problem"]), index(at["variant"]), index(at["group"]), {}});
    for (const char* code :
         {"input-variant-blank", "quota-above-size", "radio-no-100", "combo-not-100"}) {
        if (said.contains({where, code})) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<DocPlace> MapTextLines(const std::string& text) {
    std::vector<DocPlace> places(1);
    LineWalk walk;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        places.push_back(walk.Step(line));
        start = end + 1;
    }
    return places;
}

Json EditorHints(const TTezra& test) {
    Json hints = Json::array();
    for (std::size_t p = 0; p < test.Problems.size(); ++p) {
        ProblemHints(*test.Problems[p], static_cast<int>(p), hints);
    }
    GroupHints(test, hints);
    return hints;
}

EditorCheck CheckEditedTest(const TTezra& test, const std::string& text,
                            const std::vector<LibraryPicture>& pictures, const std::string& name) {
    EditorCheck check;
    check.Report = CheckTestBody(name, text, pictures);
    const TFileReport& report = check.Report;
    const std::vector<DocPlace> places = MapTextLines(text);
    std::set<std::pair<std::string, std::string>> said;
    for (const TDiagnostic& diagnostic : report.Diagnostics) {
        const DocPlace where = diagnostic.Place && *diagnostic.Place < places.size()
                                   ? places[*diagnostic.Place]
                                   : DocPlace{};
        check.Findings.push_back(
            Finding(diagnostic.Severity == TSeverity::Error ? "error" : "warning", where,
                    diagnostic.Text, "checker"));
        said.insert({PlaceKey(where), diagnostic.Code});
    }
    for (const Json& hint : EditorHints(test)) {
        if (!CheckerSaid(said, hint)) {
            check.Findings.push_back(hint);
        }
    }
    check.MaxPoints = report.Summary ? report.Summary->HighestPoints : 0.0f;
    return check;
}
