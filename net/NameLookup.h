// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Looking up a server's IPv4 address with a time limit. The system's resolver can wait half a
// minute and more for a name server that does not answer; the lookup runs on a thread of its
// own, and the caller stops waiting when the time is up (the thread ends by itself later).

#include <netinet/in.h>

#include <functional>
#include <string>

// "LOCALHOST" in any case stands for 127.0.0.1 and a dotted IPv4 address is used directly;
// any other name is looked up. False when it is not found within timeoutMs.
bool LookUpIpv4(const std::string& host, int timeoutMs, in_addr& address);

// Runs lookup on a thread of its own and waits at most timeoutMs for its answer.
bool LookUpWithin(std::function<bool(in_addr&)> lookup, int timeoutMs, in_addr& address);
