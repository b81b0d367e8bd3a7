// SPDX-License-Identifier: GPL-3.0-or-later
// From gathered questions to a station test: cp1251 text, INPUT answers as the station
// compares them, one embedded JPEG per problem, a group per category and default marks.

#include "interchange/StationBuilder.h"

#include <algorithm>
#include <unordered_map>

#include "interchange/Pictures.h"
#include "interchange/TextCodec.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"

namespace {

std::string Quote(std::string_view utf8) {
    return "«" + std::string(utf8) + "»";
}

// Converts the texts of one problem, remembering what cp1251 could not hold.
class ProblemText {
public:
    // Control characters (NUL, tabs, stray line breaks) become blanks: a station file holds
    // each text on its line.
    std::string operator()(std::string_view utf8) {
        std::string text = Utf8ToStation(utf8, replaced_);
        for (char& c : text) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                c = ' ';
            }
        }
        return text;
    }
    void Report(std::size_t line, BankCollector& bank) const {
        for (const CharReplacement& r : replaced_) {
            bank.Warn(
                line, "char-replaced",
                "символ " + Quote(r.From) + " не помещается в cp1251; записан как " + Quote(r.To));
        }
    }

private:
    std::vector<CharReplacement> replaced_;
};

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\t', ' ');
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The INPUT variants as the station can match them: wildcards left out, blanks removed.
void FitInputVariants(BankQuestion& q, BankCollector& bank) {
    std::vector<BankVariant> kept;
    for (BankVariant& v : q.Variants) {
        if (v.Text.find('*') != std::string::npos) {
            bank.Warn(q.Line, "wildcard",
                      "ответ " + Quote(v.Text) + " со звёздочкой пропущен: станция не " +
                          "понимает подстановочных знаков");
            continue;
        }
        std::string packed = v.Text;
        std::erase_if(packed, [](char c) { return static_cast<unsigned char>(c) <= 32; });
        if (packed != v.Text) {
            bank.Warn(q.Line, "blanks-removed",
                      "в ответе " + Quote(v.Text) + " убраны пробелы (станция сравнивает " +
                          "ответ без пробелов): " + Quote(packed));
            v.Text = packed;
        }
        kept.push_back(std::move(v));
    }
    q.Variants = std::move(kept);
}

void TakePicture(const BankQuestion& q, TProblem& problem, BankCollector& bank) {
    for (const BankPicture& picture : q.Pictures) {
        if (!problem.Picture.empty()) {
            bank.Warn(
                q.Line, "extra-picture",
                "рисунок " + Quote(picture.Name) + " не взят: у задачи станции " + "один рисунок");
            continue;
        }
        StationPicture jpeg = PictureToStationJpeg(picture.Bytes);
        if (!jpeg.Ok) {
            bank.Warn(q.Line, "picture-left-out",
                      "рисунок " + Quote(picture.Name) + " пропущен: " + jpeg.Problem);
            continue;
        }
        problem.Picture = std::move(jpeg.Jpeg);
    }
}

std::unique_ptr<TProblem> BuildProblem(BankQuestion& q, BankCollector& bank) {
    for (BankVariant& v : q.Variants) {
        v.Text = OneLine(std::move(v.Text));
    }
    if (q.Mode == ModeInput) {
        FitInputVariants(q, bank);
    }
    if (q.Variants.empty()) {
        bank.LeaveOut(q.Line, "без ответов", "не осталось ни одного ответа");
        return nullptr;
    }
    ProblemText text;
    auto problem = std::make_unique<TProblem>();
    problem->Id = text(OneLine(q.IdNumber));
    problem->Title = text(OneLine(q.Name));
    problem->Group = text(OneLine(q.Category));
    std::size_t start = 0;
    while (start <= q.Text.size() && !q.Text.empty()) {
        std::size_t end = q.Text.find('\n', start);
        if (end == std::string::npos) {
            end = q.Text.size();
        }
        problem->Condition.push_back(text(std::string_view(q.Text).substr(start, end - start)));
        start = end + 1;
    }
    problem->Answers.Mode = q.Mode;
    for (const BankVariant& v : q.Variants) {
        problem->Answers.Variants.push_back({text(v.Text), v.Weight});
    }
    text.Report(q.Line, bank);
    TakePicture(q, *problem, bank);
    return problem;
}

// A group per category, in the order met, quota all of its problems and rate 1. Names are
// compared as the station compares them, without regard to case.
void AddGroups(TTezra& tezra, BankCollector& bank) {
    std::unordered_map<std::string, TGroupInfo*> groups;
    for (const auto& problem : tezra.Problems) {
        if (problem->Group.empty()) {
            continue;
        }
        TGroupInfo*& group = groups[AnsiUpperCase(problem->Group)];
        if (group == nullptr && tezra.Groups.size() >= BankMaxGroups) {
            bank.Warn(0, "too-many-groups",
                      "групп больше " + std::to_string(BankMaxGroups) + "; задача группы «" +
                          Cp1251ToUtf8(problem->Group) + "» записана без группы");
            problem->Group.clear();
            continue;
        }
        if (group == nullptr) {
            auto info = std::make_unique<TGroupInfo>();
            info->Name = problem->Group;
            info->Quota = 0;
            info->Rate = 1.0f;
            group = info.get();
            tezra.Groups.push_back({info->Name, std::move(info)});
        }
        ++group->Quota;
    }
}

// The default thresholds: 85, 70 and 50 % of the problems, to one decimal.
void SetDefaultMarks(TTezra& tezra, BankCollector& bank) {
    const auto count = static_cast<long long>(tezra.Problems.size());
    std::string shown;
    for (const auto& [mark, percent] : {std::pair{5, 85}, std::pair{4, 70}, std::pair{3, 50}}) {
        const long long tenths = (count * percent + 5) / 10;
        tezra.MarkThresholds[mark] = static_cast<float>(tenths) / 10.0f;
        shown += (shown.empty() ? "" : ", ") + std::string("MARK") + std::to_string(mark) + "=" +
                 FormatGeneral(tezra.MarkThresholds[mark]);
    }
    bank.Warn(
        0, "default-marks",
        "пороги оценок " + shown + " (85, 70 и 50 % задач) взяты по умолчанию; " + "проверьте их");
}

}  // namespace

BankReadResult BuildStationTest(BankCollector&& bank, const std::string& fallbackTitle) {
    BankReadResult result;
    result.Tezra = std::make_unique<TTezra>();
    TTezra& tezra = *result.Tezra;
    for (BankQuestion& q : bank.Questions) {
        if (tezra.Problems.size() >= BankMaxProblems) {
            bank.LeaveOut(
                q.Line, "сверх предела",
                "в тесте станции не больше " + std::to_string(BankMaxProblems) + " задач");
            continue;
        }
        if (q.Variants.size() > BankMaxVariants) {
            bank.Warn(
                q.Line, "too-many-variants",
                "вариантов больше " + std::to_string(BankMaxVariants) + "; лишние не записаны");
            q.Variants.resize(BankMaxVariants);
        }
        if (auto problem = BuildProblem(q, bank)) {
            tezra.Problems.push_back(std::move(problem));
        }
    }
    if (bank.DroppedExtras > 0) {
        bank.Warn(bank.DroppedExtrasLine, "extras-dropped",
                  "отзывы, штрафы и подсказки не переносятся в тест станции: отброшено " +
                      std::to_string(bank.DroppedExtras));
    }
    if (!bank.Failed || !tezra.Problems.empty()) {
        ProblemText text;
        tezra.Title =
            text(OneLine(bank.FirstCategory.empty() ? fallbackTitle : bank.FirstCategory));
        text.Report(0, bank);
        AddGroups(tezra, bank);
        SetDefaultMarks(tezra, bank);
    }
    std::stable_sort(bank.Warnings.begin(), bank.Warnings.end(),
                     [](const BankWarning& a, const BankWarning& b) { return a.Line < b.Line; });
    result.Warnings = std::move(bank.Warnings);
    result.Converted = static_cast<int>(tezra.Problems.size());
    result.LeftOut = std::move(bank.LeftOut);
    result.Failed = bank.Failed;
    return result;
}
