// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "collector/StreamPipe.h"

namespace {

constexpr std::uint64_t kListenerId = 1;
constexpr std::uint64_t kWakeId = 2;
constexpr int kTickMs = 250;
constexpr std::size_t kReadChunk = 64 * 1024;

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string PeerAddress(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    char text[INET_ADDRSTRLEN] = {};
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) {
        return "?";
    }
    return text;
}

}  // namespace

struct HttpServer::Connection {
    enum class State { Reading, Waiting, Writing, Draining, Dead };

    int Fd = -1;
    std::uint64_t Id = 0;
    std::string Peer;
    State Phase = State::Reading;
    std::string In;
    std::string Out;
    std::size_t Sent = 0;
    bool KeepAlive = true;
    int Minor = 1;
    bool CloseAfterWrite = false;
    std::shared_ptr<StreamPipe> Stream;  // the body still being made, when streamed
    bool Chunked = false;
    bool AwaitingBody = false;        // the head is complete and its body is still coming
    bool ContinueSent = false;        // "100 Continue" went out for the pending request
    std::int64_t HeadStartMs = 0;     // when the pending request's first byte arrived
    std::int64_t LastActivityMs = 0;  // last byte read or written
    std::int64_t DrainUntilMs = 0;
};

HttpServer::HttpServer(const ServerLimits& limits, RequestHandler& handler)
    : limits_(limits), handler_(handler) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeId;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
}

HttpServer::~HttpServer() {
    CancelStreams();
    for (const auto& [fd, peer] : adopted_) {
        ::close(fd);
    }
    for (auto& [id, connection] : connections_) {
        ::close(connection->Fd);
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
    ::close(wake_);
    ::close(epoll_);
}

bool HttpServer::Listen(const std::string& address, int port, std::string& error) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return false;
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&socketAddress), sizeof socketAddress) !=
            0 ||
        ::listen(listener_, 1024) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof socketAddress;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&socketAddress), &length);
    port_ = ntohs(socketAddress.sin_port);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenerId;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, listener_, &event);
    return true;
}

void HttpServer::Run() {
    std::vector<epoll_event> events(256);
    std::int64_t nextSweep = NowMs() + kTickMs;
    while (!stopping_.load()) {
        const int count =
            ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), kTickMs);
        for (int i = 0; i < count; ++i) {
            const std::uint64_t id = events[i].data.u64;
            if (id == kListenerId) {
                Accept();
            } else if (id == kWakeId) {
                std::uint64_t value = 0;
                [[maybe_unused]] const ssize_t got = ::read(wake_, &value, sizeof value);
            } else {
                OnEvent(id, events[i].events);
            }
            Reap();
        }
        DeliverAnswers();
        Reap();
        if (NowMs() >= nextSweep) {
            Sweep();
            Reap();
            nextSweep = NowMs() + kTickMs;
        }
    }
    // Producers waiting for room in a pipe must not wait for a server that has stopped.
    CancelStreams();
}

void HttpServer::CancelStreams() {
    for (auto& [id, connection] : connections_) {
        if (connection->Stream) {
            connection->Stream->Cancel();
        }
    }
}

void HttpServer::Stop() {
    stopping_.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void HttpServer::Answer(std::uint64_t connection, HttpAnswer answer) {
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        answers_.push_back({connection, std::move(answer)});
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void HttpServer::StreamReady(std::uint64_t connection) {
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        streamsReady_.push_back(connection);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void HttpServer::Adopt(int fd, std::string peer) {
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        adopted_.emplace_back(fd, std::move(peer));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void HttpServer::AddConnection(int fd, std::string peer) {
    auto connection = std::make_unique<Connection>();
    connection->Fd = fd;
    connection->Id = nextId_++;
    connection->Peer = std::move(peer);
    connection->LastActivityMs = NowMs();
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = connection->Id;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    connections_.emplace(connection->Id, std::move(connection));
    connectionCount_.store(connections_.size());
}

void HttpServer::Accept() {
    while (true) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            const bool outOfFiles = errno == EMFILE || errno == ENFILE;
            if (outOfFiles && EvictOne()) {
                Reap();
                continue;
            }
            if (outOfFiles) {
                // No descriptor left and nobody to make room: listen again at the next tick.
                epoll_event event{};
                event.data.u64 = kListenerId;
                ::epoll_ctl(epoll_, EPOLL_CTL_MOD, listener_, &event);
                accepting_ = false;
                return;
            }
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return;
        }
        if (connections_.size() - dead_.size() >= limits_.MaxConnections && !EvictOne()) {
            ::close(fd);
            continue;
        }
        Reap();
        const int noDelay = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        AddConnection(fd, PeerAddress(fd));
    }
}

void HttpServer::OnEvent(std::uint64_t id, std::uint32_t events) {
    const auto found = connections_.find(id);
    if (found == connections_.end() || found->second->Phase == Connection::State::Dead) {
        return;
    }
    Connection& connection = *found->second;
    if ((events & (EPOLLERR | EPOLLHUP)) != 0) {
        Close(id);
        return;
    }
    if ((events & EPOLLOUT) != 0 && connection.Phase == Connection::State::Writing) {
        WriteTo(connection);
    } else if ((events & EPOLLIN) != 0) {
        ReadFrom(connection);
    }
}

void HttpServer::ReadFrom(Connection& connection) {
    char buffer[kReadChunk];
    while (connection.Phase == Connection::State::Reading ||
           connection.Phase == Connection::State::Draining) {
        const ssize_t got = ::recv(connection.Fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            Close(connection.Id);
            return;
        }
        if (got < 0) {
            return;
        }
        connection.LastActivityMs = NowMs();
        if (connection.Phase == Connection::State::Draining) {
            continue;  // a final answer went out; what follows is dropped
        }
        if (connection.In.empty()) {
            connection.HeadStartMs = connection.LastActivityMs;
        }
        connection.In.append(buffer, static_cast<std::size_t>(got));
        ProcessInput(connection);
    }
}

void HttpServer::ProcessInput(Connection& connection) {
    if (connection.Phase != Connection::State::Reading || connection.In.empty()) {
        return;
    }
    RequestHead head;
    const HeadParse parse = ParseRequestHead(connection.In, limits_.Request, head);
    switch (parse.Status) {
        case HeadStatus::Incomplete:
            return;
        case HeadStatus::Bad:
            return Reject(connection, 400, "malformed request");
        case HeadStatus::LineTooLong:
            return Reject(connection, 414, "request line too long");
        case HeadStatus::HeadTooLarge:
            return Reject(connection, 431, "request headers too large");
        case HeadStatus::Complete:
            break;
    }
    if (head.HasBody && !TakeBody(connection, head, parse.Consumed)) {
        return;
    }
    connection.AwaitingBody = false;
    connection.ContinueSent = false;
    connection.In.erase(0, parse.Consumed + head.ContentLength);
    connection.KeepAlive = head.KeepAlive;
    connection.Minor = head.Minor;
    connection.Phase = Connection::State::Waiting;
    Watch(connection, 0);
    handler_.Handle(*this, connection.Id, head, connection.Peer);
}

bool HttpServer::TakeBody(Connection& connection, RequestHead& head, std::size_t headSize) {
    if (head.Chunked) {
        Reject(connection, 411, "a body needs a Content-Length");
        return false;
    }
    if (head.BadLength) {
        Reject(connection, 400, "malformed Content-Length");
        return false;
    }
    const std::size_t limit = std::min(handler_.BodyLimit(head), limits_.Request.MaxBody);
    if (head.ContentLength > limit) {
        if (std::optional<HttpAnswer> answer =
                limit > 0 ? handler_.TooLarge(head) : std::nullopt) {
            connection.In.clear();
            connection.AwaitingBody = false;
            connection.KeepAlive = false;
            StartWriting(connection, FormatAnswer(*answer, false, 1), true);
            return false;
        }
        Reject(
            connection, 413,
            limit == 0 ? "requests with a body are not taken" : "the request body is too large");
        return false;
    }
    connection.AwaitingBody = true;
    if (connection.In.size() - headSize < head.ContentLength) {
        if (head.ExpectContinue && !connection.ContinueSent) {
            // Small enough for the socket's buffer: written at once or dropped, and a client
            // that gets nothing sends its body after its own short wait anyway.
            constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            [[maybe_unused]] const ssize_t sent =
                ::send(connection.Fd, kContinue.data(), kContinue.size(), MSG_NOSIGNAL);
            connection.ContinueSent = true;
        }
        return false;
    }
    head.Body = connection.In.substr(headSize, head.ContentLength);
    return true;
}

void HttpServer::Reject(Connection& connection, int status, const char* text) {
    connection.In.clear();
    connection.AwaitingBody = false;
    connection.KeepAlive = false;
    HttpAnswer answer = TextAnswer(status, text);
    StartWriting(connection, FormatAnswer(answer, false, 1), true);
}

void HttpServer::StartWriting(Connection& connection, std::string bytes, bool close) {
    connection.Out = std::move(bytes);
    connection.Sent = 0;
    connection.CloseAfterWrite = close;
    connection.Phase = Connection::State::Writing;
    connection.LastActivityMs = NowMs();
    WriteTo(connection);
}

void HttpServer::WriteTo(Connection& connection) {
    while (connection.Sent < connection.Out.size()) {
        const ssize_t sent = ::send(connection.Fd, connection.Out.data() + connection.Sent,
                                    connection.Out.size() - connection.Sent, MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            Watch(connection, EPOLLOUT);
            return;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            Close(connection.Id);
            return;
        }
        connection.Sent += static_cast<std::size_t>(sent);
        connection.LastActivityMs = NowMs();
    }
    FinishWriting(connection);
}

void HttpServer::FinishWriting(Connection& connection) {
    if (connection.Stream) {
        PullStream(connection);
        return;
    }
    connection.Out.clear();
    connection.Out.shrink_to_fit();
    connection.Sent = 0;
    if (connection.CloseAfterWrite) {
        // Half-close and read what is still coming for a moment, so that the kernel does not
        // reset the connection and destroy the answer before the client has read it.
        ::shutdown(connection.Fd, SHUT_WR);
        connection.Phase = Connection::State::Draining;
        connection.DrainUntilMs = NowMs() + limits_.DrainTimeoutMs;
        Watch(connection, EPOLLIN);
        return;
    }
    connection.Phase = Connection::State::Reading;
    connection.HeadStartMs = NowMs();
    Watch(connection, EPOLLIN);
    ProcessInput(connection);
}

// The next bytes of a streamed body, written when the socket takes them (never from here,
// so that a fast client and a fast producer do not recurse).
void HttpServer::PullStream(Connection& connection) {
    std::string data;
    connection.Out.clear();
    connection.Sent = 0;
    switch (connection.Stream->TakeAll(data)) {
        case StreamPipe::Take::Data:
            if (connection.Chunked) {
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", data.size());
                connection.Out = size + data + "\r\n";
            } else {
                connection.Out = std::move(data);
            }
            Watch(connection, EPOLLOUT);
            return;
        case StreamPipe::Take::Empty:
            Watch(connection, 0);  // until the producer says more is there
            return;
        case StreamPipe::Take::Ended:
            connection.Stream.reset();
            if (connection.Chunked) {
                connection.Out = "0\r\n\r\n";
                WriteTo(connection);
            } else {
                FinishWriting(connection);
            }
            return;
        case StreamPipe::Take::Failed:
            // The client must see that the answer is incomplete: the connection is cut.
            connection.Stream.reset();
            Close(connection.Id);
            return;
    }
}

void HttpServer::DeliverAnswers() {
    std::vector<PendingAnswer> answers;
    std::vector<std::uint64_t> ready;
    std::vector<std::pair<int, std::string>> adopted;
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        answers.swap(answers_);
        ready.swap(streamsReady_);
        adopted.swap(adopted_);
    }
    for (auto& [fd, peer] : adopted) {
        if (connections_.size() - dead_.size() >= limits_.MaxConnections && !EvictOne()) {
            ::close(fd);
            continue;
        }
        AddConnection(fd, std::move(peer));
    }
    for (const std::uint64_t id : ready) {
        const auto found = connections_.find(id);
        if (found != connections_.end() && found->second->Stream &&
            found->second->Phase == Connection::State::Writing && found->second->Out.empty()) {
            found->second->LastActivityMs = NowMs();
            PullStream(*found->second);
        }
    }
    for (PendingAnswer& pending : answers) {
        const auto found = connections_.find(pending.Connection);
        if (found == connections_.end() || found->second->Phase != Connection::State::Waiting) {
            if (pending.Answer.Stream) {
                pending.Answer.Stream->Cancel();  // nobody will read it: the producer stops
            }
            continue;
        }
        Connection& connection = *found->second;
        const bool streamed = pending.Answer.Stream != nullptr;
        // A streamed body on HTTP/1.0 ends where the connection ends.
        const bool keepAlive =
            connection.KeepAlive && !pending.Answer.Close && (!streamed || connection.Minor >= 1);
        if (streamed) {
            connection.Stream = pending.Answer.Stream;
            connection.Chunked = keepAlive;
            const std::uint64_t id = connection.Id;
            connection.Stream->OnReady([this, id] { StreamReady(id); });
        }
        StartWriting(connection, FormatAnswer(pending.Answer, keepAlive, connection.Minor),
                     !keepAlive);
    }
}

void HttpServer::Sweep() {
    const std::int64_t now = NowMs();
    std::vector<std::uint64_t> expired;
    std::vector<Connection*> slow;
    for (auto& [id, connection] : connections_) {
        switch (connection->Phase) {
            case Connection::State::Reading:
                if (!connection->In.empty() &&
                    now - connection->HeadStartMs > (connection->AwaitingBody
                                                         ? limits_.BodyTimeoutMs
                                                         : limits_.HeadTimeoutMs)) {
                    slow.push_back(connection.get());
                } else if (connection->In.empty() &&
                           now - connection->LastActivityMs > limits_.IdleTimeoutMs) {
                    expired.push_back(id);
                }
                break;
            case Connection::State::Writing:
                if (now - connection->LastActivityMs > limits_.WriteTimeoutMs) {
                    expired.push_back(id);
                }
                break;
            case Connection::State::Draining:
                if (now > connection->DrainUntilMs) {
                    expired.push_back(id);
                }
                break;
            case Connection::State::Waiting:
            case Connection::State::Dead:
                break;
        }
    }
    for (Connection* connection : slow) {
        Reject(*connection, 408, "request took too long");
    }
    for (const std::uint64_t id : expired) {
        Close(id);
    }
    if (!accepting_) {
        accepting_ = true;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kListenerId;
        ::epoll_ctl(epoll_, EPOLL_CTL_MOD, listener_, &event);
    }
}

bool HttpServer::EvictOne() {
    // Room for a new station: close the connection that has waited longest for a request,
    // an idle one before one that is still sending its head.
    Connection* victim = nullptr;
    const auto rank = [](const Connection& c) {
        if (c.Phase == Connection::State::Dead) {
            return 3;
        }
        if (c.Phase == Connection::State::Draining) {
            return 0;
        }
        if (c.Phase == Connection::State::Reading) {
            return c.In.empty() ? 1 : 2;
        }
        return 3;
    };
    for (auto& [id, connection] : connections_) {
        const int r = rank(*connection);
        if (r == 3) {
            continue;
        }
        if (victim == nullptr || r < rank(*victim) ||
            (r == rank(*victim) && connection->LastActivityMs < victim->LastActivityMs)) {
            victim = connection.get();
        }
    }
    if (victim == nullptr) {
        return false;
    }
    Close(victim->Id);
    return true;
}

void HttpServer::Watch(Connection& connection, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = connection.Id;
    ::epoll_ctl(epoll_, EPOLL_CTL_MOD, connection.Fd, &event);
}

void HttpServer::Close(std::uint64_t id) {
    // The connection may still be on the call stack: it is only marked here, and its socket
    // closed and its memory freed by Reap() once the current event is handled.
    const auto found = connections_.find(id);
    if (found == connections_.end() || found->second->Phase == Connection::State::Dead) {
        return;
    }
    found->second->Phase = Connection::State::Dead;
    if (found->second->Stream) {
        found->second->Stream->Cancel();
        found->second->Stream.reset();
    }
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, found->second->Fd, nullptr);
    dead_.push_back(id);
}

void HttpServer::Reap() {
    for (const std::uint64_t id : dead_) {
        const auto found = connections_.find(id);
        if (found != connections_.end()) {
            ::close(found->second->Fd);
            connections_.erase(found);
        }
    }
    dead_.clear();
    connectionCount_.store(connections_.size());
}

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}
