// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Cp1251.h"

namespace {

// What the lookup thread and the waiting caller share; whichever ends last frees it.
struct PendingLookup {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    bool Found = false;
    in_addr Address{};
};

bool SystemLookUp(const std::string& host, in_addr& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

}  // namespace

bool LookUpWithin(std::function<bool(in_addr&)> lookup, int timeoutMs, in_addr& address) {
    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, lookup = std::move(lookup)] {
            in_addr found{};
            const bool ok = lookup(found);
            const std::lock_guard lock(pending->Mutex);
            pending->Finished = true;
            pending->Found = ok;
            pending->Address = found;
            pending->Done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return false;  // no thread to be had: as if the name were not found
    }
    std::unique_lock lock(pending->Mutex);
    pending->Done.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                           [&] { return pending->Finished; });
    if (!pending->Finished || !pending->Found) {
        return false;
    }
    address = pending->Address;
    return true;
}

bool LookUpIpv4(const std::string& host, int timeoutMs, in_addr& address) {
    if (AnsiSameText(host, "LOCALHOST")) {
        return ::inet_pton(AF_INET, "127.0.0.1", &address) == 1;
    }
    if (host.find('\0') != std::string::npos) {
        return false;
    }
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1) {
        return true;
    }
    return LookUpWithin([host](in_addr& found) { return SystemLookUp(host, found); }, timeoutMs,
                        address);
}
