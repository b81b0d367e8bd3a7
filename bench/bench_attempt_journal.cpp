// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the attempt journal of a 100-problem test after an answer, as the test window does:
// encoded, written beside, fsync'ed, renamed and the folder fsync'ed. It must not be felt
// (well under 5 ms on the class's machines).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/AttemptJournal.h"

namespace {

TAttemptJournal HalfDoneTest(std::uint32_t problems) {
    TAttemptJournal journal;
    journal.Group = "9B";
    journal.User = "Smith";
    journal.TestName = "Geography of the world";
    journal.TestFile = "/var/lib/tezra-net/tezra/geography.ttxt";
    journal.Fingerprint = {250000, Sha256("test")};
    journal.Start = {{2024, 6, 11}, 36000000};
    journal.Saved = {{2024, 6, 11}, 37800000};
    for (std::uint32_t i = 0; i < problems; ++i) {
        journal.Progress.Selected.push_back(i);
        const bool answered = i < problems / 2;
        journal.Progress.Given.push_back(
            answered ? std::vector<std::string>{"The answer of problem " + std::to_string(i)}
                     : std::vector<std::string>{});
        if (!answered) {
            journal.Progress.Pending.push_back(i);
        }
    }
    journal.Progress.Points = 37.5f;
    journal.Progress.Mark = 4;
    return journal;
}

// The folder to write in: TEZRA_BENCH_DIR (to measure a real disk), else the temporary one.
std::filesystem::path BenchFolder() {
    const char* dir = std::getenv("TEZRA_BENCH_DIR");
    return dir != nullptr ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
}

void BM_WriteJournalOf100Problems(benchmark::State& state) {
    const TAttemptJournal journal = HalfDoneTest(100);
    const auto path = BenchFolder() / ("tezra-bench-attempt-" + std::to_string(::getpid()));
    for (auto _ : state) {
        if (!WriteAttemptJournal(path, journal)) {
            state.SkipWithError("the journal could not be written");
            break;
        }
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteJournalOf100Problems)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadJournalOf100Problems(benchmark::State& state) {
    const std::string bytes = EncodeAttemptJournal(HalfDoneTest(100));
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeAttemptJournal(bytes));
    }
}
BENCHMARK(BM_ReadJournalOf100Problems)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
