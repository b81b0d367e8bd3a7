// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/TcpConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/NameLookup.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// poll() on one descriptor that sleeps through signals until the deadline; returns the
// revents, 0 when the time ran out, -1 on error.
int PollUntil(int fd, short events, SteadyClock::time_point deadline) {
    for (;;) {
        // Rounded up, so that a wait never ends before its deadline.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready > 0) {
            return entry.revents;
        }
        if (ready == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

SteadyClock::time_point DeadlineAfter(int milliseconds) {
    return SteadyClock::now() + std::chrono::milliseconds(milliseconds);
}

// Waits for a non-blocking connect to finish.
HttpError FinishConnect(int fd, int timeoutMs) {
    const int events = PollUntil(fd, POLLOUT, DeadlineAfter(timeoutMs));
    if (events == 0) {
        return HttpError::ConnectTimeout;
    }
    if (events < 0) {
        return HttpError::ConnectFailed;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return HttpError::ConnectFailed;
    }
    return HttpError::None;
}

}  // namespace

HttpError TcpConnection::Open(const std::string& host, int port, int timeoutMs,
                              std::unique_ptr<TcpConnection>& connection) {
    connection.reset();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    // The lookup and the connect share the time limit.
    const auto deadline = DeadlineAfter(timeoutMs);
    if (!LookUpIpv4(host, timeoutMs, address.sin_addr)) {
        return HttpError::HostNotFound;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return HttpError::SocketError;
    }
    // Owned from here on, so every return below closes it.
    std::unique_ptr<TcpConnection> opened(new TcpConnection(fd));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            return HttpError::ConnectFailed;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        const HttpError error = FinishConnect(fd, left > 0 ? static_cast<int>(left) : 0);
        if (error != HttpError::None) {
            return error;
        }
    }
    const int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    connection = std::move(opened);
    return HttpError::None;
}

TcpConnection::~TcpConnection() {
    ::close(fd_);
}

bool TcpConnection::SendAll(std::string_view data, int timeoutMs) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int events = PollUntil(fd_, POLLOUT, std::min(DeadlineAfter(timeoutMs), end_));
            if (events <= 0 || (events & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

bool TcpConnection::IsStale(int waitMs) {
    const int events = PollUntil(fd_, POLLIN, DeadlineAfter(waitMs));
    if (events == 0) {
        return false;
    }
    if (events < 0) {
        return true;
    }
    char byte = 0;
    const ssize_t peeked = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return false;
    }
    // A close (0), a reset or error (<0), or bytes left over from an earlier exchange (>0).
    return true;
}

ReadStatus TcpConnection::Read(char* buffer, std::size_t capacity, std::size_t& received) {
    received = 0;
    const SteadyClock::time_point deadline = std::min(DeadlineAfter(readTimeoutMs_), end_);
    for (;;) {
        const ssize_t got = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return ReadStatus::Data;
        }
        if (got == 0) {
            return ReadStatus::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return ReadStatus::Failed;
        }
        const int events = PollUntil(fd_, POLLIN, deadline);
        if (events == 0) {
            return ReadStatus::TimedOut;
        }
        if (events < 0) {
            return ReadStatus::Failed;
        }
    }
}
