// SPDX-License-Identifier: GPL-3.0-or-later
// The collector with months of data: a database of 2 million results over 200 days, while
// 30 stations send results as fast as they are answered. Measured: the page's poll for new
// rows (and the queries the poll ran before it read only what is new, on the same data), and
// an export of every row: its speed and how much the collector's memory grows.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "collector/Collector.h"
#include "collector/ReceivedTime.h"
#include "collector/SqliteResultStore.h"
#include "tests/collector/CollectorFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kRows = 2'000'000;
constexpr std::int64_t kDays = 200;
constexpr int kStations = 30;

// Writes the rows straight into the table in one transaction: quick enough to build anew
// for every run.
bool FillHistory(const std::filesystem::path& file) {
    std::string error;
    if (!SqliteResultStore::OpenWriter(file, error)) {
        return false;
    }
    SqliteDatabase db(file, false);
    db.Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF; PRAGMA cache_size=-200000;");
    SqliteTransaction transaction(db);
    SqliteStatement insert = db.Prepare(
        "INSERT INTO results(received_ms, received_utc, received_local, local_date, station, "
        "grp, user, res, mark, raw_query, source) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
        "?10, 'http')");
    const std::int64_t dayMs = 86'400'000;
    const std::int64_t start = (UnixMsNow() / dayMs - kDays) * dayMs;
    const std::int64_t step = kDays * dayMs / kRows;
    for (std::int64_t i = 0; i < kRows; ++i) {
        const std::int64_t ms = start + i * step;
        const ReceivedTime stamp = StampOf(ms);
        const std::string group = std::to_string(5 + i % 7) + static_cast<char>('A' + i % 5);
        insert.Bind(1, ms);
        insert.Bind(2, stamp.Utc);
        insert.Bind(3, stamp.Local);
        insert.Bind(4, stamp.LocalDate);
        insert.Bind(5, "127.0.1." + std::to_string(i % 60));
        insert.Bind(6, group);
        insert.Bind(7, "Ученик " + std::to_string(i % 997));
        insert.Bind(8, (i % 100) * 1000);
        insert.Bind(9, std::int64_t{1 + i % 5});
        insert.BindBlob(10, "group=" + group + "&user=u&res=1&mark=5");
        if (!insert.Run()) {
            return false;
        }
        insert.Reset();
    }
    return transaction.Commit() &&
           db.Execute(
               "INSERT OR IGNORE INTO stations SELECT station, MIN(local_date) FROM "
               "results GROUP BY station");
}

// The database and a collector on it, with 30 stations sending all the time.
class History {
public:
    History() {
        const auto built = Clock::now();
        if (!FillHistory(Dir.Path / "results.sqlite")) {
            return;
        }
        BuildSeconds = std::chrono::duration<double>(Clock::now() - built).count();
        CollectorOptions options;
        options.Database = Dir.Path / "results.sqlite";
        options.Password = kTeacherPassword;
        options.MaxResultsPerMinute = 0;
        std::string error;
        Service = CollectorService::Start(options, "127.0.0.1", 0, error);
        if (!Service) {
            return;
        }
        server_ = std::thread([this] { Service->Run(); });
        for (int s = 0; s < kStations; ++s) {
            stations_.emplace_back([this, s] { Send(s); });
        }
    }
    ~History() {
        sending_.store(false);
        for (auto& station : stations_) {
            station.join();
        }
        if (Service) {
            Service->Stop();
            server_.join();
        }
    }

    void Send(int s) {
        RawClient client(Service->Port());
        const std::string request = "GET /tezra/result?group=10B&user=Station " +
                                    std::to_string(s) + "&res=45000&mark=4 HTTP/1.1\r\n\r\n";
        while (sending_.load() && client.Send(request) &&
               StatusOf(client.ReadAnswer(10000)) == 200) {
            ++Sent;
        }
    }

    TempDir Dir;
    std::unique_ptr<CollectorService> Service;
    double BuildSeconds = 0;
    std::atomic<long> Sent{0};

private:
    std::thread server_;
    std::vector<std::thread> stations_;
    std::atomic<bool> sending_{true};
};

History& SharedHistory() {
    static History history;
    return history;
}

long StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(key)) {
            return std::stol(line.substr(std::string_view(key).size()));
        }
    }
    return 0;
}

// The page's poll as the page sends it: today's rows after the newest it has.
void BM_PagePollAt2MillionRows(benchmark::State& state) {
    History& history = SharedHistory();
    if (!history.Service) {
        state.SkipWithError("the database or the collector did not start");
        return;
    }
    RawClient page(history.Service->Port());
    const std::string today = LocalDateToday();
    std::int64_t after = 0;
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = Clock::now();
        page.Send("GET /api/results?date=" + today + "&after=" + std::to_string(after) +
                  " HTTP/1.1\r\n" + TeacherAuthorization() + "\r\n");
        const std::string answer = page.ReadAnswer(10000);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        const auto json = nlohmann::json::parse(BodyOf(answer), nullptr, false);
        if (StatusOf(answer) != 200 || !json.is_object()) {
            state.SkipWithError("a poll failed");
            return;
        }
        for (const auto& row : json["rows"]) {
            after = std::max<std::int64_t>(after, row["id"].get<std::int64_t>());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p95_ms"] = times[times.size() * 95 / 100];
    state.counters["build_s"] = history.BuildSeconds;
    state.counters["station_results"] = static_cast<double>(history.Sent.load());
}
BENCHMARK(BM_PagePollAt2MillionRows)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(200);

// What the poll asked the database before, on the same rows: every row after the page's
// newest, filtered with "or" conditions and sorted by time, and the classes of the day.
void BM_FormerPollQueriesAt2MillionRows(benchmark::State& state) {
    History& history = SharedHistory();
    SqliteDatabase db(history.Dir.Path / "results.sqlite", false, true);
    const std::string today = LocalDateToday();
    const auto newest = db.QueryInt("SELECT MAX(id) FROM results");
    for (auto _ : state) {
        SqliteStatement rows = db.Prepare(
            "SELECT id, received_local, station, grp, user, res, mark FROM results "
            "WHERE id > ?1 AND (?2 = '' OR grp = ?2) AND (?3 = '' OR local_date = ?3) "
            "ORDER BY received_ms, id LIMIT ?4");
        rows.Bind(1, newest.value_or(0));
        rows.Bind(2, std::string_view());
        rows.Bind(3, today);
        rows.Bind(4, std::int64_t{1000});
        rows.Run();
        SqliteStatement groups = db.Prepare(
            "SELECT DISTINCT grp FROM results WHERE ?1 = '' OR local_date = ?1 ORDER BY grp");
        groups.Bind(1, today);
        groups.Run();
    }
}
BENCHMARK(BM_FormerPollQueriesAt2MillionRows)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// Every row as CSV, read from the collector as it comes: bytes per second and how much the
// process's peak memory grew.
void BM_ExportEveryRowAt2MillionRows(benchmark::State& state) {
    History& history = SharedHistory();
    if (!history.Service) {
        state.SkipWithError("the database or the collector did not start");
        return;
    }
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from now
    const long before = StatusKiB("VmHWM:");
    std::size_t bytes = 0;
    for (auto _ : state) {
        RawClient client(history.Service->Port());
        client.Send("GET /results.csv HTTP/1.1\r\nConnection: close\r\n" + TeacherAuthorization() +
                    "\r\n");
        bytes += client.ReadUntilClosed(120000);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["export_mb"] = static_cast<double>(bytes) / state.iterations() / 1e6;
    state.counters["peak_growth_mib"] = (StatusKiB("VmHWM:") - before) / 1024.0;
}
BENCHMARK(BM_ExportEveryRowAt2MillionRows)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
