// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TlsListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "collector/ListenSocket.h"

namespace {

constexpr int kTickMs = 200;

std::string OpenSslError() {
    const unsigned long code = ERR_get_error();
    char text[256] = "unknown TLS error";
    if (code != 0) {
        ERR_error_string_n(code, text, sizeof text);
    }
    ERR_clear_error();
    return text;
}

struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// Writes all bytes to a blocking descriptor; false when it fails.
bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

struct TlsListener::Context {
    SSL_CTX* Ssl = nullptr;
    ~Context() { SSL_CTX_free(Ssl); }
};

TlsListener::TlsListener(HttpServer& server) : server_(server), context_(new Context) {}

std::unique_ptr<TlsListener> TlsListener::Start(HttpServer& server, const std::string& certificate,
                                                const std::string& key, const std::string& address,
                                                int port, std::string& error) {
    std::unique_ptr<TlsListener> tls(new TlsListener(server));
    tls->context_->Ssl = SSL_CTX_new(TLS_server_method());
    SSL_CTX* ctx = tls->context_->Ssl;
    if (ctx == nullptr || SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate_chain_file(ctx, certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, key.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx) != 1) {
        error = "TLS certificate " + certificate + " or key " + key + ": " + OpenSslError();
        return nullptr;
    }
    SSL_CTX_set_mode(ctx, SSL_MODE_AUTO_RETRY);
    ListenSocket socket = OpenListenSocket(address, port, 0, 128, error);
    if (!socket.Fd) {
        return nullptr;
    }
    tls->listener_ = std::move(socket.Fd);
    tls->port_ = socket.Port;
    tls->acceptor_ = std::thread([listener = tls.get()] { listener->AcceptLoop(); });
    return tls;
}

TlsListener::~TlsListener() {
    stopping_.store(true);
    if (acceptor_.joinable()) {
        acceptor_.join();
    }
    std::vector<RelayThread> relays;
    {
        std::lock_guard<std::mutex> lock(relaysMutex_);
        relays.swap(relays_);
    }
    for (RelayThread& relay : relays) {
        relay.Thread.join();
    }
}

void TlsListener::AcceptLoop() {
    while (!stopping_.load()) {
        pollfd entry{listener_.Get(), POLLIN, 0};
        if (::poll(&entry, 1, kTickMs) <= 0) {
            continue;
        }
        sockaddr_in address{};
        socklen_t length = sizeof address;
        UniqueFd fd(::accept4(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length,
                              SOCK_CLOEXEC));
        if (!fd || live_.load() >= kMaxConnections) {
            continue;  // a refused connection closes as fd goes
        }
        char text[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
        ++live_;
        std::lock_guard<std::mutex> lock(relaysMutex_);
        // Relays that have ended are joined here, so that their threads do not pile up.
        std::erase_if(relays_, [](RelayThread& relay) {
            if (!relay.Done->load()) {
                return false;
            }
            relay.Thread.join();
            return true;
        });
        auto done = std::make_shared<std::atomic<bool>>(false);
        relays_.push_back(
            {std::thread([this, fd = std::move(fd), done, peer = std::string(text)]() mutable {
                 Relay(std::move(fd), peer);
                 done->store(true);
             }),
             done});
    }
}

void TlsListener::Relay(UniqueFd fd, std::string peer) {
    // Bounded waits: the handshake and every read give up after their time.
    timeval timeout{kHandshakeTimeoutMs / 1000, 0};
    std::unique_ptr<SSL, SslDeleter> ssl(SSL_new(context_->Ssl));
    int pair[2] = {-1, -1};
    const bool paired = ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0;
    UniqueFd serverEnd(pair[0]);
    UniqueFd plain(pair[1]);
    // Without the timeouts a silent client would hold this thread for ever: not served.
    if (::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
        ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0 ||
        !paired || !ssl || SSL_set_fd(ssl.get(), fd.Get()) != 1 || SSL_accept(ssl.get()) != 1) {
        ERR_clear_error();
        --live_;
        return;
    }
    const int flags = ::fcntl(serverEnd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(serverEnd.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        SSL_shutdown(ssl.get());
        ERR_clear_error();
        --live_;
        return;
    }
    server_.Adopt(std::move(serverEnd), peer);
    char buffer[16384];
    int idleMs = 0;
    while (!stopping_.load() && idleMs < kIdleTimeoutMs) {
        pollfd entries[2] = {{fd.Get(), POLLIN, 0}, {plain.Get(), POLLIN, 0}};
        const int ready = SSL_pending(ssl.get()) > 0 ? 1 : ::poll(entries, 2, kTickMs);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            idleMs += kTickMs;
            continue;
        }
        idleMs = 0;
        if (SSL_pending(ssl.get()) > 0 || (entries[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const int got = SSL_read(ssl.get(), buffer, sizeof buffer);
            if (got <= 0 || !WriteAll(plain.Get(), buffer, static_cast<std::size_t>(got))) {
                break;
            }
        }
        if (entries[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = ::recv(plain.Get(), buffer, sizeof buffer, 0);
            if (got <= 0 || SSL_write(ssl.get(), buffer, static_cast<int>(got)) <= 0) {
                break;
            }
        }
    }
    SSL_shutdown(ssl.get());
    ERR_clear_error();
    --live_;
}
