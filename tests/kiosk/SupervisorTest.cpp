// SPDX-License-Identifier: GPL-3.0-or-later
// The tezra-kiosk executable with stand-in stations: shell scripts that note each start in the
// station folder and then wait, or fail at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/TempDir.h"

namespace {

using namespace std::chrono_literals;

// Polls until done() holds or the limit passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Whether the process runs: it exists and is not a zombie waiting to be reaped (a container's
// first process may never reap the orphans it inherits).
bool Alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

// One start of the stand-in station, as it noted it: pid, working folder, station folder
// from the environment, arguments.
struct TStart {
    pid_t Pid = 0;
    std::string Line;
};

class Supervised : public ::testing::Test {
protected:
    // body runs after the start is noted (a shell script's last lines).
    void WriteStation(const std::string& body) {
        program_ = dir_.Write("bin/station",
                              "#!/bin/sh\n"
                              "echo \"$$ $(pwd) $TEZRA_STATION_DIR $*\" >> starts.log\n" +
                                  body + "\n");
        std::filesystem::permissions(program_, std::filesystem::perms::owner_all);
        std::filesystem::create_directories(station());
    }

    std::filesystem::path station() const { return dir_.Path / "station"; }

    void StartSupervisor(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> words{TEZRA_KIOSK_PATH, "--program", program_.string()};
        words.insert(words.end(), extra.begin(), extra.end());
        words.push_back(station().string());
        const std::string log = (dir_.Path / "kiosk.log").string();
        supervisor_ = fork();
        if (supervisor_ == 0) {
            std::vector<char*> argv;
            for (std::string& word : words) {
                argv.push_back(word.data());
            }
            argv.push_back(nullptr);
            if (freopen(log.c_str(), "w", stderr) == nullptr) {
                _exit(126);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_GT(supervisor_, 0);
    }

    // Ends the supervisor with signal and returns its exit code (-1 when it did not end).
    int StopSupervisor(int signal = SIGTERM) {
        kill(supervisor_, signal);
        int status = 0;
        const bool ended =
            WaitUntil([&] { return waitpid(supervisor_, &status, WNOHANG) == supervisor_; }, 10s);
        if (!ended) {
            kill(supervisor_, SIGKILL);
            waitpid(supervisor_, &status, 0);
        }
        supervisor_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void TearDown() override {
        if (supervisor_ > 0) {
            StopSupervisor();
        }
        for (const TStart& start : Starts()) {
            kill(start.Pid, SIGKILL);
        }
    }

    std::vector<TStart> Starts() const {
        std::vector<TStart> starts;
        std::ifstream file(station() / "starts.log");
        std::string line;
        while (std::getline(file, line)) {
            std::istringstream words(line);
            TStart start;
            words >> start.Pid;
            start.Line = line;
            starts.push_back(start);
        }
        return starts;
    }

    bool WaitForStarts(std::size_t count, std::chrono::milliseconds limit = 10s) {
        return WaitUntil([&] { return Starts().size() >= count; }, limit);
    }

    std::string KioskLog() const { return TempDir::Read(dir_.Path / "kiosk.log"); }

    TempDir dir_;
    std::filesystem::path program_;
    pid_t supervisor_ = -1;
};

TEST_F(Supervised, StartsTheStationInItsFolderAndAgainAfterEachKill) {
    WriteStation("exec sleep 60");
    StartSupervisor({"--server", "127.0.0.5:8080"});
    ASSERT_TRUE(WaitForStarts(1));
    const std::string folder = station().string();
    EXPECT_EQ(Starts()[0].Line,
              std::to_string(Starts()[0].Pid) + " " + folder + " " + folder + " IP 127.0.0.5:8080");
    for (const int signal : {SIGKILL, SIGSEGV, SIGABRT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const std::size_t before = Starts().size();
        const pid_t station = Starts().back().Pid;
        kill(station, signal);
        ASSERT_TRUE(WaitForStarts(before + 1)) << KioskLog();
        EXPECT_NE(Starts().back().Pid, station);
        EXPECT_FALSE(Alive(station));
    }
    EXPECT_NE(KioskLog().find("was killed by signal 9 (Killed)"), std::string::npos);
    EXPECT_EQ(KioskLog().find("backing off"), std::string::npos) << KioskLog();

    // Asked to stop, the supervisor stops the station too.
    const pid_t last = Starts().back().Pid;
    EXPECT_EQ(StopSupervisor(SIGHUP), 0);
    EXPECT_TRUE(WaitUntil([&] { return !Alive(last); }, 10s));
}

TEST_F(Supervised, BacksOffAfterFiveEndsInAMinuteAndStillStopsAtOnce) {
    WriteStation("exit 1");
    StartSupervisor();
    ASSERT_TRUE(WaitForStarts(5)) << KioskLog();
    ASSERT_TRUE(
        WaitUntil([&] { return KioskLog().find("backing off") != std::string::npos; }, 10s))
        << KioskLog();
    // The back-off lasts half a minute: no sixth start for now.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(Starts().size(), 5u) << KioskLog();
    EXPECT_NE(KioskLog().find("starting it again in 30.0 s"), std::string::npos) << KioskLog();
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(StopSupervisor(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s);
}

TEST_F(Supervised, StationEndsWhenTheSupervisorIsKilled) {
    WriteStation("exec sleep 60");
    StartSupervisor();
    ASSERT_TRUE(WaitForStarts(1));
    const pid_t station = Starts()[0].Pid;
    StopSupervisor(SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return !Alive(station); }, 10s));
}

TEST_F(Supervised, StationThatTakesNoNoticeOfStopIsKilled) {
    WriteStation("trap '' TERM\nwhile :; do sleep 0.1; done");
    StartSupervisor();
    ASSERT_TRUE(WaitForStarts(1));
    const pid_t station = Starts()[0].Pid;
    EXPECT_EQ(StopSupervisor(), 0);
    EXPECT_FALSE(Alive(station));
    EXPECT_NE(KioskLog().find("did not stop; killing it"), std::string::npos) << KioskLog();
}

TEST_F(Supervised, RefusesAMissingStationFolderOrProgram) {
    WriteStation("exec sleep 60");
    struct Case {
        std::vector<std::string> Arguments;
        std::string Message;
    };
    const Case cases[] = {
        {{"--program", program_.string(), (dir_.Path / "nowhere").string()}, "the station folder"},
        {{"--program", (dir_.Path / "none").string(), station().string()}, "the station program"},
    };
    for (const Case& c : cases) {
        std::string command = std::string(TEZRA_KIOSK_PATH);
        for (const std::string& argument : c.Arguments) {
            command += " '" + argument + "'";
        }
        command += " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        const int status = pclose(pipe);
        EXPECT_EQ(WEXITSTATUS(status), 1) << out;
        EXPECT_NE(out.find(c.Message), std::string::npos) << out;
        EXPECT_TRUE(Starts().empty());
    }
}

}  // namespace
