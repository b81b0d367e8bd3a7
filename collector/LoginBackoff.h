// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Slows down password guessing: after kFreeTries wrong passwords from one address, each
// further try from it must wait twice as long as the last (1 s, 2 s, 4 s ... up to a
// minute). A right password clears the address. The counts are kept for the page.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class LoginBackoff {
public:
    static constexpr int kFreeTries = 5;
    static constexpr std::int64_t kFirstDelayMs = 1000;
    static constexpr std::int64_t kMaxDelayMs = 60000;
    static constexpr std::size_t kMaxAddresses = 4096;

    // Milliseconds the address must still wait before its password is looked at; 0 when it
    // may try now.
    std::int64_t WaitFor(const std::string& address, std::int64_t nowMs);
    void Failed(const std::string& address, std::int64_t nowMs);
    void Succeeded(const std::string& address);

    struct Attempts {
        std::string Address;
        std::int64_t Wrong = 0;  // wrong passwords since the last right one
    };
    std::vector<Attempts> Snapshot();

private:
    struct Entry {
        std::int64_t Wrong = 0;
        std::int64_t DelayMs = 0;
        std::int64_t BlockedUntilMs = 0;
    };

    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};
