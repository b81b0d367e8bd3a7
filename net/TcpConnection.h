// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One TCP connection to a result server over POSIX sockets. Every wait is bounded; writing
// never raises SIGPIPE.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "net/ByteSource.h"
#include "net/HttpError.h"

class TcpConnection : public ByteSource {
public:
    // Opens a connection to host:port. "LOCALHOST" in any case stands for 127.0.0.1, a dotted
    // IPv4 address is used directly, any other name is looked up; the lookup and the connect
    // together take at most timeoutMs. On failure connection stays empty.
    static HttpError Open(const std::string& host, int port, int timeoutMs,
                          std::unique_ptr<TcpConnection>& connection);

    ~TcpConnection() override;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Writes all of data, waiting at most timeoutMs whenever the socket cannot take more.
    bool SendAll(std::string_view data, int timeoutMs);

    // Whether the connection can no longer carry a fresh exchange: the server closed it or
    // reset it, or sent bytes nobody asked for. Waits at most waitMs.
    bool IsStale(int waitMs);

    // Reads with the limit given by SetReadTimeout, and never past the end set by SetEnd.
    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& received) override;
    void SetReadTimeout(int milliseconds) { readTimeoutMs_ = milliseconds; }
    // The moment after which no read waits any longer, whatever the read limit says.
    void SetEnd(std::chrono::steady_clock::time_point end) { end_ = end; }

private:
    explicit TcpConnection(int fd) : fd_(fd) {}

    int fd_;
    int readTimeoutMs_ = 2000;
    std::chrono::steady_clock::time_point end_ = std::chrono::steady_clock::time_point::max();
};
