// SPDX-License-Identifier: GPL-3.0-or-later
// The station's GET request against a small server on 127.0.0.1: on a kept connection and on
// a new connection for every request.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "net/HttpClient.h"
#include "tests/common/Loopback.h"

namespace {

// Answers every request at once with a short body; a request for /close gets
// "Connection: close" and the connection is closed after the answer.
class LoopbackServer {
public:
    LoopbackServer() {
        if (::pipe(stop_) != 0) {
            return;
        }
        const LoopbackListener listener = ListenOnLoopback(64);
        listener_ = listener.Fd;
        port_ = listener.Port;
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        const char byte = 0;
        [[maybe_unused]] const ssize_t written = ::write(stop_[1], &byte, 1);
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(listener_);
        ::close(stop_[0]);
        ::close(stop_[1]);
    }
    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(port_) + target;
    }

private:
    bool Wait(int fd) {
        pollfd entries[2] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        return ::poll(entries, 2, -1) > 0 && entries[1].revents == 0;
    }
    void Serve() {
        while (Wait(listener_)) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            const int noDelay = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            ServeConnection(fd);
            ::close(fd);
        }
    }
    void ServeConnection(int fd) {
        static const std::string kKeep =
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 7\r\n\r\nstored\n";
        static const std::string kClose =
            "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 7\r\n\r\nstored\n";
        std::string pending;
        char buffer[4096];
        while (Wait(fd)) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return;
            }
            pending.append(buffer, static_cast<std::size_t>(got));
            std::size_t end = 0;
            while ((end = pending.find("\r\n\r\n")) != std::string::npos) {
                const bool close = pending.starts_with("GET /close");
                pending.erase(0, end + 4);
                const std::string& answer = close ? kClose : kKeep;
                ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
                if (close) {
                    return;
                }
            }
        }
    }

    int listener_ = -1;
    int stop_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

void BM_GetOnKeptConnection(benchmark::State& state) {
    LoopbackServer server;
    HttpClient client;
    const std::string url =
        server.Url("/tezra/result?group=10\xC1&user=\xC8\xE2\xE0\xED\xEE\xE2&res=45000&mark=5");
    for (auto _ : state) {
        const HttpResult result = client.Get(url);
        if (!result.Ok() || !client.Connected()) {
            state.SkipWithError("request failed");
            break;
        }
    }
}
BENCHMARK(BM_GetOnKeptConnection)->Unit(benchmark::kMicrosecond);

void BM_GetOnNewConnection(benchmark::State& state) {
    LoopbackServer server;
    HttpClient client;
    const std::string url = server.Url("/close?group=10\xC1&user=Smith&res=45000&mark=5");
    for (auto _ : state) {
        const HttpResult result = client.Get(url);
        if (!result.Ok() || client.Connected()) {
            state.SkipWithError("request failed");
            break;
        }
    }
}
BENCHMARK(BM_GetOnNewConnection)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
