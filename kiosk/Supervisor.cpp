// SPDX-License-Identifier: GPL-3.0-or-later
#include "kiosk/Supervisor.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <optional>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

// The signals the supervisor waits for instead of handling them: the station's end and the
// requests to stop.
sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&set, signal);
    }
    return set;
}

std::string Seconds(std::chrono::milliseconds duration) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << duration.count() / 1000.0 << " s";
    return text.str();
}

// How a child ended, from its wait status: "exited with status 1", "was killed by signal 9
// (Killed)".
std::string DescribeEnd(int waitStatus) {
    std::ostringstream text;
    if (WIFEXITED(waitStatus)) {
        text << "exited with status " << WEXITSTATUS(waitStatus);
    } else if (WIFSIGNALED(waitStatus)) {
        const int signal = WTERMSIG(waitStatus);
        const char* name = sigdescr_np(signal);
        text << "was killed by signal " << signal << " (" << (name ? name : "unknown") << ")";
        if (WCOREDUMP(waitStatus)) {
            text << ", core dumped";
        }
    } else {
        text << "ended with wait status " << waitStatus;
    }
    return text.str();
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecStation(const TSupervisorOptions& options, char* const* argv,
                              pid_t supervisor) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // A station whose supervisor is gone ends too, so that no second one is started beside
    // it in the next session.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != supervisor) {
        _exit(127);
    }
    if (chdir(options.StationDir.c_str()) != 0) {
        _exit(127);
    }
    execv(options.Program.c_str(), argv);
    _exit(127);
}

class TSupervisor {
public:
    TSupervisor(const TSupervisorOptions& options, std::ostream& log)
        : options_(options), log_(log), policy_(options.Limits), watched_(WatchedSignals()) {}

    int Run() {
        sigprocmask(SIG_BLOCK, &watched_, nullptr);
        setenv("TEZRA_STATION_DIR", options_.StationDir.c_str(), 1);
        while (true) {
            const Clock::time_point started = Clock::now();
            if (!Start()) {
                Log() << "could not start " << options_.Program << ": " << std::strerror(errno)
                      << "\n";
            } else if (const std::optional<int> status = WaitForEnd()) {
                Log() << "the station " << DescribeEnd(*status) << " after "
                      << Seconds(Elapsed(started)) << "\n";
            } else {
                return Stop();
            }
            const std::chrono::milliseconds delay = policy_.StationEnded(Clock::now());
            Log() << (policy_.BackingOff() ? "it keeps ending; backing off: " : "")
                  << "starting it again in " << Seconds(delay) << "\n";
            if (!Pause(delay)) {
                Log() << "asked to stop\n";
                return 0;
            }
        }
    }

private:
    std::ostream& Log() { return log_ << "tezra-kiosk: "; }

    static std::chrono::milliseconds Elapsed(Clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
    }

    bool Start() {
        std::vector<std::string> words{options_.Program.string()};
        words.insert(words.end(), options_.Arguments.begin(), options_.Arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const pid_t supervisor = getpid();
        station_ = fork();
        if (station_ == 0) {
            ExecStation(options_, argv.data(), supervisor);
        }
        if (station_ < 0) {
            return false;
        }
        Log() << "started the station (pid " << station_ << ") in " << options_.StationDir << "\n";
        return true;
    }

    // Waits until the station ends (its wait status) or a stop is asked for (nothing).
    std::optional<int> WaitForEnd() {
        while (true) {
            siginfo_t info{};
            if (sigwaitinfo(&watched_, &info) < 0) {
                continue;  // EINTR
            }
            if (info.si_signo != SIGCHLD) {
                return std::nullopt;
            }
            if (const std::optional<int> status = Reap()) {
                return status;
            }
        }
    }

    // Collects ended children; the station's wait status once it has ended.
    std::optional<int> Reap() {
        std::optional<int> result;
        int status = 0;
        pid_t pid = 0;
        while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
            if (pid == station_) {
                result = status;
                station_ = -1;
            }
        }
        return result;
    }

    // Waits for delay; false when a stop was asked for meanwhile.
    bool Pause(std::chrono::milliseconds delay) {
        const Clock::time_point until = Clock::now() + delay;
        while (Clock::now() < until) {
            const auto left =
                std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
            timespec timeout{static_cast<time_t>(left.count() / 1'000'000'000),
                             static_cast<long>(left.count() % 1'000'000'000)};
            siginfo_t info{};
            const int signal = sigtimedwait(&watched_, &info, &timeout);
            if (signal > 0 && signal != SIGCHLD) {
                return false;
            }
            Reap();
        }
        return true;
    }

    // Asks the station to stop, kills it when it takes too long, and ends the supervisor.
    int Stop() {
        Log() << "asked to stop; stopping the station\n";
        if (station_ > 0) {
            kill(station_, SIGTERM);
            const Clock::time_point until = Clock::now() + options_.StopGrace;
            while (station_ > 0 && Clock::now() < until) {
                timespec tick{0, 50'000'000};
                sigset_t child;
                sigemptyset(&child);
                sigaddset(&child, SIGCHLD);
                sigtimedwait(&child, nullptr, &tick);
                Reap();
            }
            if (station_ > 0) {
                Log() << "the station did not stop; killing it\n";
                kill(station_, SIGKILL);
                waitpid(station_, nullptr, 0);
            }
        }
        return 0;
    }

    const TSupervisorOptions& options_;
    std::ostream& log_;
    RestartPolicy policy_;
    sigset_t watched_;
    pid_t station_ = -1;
};

}  // namespace

int RunSupervisor(const TSupervisorOptions& options, std::ostream& log) {
    return TSupervisor(options, log).Run();
}
