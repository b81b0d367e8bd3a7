// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A listening TCP socket on an IPv4 address, every step of it checked.

#include <string>

#include "platform/UniqueFd.h"

struct ListenSocket {
    UniqueFd Fd;
    int Port = 0;  // the port bound, also when the kernel chose it
};

// Listens on address ("0.0.0.0" for all) and port (0: the kernel chooses) with the given
// extra socket() flags (SOCK_NONBLOCK) and backlog; none with the reason in error, naming the
// call that failed.
ListenSocket OpenListenSocket(const std::string& address, int port, int socketFlags, int backlog,
                              std::string& error);

// The reason a system call failed, for a message: "what: strerror(errno)".
std::string SystemError(const std::string& what);
