// SPDX-License-Identifier: GPL-3.0-or-later
// The test editor's server side on a 200-problem test: the check the page asks for after a
// change (the document's JSON text read, written as the station file, checked, the findings
// as JSON text; goal: well within 300 ms together with the round trip), and a whole save on
// the class library's thread (goal: under 20 ms).

#include <benchmark/benchmark.h>

#include <ctime>
#include <future>
#include <string>

#include "collector/ClassLibrary.h"
#include "collector/EditorCheck.h"
#include "collector/EditorDocument.h"
#include "collector/EditorHandlers.h"
#include "model/TestWriters.h"
#include "tests/common/TempDir.h"

namespace {

using Json = nlohmann::json;

// A test of 200 problems in four sections, the three answer kinds in turn, with conditions
// of a few lines.
Json LargeDocument() {
    Json doc = {{"title", "Большой тест"},
                {"marks", {{"5", 150}, {"4", 110}, {"3", 70}, {"2", 30}}},
                {"shuffle", {{"groups", true}, {"problems", true}, {"variants", true}}},
                {"groups", Json::array()},
                {"problems", Json::array()}};
    for (int g = 0; g < 4; ++g) {
        doc["groups"].push_back(
            {{"name", "Раздел " + std::to_string(g + 1)}, {"quota", 40}, {"rate", 1}});
    }
    static const char* const kKinds[] = {"one", "several", "typed"};
    for (int p = 0; p < 200; ++p) {
        Json variants = Json::array();
        for (int v = 0; v < 4; ++v) {
            variants.push_back({{"text", "Вариант ответа номер " + std::to_string(v + 1)},
                                {"weight", v == 0 ? 100 : (p % 3 == 1 && v == 1 ? 50 : 0)}});
        }
        doc["problems"].push_back(
            {{"id", "P" + std::to_string(p + 1)},
             {"title", "Задача " + std::to_string(p + 1)},
             {"group", "Раздел " + std::to_string(p % 4 + 1)},
             {"text",
              "Первая строка условия задачи.\nВторая строка: 12 + 30 = ?\n"
              "Третья строка, чуть длиннее, чтобы условие было похоже на настоящее."},
             {"kind", kKinds[p % 3]},
             {"variants", variants}});
    }
    return doc;
}

void BM_EditorCheck200(benchmark::State& state) {
    const std::string body = Json{{"doc", LargeDocument()}}.dump();
    std::size_t findings = 0;
    for (auto _ : state) {
        const Json request = Json::parse(body);
        TTezra test;
        std::string error;
        if (!DocumentToTest(request["doc"], test, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::vector<std::string> warnings;
        const EditorCheck check = CheckEditedTest(test, SaveTestToText(test, warnings), {});
        const std::string answer = check.Findings.dump();
        findings = check.Findings.size();
        benchmark::DoNotOptimize(answer.data());
    }
    state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_EditorCheck200)->Unit(benchmark::kMillisecond);

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void BM_EditorSave200(benchmark::State& state) {
    TempDir dir;
    std::string error;
    std::unique_ptr<ClassLibrary> library =
        ClassLibrary::Open((dir.Path / "bench.sqlite").string(), "bench", error);
    if (!library) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto run = [&library](EditorRequest request) {
        std::promise<int> status;
        library->Post([&](LibraryStore& store, ResultStore&) {
            status.set_value(HandleEditorRequest(*library, store, request).Status);
        });
        return status.get_future().get();
    };
    EditorRequest create;
    create.Route = EditorRoute::Create;
    create.Method = "POST";
    create.Body = Json{{"name", "big.ttxt"}, {"doc", LargeDocument()}}.dump();
    if (run(create) != 201) {
        state.SkipWithError("the test was not created");
        return;
    }
    std::int64_t revision = 1;
    // The page's request arrives as text; only its revision changes from save to save.
    const std::string docText = LargeDocument().dump();
    // The library's thread does the work: the process's CPU time counts it, while the wall
    // time also holds the waits for the disk (every save is committed durably).
    const double cpuBefore = ProcessCpuMs();
    for (auto _ : state) {
        EditorRequest save;
        save.Route = EditorRoute::Test;
        save.Method = "PUT";
        save.Test = "big.ttxt";
        save.Body = "{\"revision\":" + std::to_string(revision) + ",\"doc\":" + docText + "}";
        if (run(save) != 200) {
            state.SkipWithError("a save was refused");
            return;
        }
        ++revision;
    }
    state.counters["process_cpu_ms"] =
        (ProcessCpuMs() - cpuBefore) /
        static_cast<double>(std::max<std::int64_t>(revision - 1, 1));
}
BENCHMARK(BM_EditorSave200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
