// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TryAttempt.h"

#include <algorithm>

#include "collector/EditorDocument.h"
#include "platform/Cp1251.h"
#include "ui/rules/TestWindowRules.h"

namespace {

int IndexOf(const TTezra& test, const TProblem& problem) {
    for (std::size_t i = 0; i < test.Problems.size(); ++i) {
        if (test.Problems[i].get() == &problem) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The best weight one answer of the problem can reach, in percent before clamping.
double BestWeight(const TAnswers& answers) {
    double best = 0;
    if (answers.Mode == ModeCombo) {
        for (const TVariant& variant : answers.Variants) {
            best += std::max<std::int32_t>(variant.Weight, 0);
        }
        return best;
    }
    for (const TVariant& variant : answers.Variants) {
        best = std::max<double>(best, variant.Weight);
    }
    return best;
}

}  // namespace

std::vector<TryPicture> TakePictures(TTezra& test) {
    std::vector<TryPicture> pictures;
    pictures.reserve(test.Problems.size());
    for (std::size_t i = 0; i < test.Problems.size(); ++i) {
        TProblem* problem = test.Problems[i].get();
        TryPicture picture;
        picture.Embedded = !problem->Picture.empty();
        picture.File = Cp1251ToUtf8(problem->PictureFile);
        if (picture.Embedded && picture.File.empty()) {
            // The editor serves bytes that came without a name under this one.
            picture.File = EmbeddedPictureName(i);
        }
        picture.Present = picture.Embedded || !picture.File.empty();
        pictures.push_back(std::move(picture));
        // The page shows the picture it already has: the trial keeps no bytes, and a name in
        // a test must not make the server read one of its files.
        problem->PictureFile.clear();
        std::vector<std::uint8_t>().swap(problem->Picture);
    }
    return pictures;
}

float HighestPoints(const TTezra& test) {
    double percent = 0;
    for (const TProblem* problem : test.Selected) {
        percent += std::clamp(BestWeight(problem->Answers), 0.0, 100.0);
    }
    return static_cast<float>(percent * 0.01);
}

TryProblem ShowProblem(const TTezra& test, const TProblem& problem,
                       const std::vector<TryPicture>& pictures, bool shuffle) {
    TryProblem shown;
    shown.Index = IndexOf(test, problem);
    shown.Id = problem.Id;
    shown.Title = problem.Title;
    shown.Lines = problem.Condition;
    if (shown.Index >= 0 && static_cast<std::size_t>(shown.Index) < pictures.size()) {
        shown.Picture = pictures[static_cast<std::size_t>(shown.Index)];
    }
    shown.Mode = ShownAnswerMode(problem.Answers.Mode);
    shown.Shuffled = test.ShuffleVariants;
    if (shown.Mode != ModeInput) {
        std::vector<TVariant> variants = problem.Answers.Variants;
        if (shuffle && test.ShuffleVariants) {
            ShuffleStrings(variants);
        }
        for (TVariant& variant : variants) {
            shown.Variants.push_back(std::move(variant.Text));
        }
    }
    return shown;
}

std::size_t HeldBytes(const TTezra& test) {
    std::size_t bytes = sizeof(TTezra) + test.Title.size() + test.Id.size();
    for (const auto& problem : test.Problems) {
        bytes += sizeof(TProblem) + problem->Picture.size() + problem->Id.size() +
                 problem->Title.size() + problem->Category.size() + problem->Group.size();
        for (const std::string& line : problem->Condition) {
            bytes += sizeof(std::string) + line.size();
        }
        for (const TVariant& variant : problem->Answers.Variants) {
            bytes += sizeof(TVariant) + variant.Text.size();
        }
    }
    return bytes + test.Groups.size() * (sizeof(TGroupEntry) + sizeof(TGroupInfo));
}

TryAttempt::TryAttempt(std::unique_ptr<TTezra> test, std::vector<TryPicture> pictures)
    : test_(std::move(test)), pictures_(std::move(pictures)), bytes_(HeldBytes(*test_)) {}

std::unique_ptr<TryAttempt> TryAttempt::Begin(std::unique_ptr<TTezra> test,
                                              std::vector<TryPicture> pictures) {
    for (const auto& problem : test->Problems) {
        problem->PictureFile.clear();
    }
    std::unique_ptr<TryAttempt> attempt(new TryAttempt(std::move(test), std::move(pictures)));
    if (!attempt->session_.Begin(*attempt->test_)) {
        return nullptr;
    }
    attempt->Show();
    return attempt;
}

void TryAttempt::Show() {
    // The session draws the variant order as the window does; the rest of the problem is
    // taken from the model as it stands.
    const TProblemView& view = session_.ShowProblem();
    current_ = ShowProblem(*test_, *view.Problem, pictures_, false);
    current_.Mode = view.Mode;
    current_.Variants = view.Variants;
}

TryProgress TryAttempt::Progress() const {
    TryProgress progress;
    progress.Total = static_cast<int>(test_->Selected.size());
    const int pending = static_cast<int>(test_->Pending.size());
    progress.Answered = progress.Total - pending;
    progress.Remaining = std::max(pending - 1, 0);
    return progress;
}

void TryAttempt::Answer(const TAnswerInput& input) {
    deferred_ = false;
    if (state_ == TryState::Finished) {
        return;
    }
    switch (session_.Answer(input)) {
        case TAnswerOutcome::Forgotten:
            state_ = TryState::Forgotten;
            return;
        case TAnswerOutcome::NextProblem:
            state_ = TryState::Problem;
            Show();
            return;
        case TAnswerOutcome::Finished:
            state_ = TryState::Finished;
            score_ = session_.Score();
            maxPoints_ = HighestPoints(*test_);
            current_ = TryProblem();
            return;
    }
}

void TryAttempt::Defer() {
    deferred_ = false;
    if (state_ == TryState::Finished) {
        return;
    }
    state_ = TryState::Problem;
    if (session_.Defer()) {
        deferred_ = true;
        Show();
    }
}
