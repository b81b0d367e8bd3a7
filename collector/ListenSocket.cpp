// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ListenSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

ListenSocket OpenListenSocket(const std::string& address, int port, int socketFlags, int backlog,
                              std::string& error) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    if (port < 0 || port > 65535) {
        error = "not a port: " + std::to_string(port);
        return {};
    }
    socketAddress.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return {};
    }
    const std::string where = address + ":" + std::to_string(port);
    ListenSocket result;
    result.Fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | socketFlags, 0));
    if (!result.Fd) {
        error = SystemError("cannot open a socket for " + where);
        return {};
    }
    const int reuse = 1;
    if (::setsockopt(result.Fd.Get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0) {
        error = SystemError("cannot set SO_REUSEADDR for " + where);
        return {};
    }
    if (::bind(result.Fd.Get(), reinterpret_cast<sockaddr*>(&socketAddress),
               sizeof socketAddress) != 0 ||
        ::listen(result.Fd.Get(), backlog) != 0) {
        error = SystemError("cannot listen on " + where);
        return {};
    }
    socklen_t length = sizeof socketAddress;
    if (::getsockname(result.Fd.Get(), reinterpret_cast<sockaddr*>(&socketAddress), &length) !=
        0) {
        error = SystemError("cannot read the port bound on " + where);
        return {};
    }
    result.Port = ntohs(socketAddress.sin_port);
    return result;
}
