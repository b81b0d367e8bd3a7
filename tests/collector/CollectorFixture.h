// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A collector running in the test process on 127.0.0.1 with a port chosen by the kernel and
// a fresh database, and a raw loopback client that sends exact bytes and reads one answer.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "collector/Collector.h"
#include "tests/common/TempDir.h"

inline const std::string kTeacherPassword = "класс-9Б secret";

// Makes the --db value of a new, empty database for a test: an SQLite file in the test's
// folder, unless the run replaces it to check another database with the same tests.
inline std::function<std::string(const std::filesystem::path&)>& FreshDatabase() {
    static std::function<std::string(const std::filesystem::path&)> make =
        [](const std::filesystem::path& folder) { return (folder / "results.sqlite").string(); };
    return make;
}

class RunningCollector {
public:
    explicit RunningCollector(ServerLimits limits = {})
        : RunningCollector([&limits](CollectorOptions& options) { options.Limits = limits; }) {}
    // A collector whose options the test adjusts first.
    explicit RunningCollector(const std::function<void(CollectorOptions&)>& adjust) {
        CollectorOptions options;
        options.Database = FreshDatabase()(Dir.Path);
        options.Password = kTeacherPassword;
        adjust(options);
        Database = options.Database;
        std::string error;
        Service = CollectorService::Start(options, "127.0.0.1", 0, error);
        if (Service) {
            thread_ = std::thread([this] { Service->Run(); });
        }
    }
    ~RunningCollector() {
        if (Service) {
            Service->Stop();
            thread_.join();
        }
    }
    int Port() const { return Service ? Service->Port() : 0; }
    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(Port()) + target;
    }

    TempDir Dir;
    std::string Database;  // the --db value it runs on
    std::unique_ptr<CollectorService> Service;

private:
    std::thread thread_;
};

// A client socket on 127.0.0.1; every wait is bounded.
class RawClient {
public:
    explicit RawClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<unsigned short>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return connected_; }

    bool Send(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // One answer: its head and a body of its Content-Length. Empty when nothing complete
    // arrives within the time limit or the server closes first.
    std::string ReadAnswer(int timeoutMs = 3000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            const std::size_t headEnd = pending_.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                const std::size_t length = ContentLength(pending_.substr(0, headEnd));
                if (pending_.size() >= headEnd + 4 + length) {
                    std::string answer = pending_.substr(0, headEnd + 4 + length);
                    pending_.erase(0, answer.size());
                    return answer;
                }
            }
            if (!Receive(deadline)) {
                return {};
            }
        }
    }

    // Everything up to and including the first marker; empty when it does not come in time.
    std::string ReadThrough(const std::string& marker, int timeoutMs = 10000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (pending_.find(marker) == std::string::npos) {
            if (!Receive(deadline)) {
                return {};
            }
        }
        const std::size_t end = pending_.find(marker) + marker.size();
        std::string text = pending_.substr(0, end);
        pending_.erase(0, end);
        return text;
    }

    // Reads and drops everything until the server closes the connection or the time limit
    // passes; the number of bytes read.
    std::size_t ReadUntilClosed(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::size_t total = pending_.size();
        pending_.clear();
        while (Receive(deadline)) {
            total += pending_.size();
            pending_.clear();
        }
        return total;
    }

    // Whether the server closes the connection within the time limit.
    bool ClosedWithin(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Receive(deadline)) {
        }
        return closed_;
    }

private:
    static std::size_t ContentLength(const std::string& head) {
        const std::size_t at = head.find("Content-Length: ");
        return at == std::string::npos ? 0 : std::stoul(head.substr(at + 16));
    }

    bool Receive(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd entry{fd_, POLLIN, 0};
        if (left <= 0 || ::poll(&entry, 1, static_cast<int>(left)) <= 0) {
            return false;
        }
        char buffer[16384];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0) {
            closed_ = true;
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
    std::string pending_;
};

// The status code of an answer's status line; 0 when there is none.
inline int StatusOf(const std::string& answer) {
    return answer.size() > 12 && answer.starts_with("HTTP/1.") ? std::stoi(answer.substr(9, 3))
                                                               : 0;
}

// The answer's body.
inline std::string BodyOf(const std::string& answer) {
    const std::size_t at = answer.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : answer.substr(at + 4);
}

// Sends one request on a new connection and reads its answer.
inline std::string Exchange(int port, const std::string& request) {
    RawClient client(port);
    return client.Send(request) ? client.ReadAnswer() : std::string();
}

// "Authorization: Basic ..." CR LF for a password (any user name), ready for a request.
inline std::string TeacherAuthorization(const std::string& password = kTeacherPassword) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string plain = "teacher:" + password;
    std::string encoded;
    for (std::size_t i = 0; i < plain.size(); i += 3) {
        unsigned bits = static_cast<unsigned char>(plain[i]) << 16;
        bits |= i + 1 < plain.size() ? static_cast<unsigned char>(plain[i + 1]) << 8 : 0;
        bits |= i + 2 < plain.size() ? static_cast<unsigned char>(plain[i + 2]) : 0;
        encoded += kAlphabet[(bits >> 18) & 63];
        encoded += kAlphabet[(bits >> 12) & 63];
        encoded += i + 1 < plain.size() ? kAlphabet[(bits >> 6) & 63] : '=';
        encoded += i + 2 < plain.size() ? kAlphabet[bits & 63] : '=';
    }
    return "Authorization: Basic " + encoded + "\r\n";
}
