// SPDX-License-Identifier: GPL-3.0-or-later
// The class library under load on 127.0.0.1: 30 stations run their sync at once against a
// published set of 40 tests with 20 MB of pictures, each into an empty station folder, while
// the teacher's page keeps polling; the time until every station holds the whole set and the
// page's answer times meanwhile.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

#include "collector/Collector.h"
#include "platform/Cp1251.h"
#include "platform/Jpeg.h"
#include "tests/collector/CollectorFixture.h"
#include "tools/sync/StationSync.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStations = 30;
constexpr int kTests = 40;
constexpr std::size_t kPictureBytes = 20 * 1024 * 1024 / kTests;
const std::string kKey = "bench-station-key";

// A JPEG of noise of about the given size, different for every seed.
std::string NoisePicture(unsigned seed, std::size_t bytes) {
    TRgbImage image;
    image.Width = 420;
    image.Height = 420;
    image.Pixels.resize(static_cast<std::size_t>(image.Width) * image.Height * 3);
    unsigned value = seed * 2654435761u + 1;
    for (auto& pixel : image.Pixels) {
        value = value * 1664525u + 1013904223u;
        pixel = static_cast<std::uint8_t>(value >> 24);
    }
    std::vector<std::uint8_t> jpeg;
    EncodeJpeg(image, 100, jpeg);
    std::string picture(jpeg.begin(), jpeg.end());
    // Padded after the end marker, which decoders never read past.
    if (picture.size() < bytes) {
        picture.append(bytes - picture.size(), '\0');
    }
    return picture;
}

std::string TextTest(int index) {
    return Utf8ToCp1251("§TEZRA\r\n§PARAMS\r\nTITLE=Test " + std::to_string(index) +
                        "\r\n§END PARAMS\r\n§PROBLEMS\r\n§PROBLEM\r\n§CONDITION\r\nWhat is "
                        "shown?\r\n§END CONDITION\r\n§PICTURE\r\nFILE=p" +
                        std::to_string(index) +
                        ".jpg\r\n§ANSWER\r\nMODE=INPUT\r\n§VARIANTS\r\n[100] yes\r\n"
                        "§END ANSWER\r\n§END PROBLEM\r\n§END PROBLEMS\r\n§END TEZRA\r\n");
}

std::string Send(int port, const std::string& method, const std::string& target,
                 const std::string& body) {
    return Exchange(port, method + " " + target + " HTTP/1.1\r\n" + TeacherAuthorization() +
                              "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                              body);
}

double PollPage(int port) {
    const auto start = Clock::now();
    RawClient client(port);
    if (!client.Send("GET /api/results?after=0&date= HTTP/1.1\r\nConnection: close\r\n" +
                     TeacherAuthorization() + "\r\n") ||
        StatusOf(client.ReadAnswer(10000)) != 200) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void BM_SyncOf30Stations(benchmark::State& state) {
    RaiseOpenFileLimit();
    TempDir dir;
    CollectorOptions options;
    options.Database = dir.Path / "results.sqlite";
    options.Password = kTeacherPassword;
    options.StationKey = kKey;
    std::string error;
    auto service = CollectorService::Start(options, "127.0.0.1", 0, error);
    if (!service) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::thread server([&service] { service->Run(); });
    const int port = service->Port();
    bool published = true;
    for (int i = 0; i < kTests; ++i) {
        const std::string name = "t" + std::to_string(i) + ".ttxt";
        published =
            published && StatusOf(Send(port, "PUT", "/api/tests/" + name, TextTest(i))) == 201 &&
            StatusOf(Send(port, "PUT",
                          "/api/tests/" + name + "/pictures/p" + std::to_string(i) + ".jpg",
                          NoisePicture(static_cast<unsigned>(i), kPictureBytes))) == 200 &&
            StatusOf(Send(port, "PATCH", "/api/tests/" + name, "{\"published\":true}")) == 200;
    }
    std::vector<double> pageTimes;
    std::atomic<int> failures{published ? 0 : 1};
    int round = 0;
    for (auto _ : state) {
        std::atomic<bool> syncing{true};
        std::thread teacher([&] {
            while (syncing.load()) {
                const double ms = PollPage(port);
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
                SyncOptions sync;
                sync.StationDir =
                    dir.Path / ("station-" + std::to_string(round) + "-" + std::to_string(s));
                std::filesystem::create_directories(sync.StationDir);
                sync.Host = "127.0.0.1";
                sync.Port = port;
                sync.Key = kKey;
                sync.TimeoutMs = 120000;
                sync.StationName = "pc-" + std::to_string(s);
                std::ostringstream out;
                if (RunStationSync(sync, out) != 0) {
                    ++failures;
                }
            });
        }
        for (auto& station : stations) {
            station.join();
        }
        syncing.store(false);
        teacher.join();
        ++round;
    }
    service->Stop();
    server.join();
    if (failures.load() > 0) {
        state.SkipWithError("a sync or a page poll failed");
        return;
    }
    std::sort(pageTimes.begin(), pageTimes.end());
    state.SetBytesProcessed(state.iterations() * kStations * kTests *
                            static_cast<std::int64_t>(kPictureBytes));
    if (!pageTimes.empty()) {
        state.counters["page_median_ms"] = pageTimes[pageTimes.size() / 2];
        state.counters["page_max_ms"] = pageTimes.back();
        state.counters["page_polls"] = static_cast<double>(pageTimes.size());
    }
}
BENCHMARK(BM_SyncOf30Stations)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
