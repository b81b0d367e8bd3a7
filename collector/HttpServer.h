// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small HTTP/1.1 server on non-blocking POSIX sockets and epoll, one thread for all
// connections. It takes request lines as stations write them (raw spaces and cp1251 bytes in
// the target), keeps connections open between requests, and holds every connection to
// bounded buffers and time limits, so a slow or hostile client cannot stall the others or
// grow the server's memory. Answers may come later and from other threads.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "collector/HttpAnswer.h"
#include "collector/RequestHead.h"

struct ServerLimits {
    RequestLimits Request;
    int HeadTimeoutMs = 10000;   // from the first byte of a request to its blank line
    int IdleTimeoutMs = 60000;   // a kept connection waiting for its next request
    int WriteTimeoutMs = 30000;  // a client that takes nothing of its answer
    int DrainTimeoutMs = 2000;   // reading what a client still sends after a final answer
    int BodyTimeoutMs = 120000;  // from the first byte of a request with a body to its end
    std::size_t MaxConnections = 2000;
};

class HttpServer;

class RequestHandler {
public:
    virtual ~RequestHandler() = default;
    // A complete request head. Runs on the server's thread and must not block; the answer
    // goes to server.Answer(connection, ...), now or later, from any thread.
    virtual void Handle(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                        const std::string& peer) = 0;
    // How many body bytes the request may bring (its head is complete); 0 refuses any body.
    // Runs on the server's thread before the body is read, so that only requests that will
    // be taken make the server hold their body.
    virtual std::size_t BodyLimit(const RequestHead& /*head*/) { return 0; }
    // The answer to a body over that limit; nothing for the server's plain one.
    virtual std::optional<HttpAnswer> TooLarge(const RequestHead& /*head*/) {
        return std::nullopt;
    }
};

class HttpServer {
public:
    HttpServer(const ServerLimits& limits, RequestHandler& handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on an IPv4 address ("0.0.0.0" for all) and port (0: the kernel chooses).
    bool Listen(const std::string& address, int port, std::string& error);
    int Port() const { return port_; }

    // Serves until Stop().
    void Run();
    // Ends Run() soon; safe from any thread and from a signal handler.
    void Stop();

    // Answers the request pending on the connection; dropped when the connection has gone.
    void Answer(std::uint64_t connection, HttpAnswer answer);
    // A streamed answer's pipe has new bytes or its end; safe from any thread.
    void StreamReady(std::uint64_t connection);
    // Serves a connection accepted elsewhere (a TLS relay's end of a socket pair) as if it
    // came from peer; takes the descriptor. Safe from any thread.
    void Adopt(int fd, std::string peer);

    std::size_t ConnectionCount() const { return connectionCount_.load(); }

private:
    struct Connection;
    struct PendingAnswer {
        std::uint64_t Connection;
        HttpAnswer Answer;
    };

    void Accept();
    void AddConnection(int fd, std::string peer);
    void OnEvent(std::uint64_t id, std::uint32_t events);
    void ReadFrom(Connection& connection);
    void ProcessInput(Connection& connection);
    // The body of a complete head: true once all of it is in head.Body; false while it is
    // still coming or when the request was refused.
    bool TakeBody(Connection& connection, RequestHead& head, std::size_t headSize);
    void Reject(Connection& connection, int status, const char* text);
    void StartWriting(Connection& connection, std::string bytes, bool close);
    void WriteTo(Connection& connection);
    void FinishWriting(Connection& connection);
    void PullStream(Connection& connection);
    void CancelStreams();
    void DeliverAnswers();
    void Sweep();
    bool EvictOne();
    void Watch(Connection& connection, std::uint32_t events);
    void Close(std::uint64_t id);
    void Reap();

    ServerLimits limits_;
    RequestHandler& handler_;
    int listener_ = -1;
    int epoll_ = -1;
    int wake_ = -1;  // eventfd: answers are waiting or Stop() was called
    int port_ = 0;
    bool accepting_ = true;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> connectionCount_{0};
    std::uint64_t nextId_ = 16;
    std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections_;
    std::vector<std::uint64_t> dead_;  // closed during the current event, freed by Reap()
    std::mutex answersMutex_;
    std::vector<PendingAnswer> answers_;
    std::vector<std::uint64_t> streamsReady_;
    std::vector<std::pair<int, std::string>> adopted_;
};

// Raises the limit of open files to its hard maximum, so that many stations and idle
// connections fit.
void RaiseOpenFileLimit();
