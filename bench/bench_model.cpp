// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the test model on generated tests: reading a 5 MB text test of 10,000 problems (also
// with a listener on the readers, as the test checker reads), loading a 100 MB scrambled binary
// test with pictures, the scrambler alone, and preparing and drawing 10,000 problems.
// BM_ReadFileBytes reads the same files into memory and nothing else: the limit that loading can
// approach.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/TestWriters.h"
#include "model/UTypes.h"
#include "platform/Cp1251.h"

namespace {

constexpr int kProblems = 10'000;
constexpr int kGroups = 50;

// A test of kProblems problems in kGroups groups, each problem about 500 bytes of text, with a
// pictureBytes picture each.
std::unique_ptr<TTezra> MakeTest(std::size_t pictureBytes) {
    auto t = std::make_unique<TTezra>();
    t->Id = "bench";
    t->Title = Utf8ToCp1251("Проверочная работа по географии");
    t->ShuffleGroups = t->ShuffleProblems = t->ShuffleVariants = true;
    t->DeferLimit = 3;
    for (int mark = 2; mark <= 5; ++mark) {
        t->MarkThresholds[mark] = static_cast<float>(mark * 4);
    }
    for (int g = 0; g < kGroups; ++g) {
        auto group = std::make_unique<TGroupInfo>();
        group->Name = "group-" + std::to_string(g);
        group->Quota = 20;
        group->Rate = 1.5f;
        t->Groups.push_back({group->Name, std::move(group)});
    }
    const std::string line = Utf8ToCp1251(
        "Какая река протекает через столицу этой страны и впадает в море? Выберите ответ.");
    for (int i = 0; i < kProblems; ++i) {
        auto p = std::make_unique<TProblem>();
        p->Id = "q" + std::to_string(i);
        p->Title = Utf8ToCp1251("Задача ") + std::to_string(i);
        p->Group = "group-" + std::to_string(i % kGroups);
        p->Difficulty = i % 5;
        p->Rate = i % 3 == 0 ? 0.0f : 2.0f;
        p->Condition = {line, line + " " + std::to_string(i), "", line};
        p->Answers.Mode = static_cast<std::uint8_t>(i % 3);
        p->Answers.Variants = {{Utf8ToCp1251("Темза"), 100},
                               {Utf8ToCp1251("Сена"), 0},
                               {Utf8ToCp1251("Дунай"), 0},
                               {"Rhine", -25}};
        p->Picture.resize(pictureBytes);
        for (std::size_t b = 0; b < pictureBytes; ++b) {
            p->Picture[b] = static_cast<std::uint8_t>(b * 131 + i);
        }
        t->Problems.push_back(std::move(p));
    }
    return t;
}

// The generated test files, written once to a temporary folder that is removed at exit.
class TBenchFiles {
public:
    TBenchFiles() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tezra-bench-XXXXXX").string();
        Folder = mkdtemp(pattern.data());
        std::vector<std::string> warnings;
        TextTest = Folder / "bench.ttxt";
        SaveTestFile(*MakeTest(0), TextTest, false, warnings);
        BinaryTest = Folder / "bench.tbin";
        SaveTestFile(*MakeTest(10'000), BinaryTest, true, warnings);
    }
    ~TBenchFiles() {
        std::error_code error;
        std::filesystem::remove_all(Folder, error);
    }

    std::filesystem::path Folder;
    std::filesystem::path TextTest;
    std::filesystem::path BinaryTest;
};

const TBenchFiles& Files() {
    static const TBenchFiles files;
    return files;
}

void SetBytes(benchmark::State& state, const std::filesystem::path& path) {
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_ReadTextTest(benchmark::State& state) {
    const auto& path = Files().TextTest;
    for (auto _ : state) {
        if (!LoadTestFile(path)) {
            state.SkipWithError("the text test did not load");
        }
    }
    state.counters["Problems"] = static_cast<double>(CurrentTezra().Problems.size());
    SetBytes(state, path);
}

// A listener that only counts the readers' notes.
class TCountingSink : public TReadSink {
public:
    void Note(const TReadEvent&) override { ++Count; }
    std::int64_t Count = 0;
};

void BM_ReadTextTestWithListener(benchmark::State& state) {
    const auto& path = Files().TextTest;
    TCountingSink sink;
    for (auto _ : state) {
        if (!LoadTestFile(path, &sink)) {
            state.SkipWithError("the text test did not load");
        }
    }
    state.counters["Notes"] = static_cast<double>(sink.Count / state.iterations());
    SetBytes(state, path);
}

void BM_LoadScrambledBinaryTest(benchmark::State& state) {
    const auto& path = Files().BinaryTest;
    for (auto _ : state) {
        if (!LoadTestFile(path)) {
            state.SkipWithError("the binary test did not load");
        }
    }
    state.counters["Problems"] = static_cast<double>(CurrentTezra().Problems.size());
    SetBytes(state, path);
}

// The limit: the file's bytes read into memory, nothing else (Arg 0 text, 1 binary).
void BM_ReadFileBytes(benchmark::State& state) {
    const auto& path = state.range(0) == 0 ? Files().TextTest : Files().BinaryTest;
    for (auto _ : state) {
        TMemoryStream stream;
        stream.LoadFromFile(path);
        benchmark::DoNotOptimize(stream.Data());
    }
    SetBytes(state, path);
}

void BM_ScrambleStream(benchmark::State& state) {
    TMemoryStream stream;
    stream.LoadFromFile(Files().BinaryTest);
    for (auto _ : state) {
        ScrambleStream(stream);
        benchmark::DoNotOptimize(stream.Data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.Size()));
}

void BM_PrepareAndSelectProblems(benchmark::State& state) {
    TMemoryStream text;
    text.LoadFromFile(Files().TextTest);
    for (auto _ : state) {
        state.PauseTiming();
        auto tezra = std::make_unique<TTezra>();
        LoadTestFromText(*tezra, text.Text());
        state.ResumeTiming();
        tezra->Prepare();
        tezra->SelectProblems();
        benchmark::DoNotOptimize(tezra->Selected.data());
        state.PauseTiming();
        tezra.reset();
        state.ResumeTiming();
    }
    state.counters["Problems"] = kProblems;
}

}  // namespace

BENCHMARK(BM_ReadTextTest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTextTestWithListener)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFileBytes)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadScrambledBinaryTest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFileBytes)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrambleStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareAndSelectProblems)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
