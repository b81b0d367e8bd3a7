// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the station as the X server sees it: from the moment the process is started to
// the moment its splash window is mapped on the display, and the station's resident memory a
// second later, when the first picture is on screen. Measured from outside the process, on the
// built demo station, against the X server named by DISPLAY (bench/startup/run.sh starts an
// Xvfb for it). Goal: the splash mapped within 300 ms.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kMapLimit = std::chrono::seconds(20);
constexpr const char* kRoleAtom = "WM_WINDOW_ROLE";
constexpr auto kSettleTime = std::chrono::seconds(1);

struct FreeDeleter {
    void operator()(void* reply) const { std::free(reply); }
};

// The X connection that watches the root window for windows being mapped.
class MapWatcher {
public:
    MapWatcher() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_) != 0) {
            return;
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        const std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> role(xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, std::strlen(kRoleAtom), kRoleAtom),
            nullptr));
        roleAtom_ = role ? role->atom : xcb_atom_t{XCB_ATOM_NONE};
        xcb_flush(connection_);
        ok_ = roleAtom_ != XCB_ATOM_NONE;
    }
    ~MapWatcher() { xcb_disconnect(connection_); }
    MapWatcher(const MapWatcher&) = delete;
    MapWatcher& operator=(const MapWatcher&) = delete;

    bool Ok() const { return ok_; }

    // Drops the events of earlier runs.
    void Drain() {
        while (
            std::unique_ptr<xcb_generic_event_t, FreeDeleter>(xcb_poll_for_event(connection_))) {
        }
    }

    // Waits until a window with this role is mapped; returns when, or nothing after the limit.
    bool WaitForRole(const std::string& role, Clock::time_point& mappedAt) {
        const auto deadline = Clock::now() + kMapLimit;
        const int fd = xcb_get_file_descriptor(connection_);
        while (Clock::now() < deadline) {
            std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(
                xcb_poll_for_event(connection_));
            if (!event) {
                pollfd entry{fd, POLLIN, 0};
                ::poll(&entry, 1, 50);
                continue;
            }
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) {
                continue;
            }
            const auto when = Clock::now();
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
            if (Role(map->window) == role) {
                mappedAt = when;
                return true;
            }
        }
        return false;
    }

private:
    std::string Role(xcb_window_t window) {
        const std::unique_ptr<xcb_get_property_reply_t, FreeDeleter> reply(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, window, roleAtom_, XCB_ATOM_STRING, 0, 64), nullptr));
        if (!reply) {
            return {};
        }
        const char* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
        return std::string(value, value + xcb_get_property_value_length(reply.get()));
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t roleAtom_ = XCB_ATOM_NONE;
    bool ok_ = false;
};

pid_t StartStation(const std::string& folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        if (::chdir(folder.c_str()) != 0) {
            ::_exit(127);
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::execl("./tezra-net", "./tezra-net", "IP", "127.0.0.1:9", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

void StopStation(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// VmRSS of the process, in KiB.
long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

void BM_StartToSplashMapped(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("DISPLAY names no X server (bench/startup/run.sh starts one)");
        return;
    }
    MapWatcher watcher;
    if (!watcher.Ok()) {
        state.SkipWithError("cannot watch the X display");
        return;
    }
    double residentKiB = 0;
    for (auto _ : state) {
        watcher.Drain();
        const auto started = Clock::now();
        const pid_t station = StartStation(TEZRA_STATION_DIR);
        Clock::time_point mapped;
        const bool shown = watcher.WaitForRole("fmSplash", mapped);
        if (shown) {
            state.SetIterationTime(std::chrono::duration<double>(mapped - started).count());
            std::this_thread::sleep_for(kSettleTime);
            residentKiB += static_cast<double>(ResidentKiB(station));
        }
        StopStation(station);
        if (!shown) {
            state.SkipWithError("the splash was not mapped within the limit");
            return;
        }
    }
    state.counters["rss_after_start_KiB"] =
        benchmark::Counter(residentKiB / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_StartToSplashMapped)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
