// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/AttemptProgress.h"

#include <algorithm>
#include <unordered_map>

TAttemptProgress CaptureProgress(TTezra& tezra) {
    std::unordered_map<const TProblem*, std::uint32_t> index;
    for (std::size_t i = 0; i < tezra.Problems.size(); ++i) {
        index.emplace(tezra.Problems[i].get(), static_cast<std::uint32_t>(i));
    }
    TAttemptProgress progress;
    for (const TProblem* problem : tezra.Selected) {
        progress.Selected.push_back(index.at(problem));
        progress.Given.push_back(problem->Given);
    }
    for (const TProblem* problem : tezra.Pending) {
        progress.Pending.push_back(index.at(problem));
    }
    progress.DeferCount = tezra.DeferCount;
    // GetPoints caches each problem's score; the cache is put back as it was.
    std::vector<float> cached;
    for (const auto& problem : tezra.Problems) {
        cached.push_back(problem->Score);
    }
    progress.Points = tezra.GetPoints();
    progress.Mark = tezra.GetMark(progress.Points);
    for (std::size_t i = 0; i < tezra.Problems.size(); ++i) {
        tezra.Problems[i]->Score = cached[i];
    }
    return progress;
}

bool RestoreProgress(TTezra& tezra, const TAttemptProgress& progress) {
    const std::size_t count = tezra.Problems.size();
    auto outside = [count](std::uint32_t index) { return index >= count; };
    if (std::any_of(progress.Selected.begin(), progress.Selected.end(), outside) ||
        std::any_of(progress.Pending.begin(), progress.Pending.end(), outside) ||
        progress.Given.size() != progress.Selected.size() || progress.DeferCount < 0 ||
        progress.DeferCount > std::max<std::int32_t>(tezra.DeferLimit, 0)) {
        return false;
    }
    tezra.Selected.clear();
    tezra.Pending.clear();
    for (std::size_t i = 0; i < progress.Selected.size(); ++i) {
        TProblem* problem = tezra.Problems[progress.Selected[i]].get();
        problem->ClearAnswer();
        problem->Given = progress.Given[i];
        tezra.Selected.push_back(problem);
    }
    for (std::uint32_t index : progress.Pending) {
        tezra.Pending.push_back(tezra.Problems[index].get());
    }
    tezra.DeferCount = progress.DeferCount;
    return true;
}

TCrashAction DecideAfterCrash(const TJournalRead& read,
                              const std::optional<TFileFingerprint>& current,
                              const TStationTime& now) {
    switch (read.Kind) {
        case TJournalRead::State::Missing:
            return TCrashAction::None;
        case TJournalRead::State::Damaged:
            return TCrashAction::SetAside;
        case TJournalRead::State::Valid:
            break;
    }
    const TAttemptJournal& journal = *read.Journal;
    const std::int64_t age = now.Absolute() - journal.Start.Absolute();
    const bool resumable = !journal.Progress.Finished() && current == journal.Fingerprint &&
                           age >= 0 && age < kResumeWindowMs &&
                           now.Absolute() >= journal.Saved.Absolute();
    return resumable ? TCrashAction::Resume : TCrashAction::Log;
}
