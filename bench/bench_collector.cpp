// SPDX-License-Identifier: GPL-3.0-or-later
// The result collector under load on 127.0.0.1: 30 stations sending results on kept
// connections as fast as they are answered, every result committed before its answer, while
// the teacher's page keeps polling; and the memory that idle connections and huge request
// lines cost.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "collector/Collector.h"
#include "net/HttpClient.h"
#include "net/ResultSubmission.h"
#include "tests/collector/CollectorFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStations = 30;
constexpr int kResultsPerStation = 100;

// A plain connected descriptor for the idle connections: unlike a RawClient it allocates
// nothing in this process, so the memory figure counts the collector's memory alone.
int ConnectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

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

void BM_ResultsFrom30Stations(benchmark::State& state) {
    RaiseOpenFileLimit();
    // All stations share 127.0.0.1 here: the per-address limit would stop them.
    RunningCollector collector([](CollectorOptions& options) { options.MaxResultsPerMinute = 0; });
    if (!collector.Service) {
        state.SkipWithError("collector did not start");
        return;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(collector.Port());
    std::vector<double> pageTimes;
    std::atomic<int> failures{0};
    for (auto _ : state) {
        std::atomic<bool> loading{true};
        std::thread teacher([&] {
            while (loading.load()) {
                const double ms = PollPage(collector.Port());
                if (ms < 0) {
                    ++failures;
                } else {
                    pageTimes.push_back(ms);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
        std::vector<std::thread> stations;
        for (int s = 0; s < kStations; ++s) {
            stations.emplace_back([&, s] {
                HttpClient client;
                for (int i = 0; i < kResultsPerStation; ++i) {
                    const std::string query = BuildResultQuery(
                        "10\xC1", "\xC8\xE2\xE0\xED\xEE\xE2 " + std::to_string(s), 4.5f, 4);
                    const HttpResult result = client.Get(base + "/tezra/result?" + query);
                    if (result.status != 200) {
                        ++failures;
                    }
                }
            });
        }
        for (auto& station : stations) {
            station.join();
        }
        loading.store(false);
        teacher.join();
    }
    if (failures.load() > 0) {
        state.SkipWithError("a result or a page poll failed");
        return;
    }
    std::sort(pageTimes.begin(), pageTimes.end());
    state.SetItemsProcessed(state.iterations() * kStations * kResultsPerStation);
    if (!pageTimes.empty()) {
        state.counters["page_median_ms"] = pageTimes[pageTimes.size() / 2];
        state.counters["page_max_ms"] = pageTimes.back();
        state.counters["page_polls"] = static_cast<double>(pageTimes.size());
    }
}
BENCHMARK(BM_ResultsFrom30Stations)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// 1,000 connections opened and left idle, then 20 clients each sending a 1 MiB request line,
// then a station: how much the collector's memory grew, and whether the station was served.
void BM_IdleConnectionsAndHugeLines(benchmark::State& state) {
    RaiseOpenFileLimit();
    RunningCollector collector;
    if (!collector.Service) {
        state.SkipWithError("collector did not start");
        return;
    }
    const std::string line = "GET /tezra/result?" + std::string(1 << 20, 'A');
    for (auto _ : state) {
        const long before = ResidentKiB();
        std::vector<int> idle;
        for (int i = 0; i < 1000; ++i) {
            idle.push_back(ConnectLoopback(collector.Port()));
        }
        std::vector<std::thread> huge;
        for (int i = 0; i < 20; ++i) {
            huge.emplace_back([&] { RawClient(collector.Port()).Send(line); });
        }
        for (auto& thread : huge) {
            thread.join();
        }
        const auto start = Clock::now();
        HttpClient station;
        const HttpResult result =
            station.Get("http://127.0.0.1:" + std::to_string(collector.Port()) +
                        "/tezra/result?group=a&user=b&res=1&mark=5");
        state.counters["station_ms"] =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        state.counters["rss_growth_kib"] = static_cast<double>(ResidentKiB() - before);
        if (result.status != 200) {
            state.SkipWithError("the station was not served");
        }
        for (const int fd : idle) {
            ::close(fd);
        }
    }
}
BENCHMARK(BM_IdleConnectionsAndHugeLines)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
