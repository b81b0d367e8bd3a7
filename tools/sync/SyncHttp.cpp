// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sync/SyncHttp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/NameLookup.h"
#include "platform/Numbers.h"

namespace {

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

int RemainingMs(SyncHttp::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SyncHttp::Clock::now())
            .count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Waits for the events until the deadline; false when it passed first.
bool WaitFor(int fd, short events, SyncHttp::Clock::time_point deadline) {
    while (true) {
        const int left = RemainingMs(deadline);
        if (left == 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, left);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return true;  // the following call reports the error
        }
    }
}

// Status code and Content-Length (-1 when none) of a complete head.
bool ReadHead(std::string_view head, int& status, long long& length) {
    if (!head.starts_with("HTTP/1.") || head.size() < 12) {
        return false;
    }
    const auto code = ParseInt(std::string(head.substr(9, 3)));
    if (!code) {
        return false;
    }
    status = *code;
    length = -1;
    std::size_t at = head.find('\n');
    while (at != std::string_view::npos && at + 1 < head.size()) {
        const std::size_t end = head.find('\n', at + 1);
        std::string line(head.substr(at + 1, end == std::string_view::npos ? end : end - at - 1));
        at = end;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string name = line.substr(0, colon);
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (name == "content-length") {
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            value.erase(value.find_last_not_of(" \t\r") + 1);
            const auto number = ParseInt(value);
            if (!number || *number < 0) {
                return false;
            }
            length = *number;
        }
    }
    return true;
}

}  // namespace

const char* to_string(SyncNetError error) {
    switch (error) {
        case SyncNetError::None:
            return "нет ошибки";
        case SyncNetError::Unreachable:
            return "сервер недоступен";
        case SyncNetError::TimedOut:
            return "время вышло";
        case SyncNetError::Broken:
            return "сервер ответил не по протоколу";
        case SyncNetError::TooLarge:
            return "ответ сервера больше допустимого";
    }
    return "?";
}

SyncHttp::SyncHttp(std::string host, int port, std::string key, Clock::time_point deadline)
    : host_(std::move(host)), port_(port), key_(std::move(key)), deadline_(deadline) {}

int SyncHttp::Connect(SyncNetError& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    if (!LookUpIpv4(host_, left > 0 ? static_cast<int>(left) : 0, address.sin_addr)) {
        error = SyncNetError::Unreachable;
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = SyncNetError::Unreachable;
        return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        ::close(fd);
        error = SyncNetError::Unreachable;
        return -1;
    }
    int failure = 0;
    socklen_t length = sizeof failure;
    if (!WaitFor(fd, POLLOUT, deadline_)) {
        ::close(fd);
        error = SyncNetError::TimedOut;
        return -1;
    }
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0 || failure != 0) {
        ::close(fd);
        error = SyncNetError::Unreachable;
        return -1;
    }
    return fd;
}

SyncReply SyncHttp::Send(std::string_view method, const std::string& target, std::string_view body,
                         std::size_t maxBody) {
    SyncReply reply;
    const Socket socket(Connect(reply.Error));
    if (socket.Fd() < 0) {
        return reply;
    }
    std::string request = std::string(method) + " " + target + " HTTP/1.1\r\nHost: " + host_ +
                          ":" + std::to_string(port_) + "\r\nAuthorization: Bearer " + key_ +
                          "\r\nConnection: close\r\n";
    if (method != "GET") {
        request += "Content-Type: application/octet-stream\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\n";
    }
    request += "\r\n";
    request.append(body);
    for (std::size_t sent = 0; sent < request.size();) {
        if (!WaitFor(socket.Fd(), POLLOUT, deadline_)) {
            reply.Error = SyncNetError::TimedOut;
            return reply;
        }
        const ssize_t n =
            ::send(socket.Fd(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (n <= 0) {
            reply.Error = reached_ ? SyncNetError::Broken : SyncNetError::Unreachable;
            return reply;
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string in;
    std::size_t headEnd = std::string::npos;
    long long length = -1;
    constexpr std::size_t kMaxHead = 16 * 1024;
    char buffer[64 * 1024];
    while (true) {
        if (headEnd != std::string::npos && length >= 0 &&
            in.size() - headEnd >= static_cast<std::size_t>(length)) {
            break;
        }
        if (!WaitFor(socket.Fd(), POLLIN, deadline_)) {
            reply.Error = SyncNetError::TimedOut;
            return reply;
        }
        const ssize_t n = ::recv(socket.Fd(), buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (n < 0) {
            reply.Error =
                in.empty() && !reached_ ? SyncNetError::Unreachable : SyncNetError::Broken;
            return reply;
        }
        if (n == 0) {
            if (headEnd == std::string::npos || length >= 0) {
                reply.Error =
                    in.empty() && !reached_ ? SyncNetError::Unreachable : SyncNetError::Broken;
                return reply;
            }
            break;  // no length: the body ends with the connection
        }
        in.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos) {
            const std::size_t blank = in.find("\r\n\r\n");
            if (blank == std::string::npos) {
                if (in.size() > kMaxHead) {
                    reply.Error = SyncNetError::Broken;
                    return reply;
                }
                continue;
            }
            headEnd = blank + 4;
            reached_ = true;
            if (!ReadHead(std::string_view(in).substr(0, blank + 2), reply.Status, length)) {
                reply.Error = SyncNetError::Broken;
                return reply;
            }
            if (length > static_cast<long long>(maxBody)) {
                reply.Error = SyncNetError::TooLarge;
                return reply;
            }
        }
        if (in.size() - headEnd > maxBody) {
            reply.Error = SyncNetError::TooLarge;
            return reply;
        }
    }
    reply.Body =
        in.substr(headEnd, length >= 0 ? static_cast<std::size_t>(length) : std::string::npos);
    return reply;
}

bool SplitServer(const std::string& server, std::string& host, int& port) {
    const std::size_t colon = server.rfind(':');
    host = server.substr(0, colon);
    port = 80;
    if (colon != std::string::npos) {
        const auto number = ParseInt(server.substr(colon + 1));
        if (!number || *number < 1 || *number > 65535) {
            return false;
        }
        port = static_cast<int>(*number);
    }
    return !host.empty();
}
