// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Listening sockets for tests and benchmarks. They bind loopback addresses only, so nothing a
// test starts can be reached from, or talk to, another machine.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

struct LoopbackListener {
    int Fd = -1;   // -1 when the socket could not be bound or put to listening
    int Port = 0;  // the port the kernel chose (or the one asked for)
};

// A socket listening on address (a 127.x.x.x text) and port (0 lets the kernel choose).
inline LoopbackListener ListenOnLoopback(int backlog, const char* address = "127.0.0.1",
                                         int port = 0) {
    LoopbackListener listener;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return listener;
    }
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(static_cast<unsigned short>(port));
    if (::inet_pton(AF_INET, address, &socketAddress.sin_addr) != 1 ||
        (ntohl(socketAddress.sin_addr.s_addr) >> 24) != 127 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&socketAddress), sizeof socketAddress) != 0 ||
        ::listen(fd, backlog) != 0) {
        ::close(fd);
        return listener;
    }
    socklen_t length = sizeof socketAddress;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&socketAddress), &length);
    listener.Fd = fd;
    listener.Port = ntohs(socketAddress.sin_port);
    return listener;
}

// A port on 127.0.0.1 that nobody listens on (the kernel picks it, then it is released).
inline int UnusedLoopbackPort() {
    const LoopbackListener listener = ListenOnLoopback(1);
    if (listener.Fd >= 0) {
        ::close(listener.Fd);
    }
    return listener.Port;
}
