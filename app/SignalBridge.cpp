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
int signalWriteFd = -1;

void HandleSignal(int) {
    const char byte = 1;
    if (signalWriteFd >= 0) {
        [[maybe_unused]] const auto written = write(signalWriteFd, &byte, 1);
    }
}

}  // namespace

TSignalBridge::TSignalBridge(QObject* parent) : QObject(parent) {
    if (pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        signalWriteFd = Pipe[1];
        Notifier = std::make_unique<QSocketNotifier>(Pipe[0], QSocketNotifier::Read);
        connect(Notifier.get(), &QSocketNotifier::activated, this, &TSignalBridge::OnSignal);
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

TSignalBridge::~TSignalBridge() {
    for (int number : kTerminationSignals) {
        signal(number, SIG_DFL);
    }
    signalWriteFd = -1;
    Notifier.reset();
    for (int fd : Pipe) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void TSignalBridge::OnSignal() {
    char buffer[16];
    while (read(Pipe[0], buffer, sizeof buffer) > 0) {
    }
    RequestTermination();
}
