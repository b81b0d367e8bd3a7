// SPDX-License-Identifier: GPL-3.0-or-later
// Collectors on one PostgreSQL database on this machine: 30 stations per collector sending
// results on kept connections as fast as they are answered, every result committed before
// its answer, while each collector's page keeps polling. The server is a private PostgreSQL 15
// started for the run, with fsync on as in a school. Compare with BM_ResultsFrom30Stations in
// bench_collector, the same load on one collector with its SQLite file.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collector/Collector.h"
#include "net/HttpClient.h"
#include "net/ResultSubmission.h"
#include "tests/collector/CollectorFixture.h"
#include "tests/common/PgServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStationsPerCollector = 30;
constexpr int kResultsPerStation = 100;

// One page poll on a new connection; its time in milliseconds, or -1 when it failed.
double PollPage(int port) {
    const auto start = Clock::now();
    RawClient client(port);
    const std::string request =
        "GET /api/results?after=0&date= HTTP/1.1\r\nConnection: close\r\n" +
        TeacherAuthorization() + "\r\n";
    if (!client.Send(request) || StatusOf(client.ReadAnswer(5000)) != 200) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The teacher's page of every collector polled every 50 ms while the stations send.
class PagePolls {
public:
    explicit PagePolls(std::vector<int> ports) {
        for (const int port : ports) {
            threads_.emplace_back([this, port] {
                while (!stop_.load()) {
                    const double ms = PollPage(port);
                    {
                        std::lock_guard lock(mutex_);
                        (ms < 0 ? failures_ : times_).push_back(ms);
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            });
        }
    }
    ~PagePolls() { Stop(); }
    void Stop() {
        stop_ = true;
        for (auto& thread : threads_) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }
    std::vector<double> Times() const { return times_; }
    bool Failed() const { return !failures_.empty(); }

private:
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<double> times_;
    std::vector<double> failures_;
    std::vector<std::thread> threads_;
};

void Load(benchmark::State& state, int collectors) {
    RaiseOpenFileLimit();
    // TEZRA_BENCH_NO_FSYNC=1 shows how much of the time the disk's flushes take.
    PgServer server(std::getenv("TEZRA_BENCH_NO_FSYNC") == nullptr);
    if (!server.Running()) {
        state.SkipWithError(server.Error().c_str());
        return;
    }
    const std::string uri = server.Uri(server.CreateDatabase());
    std::vector<std::unique_ptr<RunningCollector>> running;
    std::vector<int> ports;
    for (int c = 0; c < collectors; ++c) {
        // All stations share 127.0.0.1 here: the per-address limit would stop them.
        running.push_back(std::make_unique<RunningCollector>([&](CollectorOptions& options) {
            options.Database = uri;
            options.Name = "room-" + std::to_string(c);
            options.MaxResultsPerMinute = 0;
        }));
        if (!running.back()->Service) {
            state.SkipWithError("a collector did not start");
            return;
        }
        ports.push_back(running.back()->Port());
    }
    std::vector<double> pageTimes;
    std::atomic<int> failures{0};
    for (auto _ : state) {
        PagePolls polls(ports);
        std::vector<std::thread> stations;
        for (const int port : ports) {
            for (int s = 0; s < kStationsPerCollector; ++s) {
                stations.emplace_back([&failures, port, s] {
                    HttpClient client;
                    const std::string base = "http://127.0.0.1:" + std::to_string(port);
                    for (int i = 0; i < kResultsPerStation; ++i) {
                        const std::string query = BuildResultQuery(
                            "10\xC1", "\xC8\xE2\xE0\xED\xEE\xE2 " + std::to_string(s), 4.5f, 4);
                        if (client.Get(base + "/tezra/result?" + query).status != 200) {
                            ++failures;
                        }
                    }
                });
            }
        }
        for (auto& station : stations) {
            station.join();
        }
        polls.Stop();
        failures += polls.Failed() ? 1 : 0;
        const auto times = polls.Times();
        pageTimes.insert(pageTimes.end(), times.begin(), times.end());
    }
    if (failures.load() > 0) {
        state.SkipWithError("a result or a page poll failed");
        return;
    }
    std::sort(pageTimes.begin(), pageTimes.end());
    state.SetItemsProcessed(state.iterations() * collectors * kStationsPerCollector *
                            kResultsPerStation);
    if (!pageTimes.empty()) {
        state.counters["page_median_ms"] = pageTimes[pageTimes.size() / 2];
        state.counters["page_max_ms"] = pageTimes.back();
        state.counters["page_polls"] = static_cast<double>(pageTimes.size());
    }
}

void BM_TwoCollectorsOnPostgres(benchmark::State& state) {
    Load(state, 2);
}
BENCHMARK(BM_TwoCollectorsOnPostgres)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_OneCollectorOnPostgres(benchmark::State& state) {
    Load(state, 1);
}
BENCHMARK(BM_OneCollectorOnPostgres)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
