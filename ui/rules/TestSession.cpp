// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/TestSession.h"

#include <algorithm>

#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "ui/rules/TestWindowRules.h"

namespace {

// Empties a test as if it were freshly created. A file that cannot be loaded may leave the
// previous student's test in place; the log record and the results window must not show it.
void ClearTest(TTezra& tezra) {
    tezra.Selected.clear();
    tezra.Pending.clear();
    tezra.Groups.clear();
    tezra.Problems.clear();
    tezra.Id.clear();
    tezra.Title.clear();
    tezra.ShuffleGroups = tezra.ShuffleProblems = tezra.ShuffleVariants = false;
    tezra.DeferLimit = 0;
    tezra.DeferCount = 0;
    tezra.MarkThresholds = TMarkThresholds();
}

}  // namespace

const std::string& TestSession::InputPlaceholder() {
    static const std::string text = "(type your answer here)";
    return text;
}

const std::string& TestSession::UnloadableMessage() {
    static const std::string text =
        Utf8ToCp1251("Этот тест не удалось открыть.\rПозовите учителя.");
    return text;
}

const std::string& TestSession::ForgottenMessage() {
    static const std::string text =
        Utf8ToCp1251("Вы забыли выбрать ответ!\r\r\rВай бащка сапсеэм дырявый...");
    return text;
}

bool TestSession::Load(const std::filesystem::path& file) {
    tezra_ = nullptr;
    deferPanelVisible_ = false;
    if (!LoadTestFile(file)) {
        ClearTest(CurrentTezra());
        return false;
    }
    return Begin(CurrentTezra());
}

bool TestSession::Begin(TTezra& tezra) {
    tezra.Prepare();
    tezra.SelectProblems();
    return Continue(tezra);
}

bool TestSession::Continue(TTezra& tezra) {
    tezra_ = &tezra;
    view_ = TProblemView();
    deferPanelVisible_ = tezra.CanDefer();
    return Active();
}

const TProblemView& TestSession::ShowProblem() {
    const TProblem& problem = *tezra_->Pending.front();
    view_.Problem = &problem;
    view_.Mode = ShownAnswerMode(problem.Answers.Mode);
    view_.Variants.clear();
    if (view_.Mode != ModeInput) {
        std::vector<TVariant> shown = problem.Answers.Variants;
        if (tezra_->ShuffleVariants) {
            ShuffleStrings(shown);
        }
        for (TVariant& variant : shown) {
            view_.Variants.push_back(std::move(variant.Text));
        }
    }
    view_.Remaining =
        Utf8ToCp1251("Осталось вопросов: ") + std::to_string(tezra_->Pending.size() - 1);
    return view_;
}

std::vector<std::string> TestSession::GivenAnswers(const TAnswerInput& input) const {
    std::vector<std::string> given;
    const auto& variants = view_.Variants;
    switch (view_.Mode) {
        case ModeCombo:
            for (std::size_t i = 0; i < variants.size() && i < input.Checked.size(); ++i) {
                if (input.Checked[i]) {
                    given.push_back(variants[i]);
                }
            }
            break;
        case ModeInput:
            if (!input.Typed.empty() && input.Typed != InputPlaceholder()) {
                given.push_back(input.Typed);
            }
            break;
        default:
            if (input.RadioIndex >= 0 &&
                static_cast<std::size_t>(input.RadioIndex) < variants.size()) {
                given.push_back(variants[static_cast<std::size_t>(input.RadioIndex)]);
            }
            break;
    }
    return given;
}

TAnswerOutcome TestSession::Answer(const TAnswerInput& input) {
    TProblem& problem = *tezra_->Pending.front();
    problem.Given = GivenAnswers(input);
    // A choice without variants cannot be answered; it is passed with no answer (and scores
    // nothing) rather than keeping the student on it for good.
    const bool nothingToChoose = view_.Mode != ModeInput && view_.Variants.empty();
    if (problem.Given.empty() && !nothingToChoose) {
        return TAnswerOutcome::Forgotten;
    }
    tezra_->Pending.erase(tezra_->Pending.begin());
    if (tezra_->Pending.empty()) {
        view_ = TProblemView();
        return TAnswerOutcome::Finished;
    }
    return TAnswerOutcome::NextProblem;
}

bool TestSession::Defer() {
    if (!tezra_->CanDefer()) {
        deferPanelVisible_ = false;
        return false;
    }
    auto& pending = tezra_->Pending;
    std::rotate(pending.begin(), pending.begin() + 1, pending.end());
    ++tezra_->DeferCount;
    return true;
}

std::string TestSession::DeferCountText() const {
    if (tezra_ == nullptr) {
        return "0";
    }
    return std::to_string(static_cast<long long>(tezra_->DeferLimit) - tezra_->DeferCount);
}

TTestScore TestSession::Score() const {
    TTezra& tezra = tezra_ != nullptr ? *tezra_ : CurrentTezra();
    TTestScore score;
    score.Points = tezra.GetPoints();
    score.Mark = tezra.GetMark(score.Points);
    score.Message = Utf8ToCp1251("Вы набрали баллов: ") + FormatGeneral(score.Points) +
                    Utf8ToCp1251("\rОценка ") + std::to_string(score.Mark);
    return score;
}
