// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/TestRules.h"

#include <algorithm>
#include <unordered_set>

#include "platform/Cp1251.h"
#include "tools/check/CheckText.h"
#include "tools/check/PictureCheck.h"

namespace {

using TPlace = std::optional<std::size_t>;

std::string GroupName(const std::string& name) {
    return name.empty() ? "без имени" : Quoted(name);
}

class TRules {
public:
    TRules(const TRulesInput& input, float highestPoints, TFileReport& report)
        : test_(input.Tezra),
          sources_(input.Sources),
          input_(input),
          highestPoints_(highestPoints),
          report_(report) {}

    void Run() {
        if (!sources_.TestStart) {
            return;  // not a test at all: that is the one finding
        }
        CheckProblemCount();
        CheckGroups();
        CheckMarks();
        for (std::size_t i = 0; i < test_.Problems.size(); ++i) {
            CheckAnswers(*test_.Problems[i], SourceAt(i));
            CheckPicture(*test_.Problems[i], SourceAt(i));
        }
    }

private:
    void Warn(TPlace place, std::string code, std::string text) {
        report_.Add(TSeverity::Warning, place, std::move(code), std::move(text));
    }
    void Fail(TPlace place, std::string code, std::string text) {
        report_.Add(TSeverity::Error, place, std::move(code), std::move(text));
    }
    std::string Where(std::size_t place) const { return PlaceText(place, input_.Binary); }

    std::size_t ListedCount() const {
        return std::min(sources_.Groups.size(), test_.Groups.size());
    }

    // Where the problem at index i of Problems was read from; none past what was read.
    const TProblemSource* SourceAt(std::size_t i) const {
        return i < sources_.Problems.size() ? &sources_.Problems[i] : nullptr;
    }

    const TProblemSource* SourceOf(const TProblem& problem) const {
        for (std::size_t i = 0; i < test_.Problems.size(); ++i) {
            if (test_.Problems[i].get() == &problem) {
                return SourceAt(i);
            }
        }
        return nullptr;
    }

    TPlace ProblemPlace(const TProblem& problem) const {
        const TProblemSource* source = SourceOf(problem);
        if (source == nullptr) {
            return std::nullopt;
        }
        return source->GroupPlace ? source->GroupPlace : TPlace(source->Start);
    }

    // Whether the group has problems and every one of them is broken.
    bool AllBroken(const TGroupInfo& group) const {
        for (const TProblem* problem : group.Problems) {
            const TProblemSource* source = SourceOf(*problem);
            if (source != nullptr && !source->Broken) {
                return false;
            }
        }
        return !group.Problems.empty();
    }

    void CheckProblemCount() {
        if (test_.Problems.empty()) {
            Fail(sources_.TestStart, "no-problems", "в тесте нет ни одной задачи");
        } else if (test_.Selected.empty()) {
            Fail(sources_.TestStart, "nothing-drawn",
                 "ученик не получит ни одной задачи: квоты всех групп — 0 или меньше");
        }
    }

    void CheckGroups() {
        const std::size_t listed = ListedCount();
        for (std::size_t g = 0; g < listed; ++g) {
            if (g < sources_.GroupIsSectionLine.size() && sources_.GroupIsSectionLine[g]) {
                continue;  // reported as the unclosed GROUPS block
            }
            CheckListedGroup(g);
        }
        if (listed == 0) {
            return;  // a test without groups gives every problem
        }
        for (std::size_t g = listed; g < test_.Groups.size(); ++g) {
            const TGroupInfo& group = *test_.Groups[g].Group;
            if (AllBroken(group)) {
                continue;  // its problems are broken, which is told already
            }
            const std::string count = std::to_string(group.Problems.size());
            const TPlace place = group.Problems.empty() ? sources_.TestStart
                                                        : ProblemPlace(*group.Problems.front());
            Warn(place, "group-not-listed",
                 group.Name.empty()
                     ? "задачи без GROUP не входят ни в одну группу блока §GROUPS: все они (" +
                           count + ") даются каждому ученику"
                     : "группа " + Quoted(group.Name) +
                           " не указана в блоке §GROUPS: все её задачи (" + count +
                           ") даются каждому ученику");
        }
    }

    void CheckListedGroup(std::size_t g) {
        const TGroupInfo& group = *test_.Groups[g].Group;
        const std::size_t place = sources_.Groups[g];
        for (std::size_t earlier = 0; earlier < g; ++earlier) {
            if (AnsiSameText(test_.Groups[earlier].Name, test_.Groups[g].Name)) {
                Warn(place, "group-repeated",
                     "группа " + GroupName(group.Name) + " уже указана в " +
                         Where(sources_.Groups[earlier]) + ": эта строка не действует");
                return;
            }
        }
        const std::size_t size = group.Problems.size();
        if (size == 0) {
            Warn(place, "group-unused",
                 "ни одна задача не указывает группу " + GroupName(group.Name) +
                     ": строка группы не действует");
            return;
        }
        const std::int32_t quota = g < input_.ListedQuotas.size() ? input_.ListedQuotas[g] : 0;
        if (quota <= 0) {
            Warn(place, "quota-zero",
                 "квота группы " + GroupName(group.Name) + " — " + std::to_string(quota) +
                     ": её задачи (" + std::to_string(size) + ") никогда не даются");
        } else if (static_cast<std::size_t>(quota) > size && quota != UnlimitedQuota) {
            // The largest quota is how a file says "every problem of the group" (the editor
            // writes it for a section without a count): nothing to warn about.
            Warn(place, "quota-above-size",
                 "квота группы " + GroupName(group.Name) + " (" + std::to_string(quota) +
                     ") больше числа её задач (" + std::to_string(size) + "): даются все " +
                     std::to_string(size));
        }
    }

    TPlace MarkPlace(int mark) const {
        const auto found = sources_.TestParams.find(MarkField(mark));
        return found != sources_.TestParams.end() ? TPlace(found->second) : sources_.TestStart;
    }

    void CheckMarks() {
        const TMarkThresholds& m = test_.MarkThresholds;
        if (m[2] == 0.0f && m[3] == 0.0f && m[4] == 0.0f && m[5] == 0.0f) {
            return;  // no thresholds at all: the test gives no marks below 5
        }
        for (int mark = 3; mark <= 5; ++mark) {
            if (!(m[mark] > m[mark - 1])) {
                const std::string lower = std::to_string(mark - 1);
                Warn(MarkPlace(mark), "marks-not-rising",
                     "пороги оценок не растут от MARK2 к MARK5: MARK" + std::to_string(mark) +
                         "=" + PointsText(m[mark]) + " не выше MARK" + lower + "=" +
                         PointsText(m[mark - 1]) + ", и оценку " + lower + " не получит никто");
            }
        }
        if (!test_.Selected.empty() && !(highestPoints_ >= m[5])) {
            Warn(MarkPlace(5), "mark5-unreachable",
                 "MARK5=" + PointsText(m[5]) +
                     " выше наибольшего балла, который может набрать ученик (" +
                     PointsText(highestPoints_) + "): пятёрку не получит никто");
        }
    }

    std::string VariantWhere(const TProblemSource& source, std::size_t i) const {
        return i < source.Variants.size() ? Where(source.Variants[i])
                                          : "варианте " + std::to_string(i + 1);
    }

    void CheckAnswers(TProblem& problem, const TProblemSource* source) {
        if (source == nullptr || source->Broken) {
            return;  // what was lost is reported already
        }
        if (!source->AnswerPlace) {
            Warn(source->Start, "no-answer-block",
                 "у задачи нет блока §ANSWER: правильно ответить на неё нельзя");
            return;
        }
        const TAnswers& answers = problem.Answers;
        const TPlace place = source->ModePlace ? source->ModePlace : source->AnswerPlace;
        if (answers.Mode == ModeCombo) {
            std::int64_t positive = 0;
            for (const TVariant& variant : answers.Variants) {
                positive += std::max<std::int32_t>(variant.Weight, 0);
            }
            if (positive != 100) {
                Warn(place, "combo-not-100",
                     "у задачи COMBO положительные веса дают в сумме " + std::to_string(positive) +
                         ", а не 100");
            }
        } else {
            std::int32_t best = 0;
            bool any = false;
            for (const TVariant& variant : answers.Variants) {
                const std::int32_t weight = answers.GetWeight(variant.Text);
                best = any ? std::max(best, weight) : weight;
                any = true;
            }
            if (!any || best < 100) {
                const bool input = answers.Mode == ModeInput;
                Warn(place, input ? "input-no-100" : "radio-no-100",
                     input ? "у задачи INPUT нет ответа с весом 100, который может совпасть: "
                             "полный балл недостижим"
                           : "у задачи RADIO нет варианта с весом 100: полный балл недостижим");
            }
        }
        CheckVariants(answers, *source);
    }

    void CheckVariants(const TAnswers& answers, const TProblemSource& source) {
        for (std::size_t i = 0; i < answers.Variants.size(); ++i) {
            const TVariant& variant = answers.Variants[i];
            const TPlace place =
                i < source.Variants.size() ? TPlace(source.Variants[i]) : TPlace(source.Start);
            if (answers.Mode == ModeInput) {
                CheckInputVariant(variant, place);
            }
            const int first = answers.IndexOfVariant(variant.Text);
            if (first >= 0 && static_cast<std::size_t>(first) < i) {
                const TVariant& earlier = answers.Variants[static_cast<std::size_t>(first)];
                Warn(place, "duplicate-variant",
                     "вариант " + Quoted(variant.Text) + " совпадает с вариантом в " +
                         VariantWhere(source, static_cast<std::size_t>(first)) +
                         (earlier.Text == variant.Text ? "" : " без учёта регистра") +
                         ": засчитывается первый (вес " + std::to_string(earlier.Weight) + ")");
            }
        }
    }

    void CheckInputVariant(const TVariant& variant, TPlace place) {
        std::string squeezed;
        for (char c : variant.Text) {
            if (static_cast<unsigned char>(c) > 32) {
                squeezed += c;
            }
        }
        if (squeezed.size() != variant.Text.size()) {
            Warn(place, "input-variant-blank",
                 "ответ " + Quoted(variant.Text) +
                     " содержит пробел: введённый ответ сравнивается без пробелов, и этот "
                     "вариант никогда не совпадёт; пишите " +
                     Quoted(squeezed));
        }
    }

    void CheckPicture(const TProblem& problem, const TProblemSource* source) {
        const TPlace start = source != nullptr ? TPlace(source->Start) : std::nullopt;
        bool dataShown = true;
        if (!problem.PictureFile.empty()) {
            const TPlace place =
                source != nullptr && source->FilePlace ? source->FilePlace : start;
            const std::filesystem::path path =
                FindPictureFile(problem.PictureFile, test_.TestFolder, test_.ProgramFolder);
            if (path.empty()) {
                Fail(place, "picture-missing",
                     "файл рисунка " + Quoted(problem.PictureFile) +
                         " не найден (ищется в текущей папке, в папке программы и в папке "
                         "теста)");
            } else {
                dataShown = false;  // the file's bytes replaced any DATA picture
                CheckPictureBytes(problem.Picture, place,
                                  "файл рисунка " + Quoted(problem.PictureFile), "picture");
            }
        }
        if (dataShown && !problem.Picture.empty()) {
            const TPlace place =
                source != nullptr && source->DataPlace ? source->DataPlace : start;
            CheckPictureBytes(problem.Picture, place,
                              input_.Binary ? "рисунок задачи" : "рисунок из строки DATA",
                              "picture-data");
        }
    }

    void CheckPictureBytes(const std::vector<std::uint8_t>& bytes, TPlace place,
                           const std::string& what, const std::string& code) {
        if (auto error = PictureError(bytes.data(), bytes.size(), place, code, what)) {
            report_.Diagnostics.push_back(std::move(*error));
        }
    }

    TTezra& test_;
    const TSourceMap& sources_;
    const TRulesInput& input_;
    float highestPoints_;
    TFileReport& report_;
};

// The answers that score most: every positive variant of a COMBO problem, otherwise the one
// variant whose text weighs most as the station weighs it.
std::vector<std::string> BestAnswers(const TAnswers& answers) {
    std::vector<std::string> best;
    std::int32_t bestWeight = 0;
    for (const TVariant& variant : answers.Variants) {
        const std::int32_t weight = answers.GetWeight(variant.Text);
        if (answers.Mode == ModeCombo) {
            if (weight > 0) {
                best.push_back(variant.Text);
            }
        } else if (weight > bestWeight) {
            bestWeight = weight;
            best = {variant.Text};
        }
    }
    return best;
}

}  // namespace

void CheckTestRules(const TRulesInput& input, float highestPoints, TFileReport& report) {
    TRules(input, highestPoints, report).Run();
}

TTestSummary SummarizeTest(const TRulesInput& input) {
    TTezra& t = input.Tezra;
    TTestSummary summary;
    summary.ProblemsRead = static_cast<int>(t.Problems.size());
    summary.Given = static_cast<int>(t.Selected.size());
    const std::size_t listed = std::min(input.Sources.Groups.size(), t.Groups.size());
    for (std::size_t g = 0; g < t.Groups.size(); ++g) {
        const TGroupInfo& group = *t.Groups[g].Group;
        summary.Groups.push_back({Cp1251ToUtf8(group.Name), group.Quota,
                                  static_cast<int>(group.Problems.size()), g < listed});
    }
    // The best answers to every problem, then the draw that holds the best-scoring problems:
    // within each group the first ones, or with random problems the highest-scoring ones.
    for (auto& problem : t.Problems) {
        problem->ClearAnswer();
        problem->Given = BestAnswers(problem->Answers);
        problem->GetScore();
    }
    std::unordered_set<const TProblem*> drawn;
    for (const TGroupEntry& entry : t.Groups) {
        std::vector<TProblem*> problems = entry.Group->Problems;
        if (t.ShuffleProblems) {
            std::stable_sort(problems.begin(), problems.end(),
                             [](TProblem* a, TProblem* b) { return a->Score > b->Score; });
        }
        const std::size_t quota =
            entry.Group->Quota < 1 ? 0 : static_cast<std::size_t>(entry.Group->Quota);
        for (std::size_t i = 0; i < problems.size() && i < quota; ++i) {
            drawn.insert(problems[i]);
        }
    }
    for (auto& problem : t.Problems) {
        if (drawn.count(problem.get()) == 0) {
            problem->ClearAnswer();
        }
    }
    summary.HighestPoints = t.GetPoints();
    t.ResetAnswers();
    return summary;
}
