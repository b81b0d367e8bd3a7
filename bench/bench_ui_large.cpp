// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the windows with large inputs (offscreen unless QT_QPA_PLATFORM says otherwise).
// BM_ShowManyVariants shows a new test window whose test is one RADIO or COMBO problem of N
// variants, up to the problem painted;
// BM_NextManyVariants puts the problem on screen again, as a deferral or an answer does in the
// middle of a test. BM_ChooserShow shows the test chooser over N test files,
// each with its description, rebuilding the rows as refreshtezras=1 asks at every showing;
// BM_ChooserFirstShow shows a new chooser each time.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "settings/UCommon.h"
#include "ui/UChooseTezra.h"
#include "ui/UTezraForm.h"

namespace {

namespace fs = std::filesystem;

// A station folder of its own, removed at the end.
struct Station {
    Station() {
        std::string pattern = (fs::temp_directory_path() / "tezra-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            Dir = pattern;
        }
        fs::create_directories(Dir / "tezra");
        Settings = std::make_unique<TSettings>(Dir / "tezra-net");
        Settings->Secure = false;
    }
    ~Station() {
        Settings.reset();
        std::error_code error;
        fs::remove_all(Dir, error);
    }
    fs::path Dir;
};

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

// A text test of `problems` problems, each of `variants` variants in the given mode.
std::string ManyVariantsTest(const char* mode, int variants, int problems) {
    std::string text = "\xA7TEZRA\n\xA7PROBLEMS\n";
    for (int p = 0; p < problems; ++p) {
        text +=
            "\xA7PROBLEM\n\xA7"
            "CONDITION\nWhich variant is right?\n\xA7"
            "END CONDITION\n\xA7"
            "ANSWER\nMODE=";
        text += mode;
        text += "\n\xA7VARIANTS\n";
        for (int v = 0; v < variants; ++v) {
            text += (v == 0 ? "[100] variant " : "[0] variant ") + std::to_string(v) + "\n";
        }
        text +=
            "\xA7"
            "END ANSWER\n\xA7"
            "END PROBLEM\n";
    }
    return text + "\xA7" + "END PROBLEMS\n\xA7" + "END TEZRA\n";
}

void BM_ShowManyVariants(benchmark::State& state, const char* mode) {
    const Station station;
    const int variants = static_cast<int>(state.range(0));
    Write(station.Dir / "tezra" / "many.ttxt", ManyVariantsTest(mode, variants, 1));
    Settings->TestFile = station.Dir / "tezra" / "many.ttxt";
    for (auto _ : state) {
        // A window of its own each time: nothing is left over from an earlier showing.
        state.PauseTiming();
        fmTezra = std::make_unique<TfmTezra>();
        state.ResumeTiming();
        fmTezra->show();
        fmTezra->repaint();
        state.PauseTiming();
        fmTezra->hide();
        fmTezra.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * variants);
}

void BM_NextManyVariants(benchmark::State& state, const char* mode) {
    const Station station;
    const int variants = static_cast<int>(state.range(0));
    Write(station.Dir / "tezra" / "many.ttxt", ManyVariantsTest(mode, variants, 2));
    Settings->TestFile = station.Dir / "tezra" / "many.ttxt";
    fmTezra = std::make_unique<TfmTezra>();
    fmTezra->show();
    for (auto _ : state) {
        fmTezra->ShowProblem();
        fmTezra->repaint();
    }
    fmTezra->hide();
    fmTezra.reset();
    state.SetItemsProcessed(state.iterations() * variants);
}

// A station folder of `tests` test files, each with its description.
void AddTests(const Station& station, int tests) {
    for (int i = 0; i < tests; ++i) {
        const std::string name = "test-" + std::to_string(i);
        Settings->TestFiles.push_back(station.Dir / "tezra" / (name + ".ttxt"));
        Write(station.Dir / "tezra" / (name + ".desc"),
              "Test number " + std::to_string(i) + "\r\nsecond line\r\n");
    }
}

void BM_ChooserShow(benchmark::State& state) {
    const Station station;
    const int tests = static_cast<int>(state.range(0));
    AddTests(station, tests);
    Settings->RefreshTests = true;
    TfmChooseTezra chooser;
    for (auto _ : state) {
        chooser.show();
        chooser.repaint();
        chooser.hide();
    }
    const auto* list = chooser.findChild<QListWidget*>("lbxTezraAvail");
    if (list == nullptr || list->count() != tests) {
        state.SkipWithError("the chooser does not list every test");
    }
}

void BM_ChooserFirstShow(benchmark::State& state) {
    const Station station;
    AddTests(station, static_cast<int>(state.range(0)));
    Settings->RefreshTests = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto chooser = std::make_unique<TfmChooseTezra>();
        state.ResumeTiming();
        chooser->show();
        chooser->repaint();
        state.PauseTiming();
        chooser.reset();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_ShowManyVariants, radio, "RADIO")
    ->Arg(10)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShowManyVariants, combo, "COMBO")
    ->Arg(10)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NextManyVariants, radio, "RADIO")->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NextManyVariants, combo, "COMBO")->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooserShow)->Arg(5'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooserFirstShow)->Arg(5'000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
