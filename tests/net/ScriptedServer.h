// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A loopback HTTP server for tests that plays one script per accepted connection: read a
// request (recording its exact bytes), send bytes, pause, close. It binds a 127.x.x.x address
// (port 0 lets the kernel choose) and serves its scripts in order on a thread of its own.
// Header-only, so that the tool tests can use it too.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/Loopback.h"

struct ServerAction {
    enum class Kind { ReadRequest, Send, Pause, Close };
    Kind kind;
    std::string bytes;
    int milliseconds = 0;
};

inline ServerAction ReadRequest() {
    return {ServerAction::Kind::ReadRequest, {}, 0};
}
inline ServerAction Send(std::string bytes) {
    return {ServerAction::Kind::Send, std::move(bytes), 0};
}
inline ServerAction Pause(int milliseconds) {
    return {ServerAction::Kind::Pause, {}, milliseconds};
}
inline ServerAction CloseConnection() {
    return {ServerAction::Kind::Close, {}, 0};
}

using ConnectionScript = std::vector<ServerAction>;

// A response with a Content-Length and the given extra header lines (each ending in CR LF).
inline std::string Response(int status, const std::string& body, const std::string& extra = "") {
    return "HTTP/1.1 " + std::to_string(status) +
           " Status\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra + "\r\n" +
           body;
}

// Scripts for count connections, each answering one request with the status and closing.
inline std::vector<ConnectionScript> AnswerAndClose(int status, int count) {
    return std::vector<ConnectionScript>(
        static_cast<std::size_t>(count),
        {ReadRequest(), Send(Response(status, "", "Connection: close\r\n")), CloseConnection()});
}

class ScriptedServer {
public:
    explicit ScriptedServer(std::vector<ConnectionScript> scripts,
                            const char* address = "127.0.0.1", int port = 0)
        : scripts_(std::move(scripts)) {
        if (::pipe(wake_) != 0) {
            return;
        }
        const LoopbackListener listener = ListenOnLoopback(16, address, port);
        listener_ = listener.Fd;
        port_ = listener.Port;
        if (listener_ < 0) {
            return;
        }
        thread_ = std::thread([this] { Serve(); });
    }

    ~ScriptedServer() {
        if (wake_[1] >= 0) {
            const char byte = 0;
            [[maybe_unused]] const ssize_t written = ::write(wake_[1], &byte, 1);
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        for (const int fd : openConnections_) {
            ::close(fd);
        }
        for (const int fd : {listener_, wake_[0], wake_[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& target, const std::string& host = "127.0.0.1") const {
        return "http://" + host + ":" + std::to_string(port_) + target;
    }

    // The requests read so far, byte for byte, in order.
    std::vector<std::string> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    int Accepted() const {
        std::lock_guard lock(mutex_);
        return accepted_;
    }
    // Waits until count scripts have run to their end.
    bool WaitScriptsDone(int count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return done_cv_.wait_for(lock, limit, [&] { return done_ >= count; });
    }

private:
    // Waits for fd to become readable or the server to stop; false when stopping.
    bool WaitReadable(int fd, int timeoutMs = -1) {
        pollfd entries[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int ready = ::poll(entries, 2, timeoutMs);
        return ready > 0 && (entries[1].revents & POLLIN) == 0 && entries[0].revents != 0;
    }
    bool Stopping() {
        pollfd entry{wake_[0], POLLIN, 0};
        return ::poll(&entry, 1, 0) > 0;
    }

    void Serve() {
        for (const ConnectionScript& script : scripts_) {
            if (!WaitReadable(listener_)) {
                return;
            }
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                return;
            }
            {
                std::lock_guard lock(mutex_);
                ++accepted_;
            }
            const bool closed = RunScript(fd, script);
            if (!closed) {
                openConnections_.push_back(fd);
            }
            {
                std::lock_guard lock(mutex_);
                ++done_;
            }
            done_cv_.notify_all();
            if (Stopping()) {
                return;
            }
        }
    }

    // Runs one script; true when it closed the connection.
    bool RunScript(int fd, const ConnectionScript& script) {
        std::string pending;
        for (const ServerAction& action : script) {
            switch (action.kind) {
                case ServerAction::Kind::ReadRequest:
                    if (!ReadOneRequest(fd, pending)) {
                        ::close(fd);
                        return true;
                    }
                    break;
                case ServerAction::Kind::Send:
                    ::send(fd, action.bytes.data(), action.bytes.size(), MSG_NOSIGNAL);
                    break;
                case ServerAction::Kind::Pause: {
                    // Sleeps, but wakes at once when the server stops.
                    pollfd entry{wake_[0], POLLIN, 0};
                    ::poll(&entry, 1, action.milliseconds);
                    break;
                }
                case ServerAction::Kind::Close:
                    ::close(fd);
                    return true;
            }
        }
        return false;
    }

    bool ReadOneRequest(int fd, std::string& pending) {
        for (;;) {
            const std::size_t end = pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                std::lock_guard lock(mutex_);
                requests_.push_back(pending.substr(0, end + 4));
                pending.erase(0, end + 4);
                return true;
            }
            if (!WaitReadable(fd)) {
                return false;
            }
            char buffer[4096];
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return false;
            }
            pending.append(buffer, static_cast<std::size_t>(got));
        }
    }

    std::vector<ConnectionScript> scripts_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
    std::vector<int> openConnections_;
    mutable std::mutex mutex_;
    std::condition_variable done_cv_;
    std::vector<std::string> requests_;
    int accepted_ = 0;
    int done_ = 0;
};
