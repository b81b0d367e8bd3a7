// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AttemptResume.h"

#include <optional>
#include <string>
#include <utility>

#include "model/UTypes.h"
#include "platform/DurableFile.h"
#include "platform/Sha256.h"
#include "settings/AttemptJournal.h"
#include "settings/UCommon.h"
#include "ui/UTezraForm.h"
#include "ui/rules/AttemptProgress.h"

const char* const kResumedMessage = "Тест восстановлен после сбоя. Продолжайте.";

namespace {

// The journal of the test being taken as far as it does not change between steps.
std::optional<TAttemptJournal> kept;

TStationTime Now(const TClock& clock) {
    const TDate today = clock.Today();
    return {today, DayFractionToMs(clock.TimeOfDayNow())};
}

TStationTime StartOfTest() {
    return {Settings->StartDate, DayFractionToMs(Settings->StartTime)};
}

TAttemptJournal JournalOfSettings(const TFileFingerprint& fingerprint) {
    TAttemptJournal journal;
    journal.Group = Settings->StudentGroup;
    journal.User = Settings->User;
    journal.TestName = Settings->TestName;
    journal.TestFile = Settings->TestFile.native();
    journal.Fingerprint = fingerprint;
    journal.Start = StartOfTest();
    return journal;
}

void UseJournalStudent(const TAttemptJournal& journal) {
    Settings->StudentGroup = journal.Group;
    Settings->User = journal.User;
    Settings->Password.clear();
    Settings->TestName = journal.TestName;
    Settings->TestFile = journal.TestFile;
    Settings->StartDate = journal.Start.Date;
    Settings->StartTime = journal.Start.TimeOfDay();
}

// The record of the test as the journal last saw it, in report.log like any other.
void LogJournal(const TAttemptJournal& journal) {
    if (!Settings->SaveResults) {
        return;
    }
    UseJournalStudent(journal);
    Settings->EndTime = journal.Saved.TimeOfDay();
    const TAttemptProgress& progress = journal.Progress;
    Settings->AppendResultLog(
        {static_cast<std::int32_t>(progress.Selected.size()), progress.Points, progress.Mark});
}

// A free name beside the journal for keeping a damaged one: an earlier one is never replaced.
std::filesystem::path FreeSetAsidePath(const std::filesystem::path& journal) {
    const std::filesystem::path first = SetAsidePath(journal);
    std::filesystem::path aside = first;
    std::error_code error;
    for (int n = 2; std::filesystem::exists(aside, error) && n < 1000; ++n) {
        aside = first;
        aside += "." + std::to_string(n);
    }
    return aside;
}

bool RestoreTest(const TAttemptJournal& journal) {
    if (!LoadTestFile(journal.TestFile)) {
        return false;
    }
    TTezra& tezra = CurrentTezra();
    tezra.Prepare();
    return RestoreProgress(tezra, journal.Progress);
}

}  // namespace

void KeepJournal(const TClock& clock, bool resumed) {
    fmTezra->OnProgress = nullptr;
    if (!Settings->Resume) {
        kept.reset();
        return;
    }
    if (!resumed || !kept) {
        const std::optional<TFileFingerprint> fingerprint = FingerprintFile(Settings->TestFile);
        if (!fingerprint) {
            kept.reset();
            return;
        }
        kept = JournalOfSettings(*fingerprint);
    }
    fmTezra->OnProgress = [&clock](TTezra& tezra) {
        kept->Progress = CaptureProgress(tezra);
        kept->Saved = Now(clock);
        // A journal that cannot be written costs only the resumption; the test goes on.
        WriteAttemptJournal(Settings->AttemptJournal, *kept);
    };
}

void DropJournal() {
    fmTezra->OnProgress = nullptr;
    kept.reset();
    if (Settings->Resume) {
        RemoveFileDurably(Settings->AttemptJournal);
    }
}

bool SettleJournal(const TClock& clock) {
    const std::filesystem::path& path = Settings->AttemptJournal;
    // A replacement cut off before its rename holds nothing the journal does not.
    std::error_code error;
    std::filesystem::remove(ReplacementPath(path), error);
    TJournalRead read = ReadAttemptJournal(path);
    if (read.Kind == TJournalRead::State::Missing) {
        return false;
    }
    std::optional<TFileFingerprint> current;
    if (read.Journal) {
        current = FingerprintFile(read.Journal->TestFile);
    }
    TCrashAction action = DecideAfterCrash(read, current, Now(clock));
    if (action == TCrashAction::Resume && (!Settings->Resume || !RestoreTest(*read.Journal))) {
        action = TCrashAction::Log;
    }
    switch (action) {
        case TCrashAction::Resume:
            UseJournalStudent(*read.Journal);
            kept = std::move(read.Journal);
            return true;
        case TCrashAction::SetAside:
            RenameFileDurably(path, FreeSetAsidePath(path));
            return false;
        case TCrashAction::Log:
            LogJournal(*read.Journal);
            RemoveFileDurably(path);
            return false;
        case TCrashAction::None:
            break;
    }
    return false;
}
