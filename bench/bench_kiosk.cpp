// SPDX-License-Identifier: GPL-3.0-or-later
// How soon tezra-kiosk starts the station again after a kill -9 (the goal: within 2 s). The
// station is a stand-in script that notes its pid and waits; the time runs from the kill to
// the next pid noted. Four kills per run: a fifth within a minute would start the back-off.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<pid_t> Starts(const fs::path& log) {
    std::vector<pid_t> pids;
    std::ifstream file(log);
    pid_t pid = 0;
    while (file >> pid) {
        pids.push_back(pid);
    }
    return pids;
}

// Waits up to ten seconds for the count-th start; its pid, or 0.
pid_t WaitForStart(const fs::path& log, std::size_t count) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
        const std::vector<pid_t> pids = Starts(log);
        if (pids.size() >= count) {
            return pids[count - 1];
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

void BM_RestartAfterKill(benchmark::State& state) {
    std::string pattern = (fs::temp_directory_path() / "tezra-bench-kiosk-XXXXXX").string();
    const fs::path dir = mkdtemp(pattern.data());
    const fs::path station = dir / "station";
    std::ofstream(station) << "#!/bin/sh\necho $$ >> starts.log\nexec sleep 600\n";
    fs::permissions(station, fs::perms::owner_all);
    const fs::path log = dir / "starts.log";
    const pid_t supervisor = fork();
    if (supervisor == 0) {
        if (freopen("/dev/null", "w", stderr) == nullptr) {
            _exit(126);
        }
        execl(TEZRA_KIOSK_PATH, TEZRA_KIOSK_PATH, "--program", station.c_str(), dir.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::size_t count = 1;
    pid_t current = WaitForStart(log, count);
    for (auto _ : state) {
        if (current == 0) {
            state.SkipWithError("the supervisor did not start the station");
            break;
        }
        const auto killed = Clock::now();
        kill(current, SIGKILL);
        current = WaitForStart(log, ++count);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - killed).count());
    }
    kill(supervisor, SIGTERM);
    waitpid(supervisor, nullptr, 0);
    fs::remove_all(dir);
}
BENCHMARK(BM_RestartAfterKill)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
