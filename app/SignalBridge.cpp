// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SignalBridge.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>

#include "ui/Application.h"

namespace {

// A closed terminal or session (SIGHUP) ends the station as SIGTERM does: with the record of
// the test in progress.
constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe, for the signal handler (which may only do async-signal-safe
// work: one write).
int SignalWriteFd = -1;

void HandleSignal(int) {
    const char byte = 1;
    if (SignalWriteFd >= 0) {
        [[maybe_unused]] const auto written = write(SignalWriteFd, &byte, 1);
    }
}

}  // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        SignalWriteFd = pipe_[1];
        notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalBridge::OnSignal);
        struct sigaction action = {};
        action.sa_handler = HandleSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : kTerminationSignals) {
            sigaction(signal, &action, nullptr);
        }
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QGuiApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [] { RequestTermination(); });
    }
}

SignalBridge::~SignalBridge() {
    for (int number : kTerminationSignals) {
        signal(number, SIG_DFL);
    }
    SignalWriteFd = -1;
    notifier_.reset();
    for (int fd : pipe_) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void SignalBridge::OnSignal() {
    char buffer[16];
    while (read(pipe_[0], buffer, sizeof buffer) > 0) {
    }
    RequestTermination();
}
