// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's page over TLS (OpenSSL): connections to the teacher's address are accepted
// here, their handshake done, and the plain bytes relayed through a socket pair to the
// teacher's HttpServer, which sees the real client address. The stations' port stays plain
// HTTP, as the stations require.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collector/HttpServer.h"

class TlsListener {
public:
    static constexpr int kMaxConnections = 128;
    static constexpr int kHandshakeTimeoutMs = 10000;
    static constexpr int kIdleTimeoutMs = 120000;

    // Loads the certificate (chain) and key and listens; empty with the reason in error.
    static std::unique_ptr<TlsListener> Start(HttpServer& server, const std::string& certificate,
                                              const std::string& key, const std::string& address,
                                              int port, std::string& error);
    ~TlsListener();  // stops accepting and ends every relay
    TlsListener(const TlsListener&) = delete;
    TlsListener& operator=(const TlsListener&) = delete;

    int Port() const { return port_; }

private:
    struct Context;
    explicit TlsListener(HttpServer& server);
    void AcceptLoop();
    void Relay(UniqueFd fd, std::string peer);

    HttpServer& server_;
    std::unique_ptr<Context> context_;
    UniqueFd listener_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> live_{0};
    std::thread acceptor_;
    struct RelayThread {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    std::mutex relaysMutex_;
    std::vector<RelayThread> relays_;
};
