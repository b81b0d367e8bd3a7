// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's sessions: after a Basic login the page gets a random token in an HttpOnly,
// SameSite=Strict cookie, and its own requests carry that cookie instead of the password (a
// browser refuses a script's request to an address with credentials in it). Sessions live
// in memory: a restart of the collector asks for the password once more.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

class SessionTable {
public:
    static constexpr std::int64_t kLifetimeMs = 12LL * 3600 * 1000;  // since the last use
    static constexpr std::size_t kMaxSessions = 512;
    static constexpr std::string_view kCookieName = "tezra_session";

    // A new session for who; its token.
    std::string Create(const std::string& who, std::int64_t nowMs);
    // Who the session belongs to while it lives; each use extends its life.
    std::optional<std::string> Find(std::string_view token, std::int64_t nowMs);

private:
    struct Entry {
        std::string Who;
        std::int64_t LastUseMs = 0;
    };
    void MakeRoom(std::int64_t nowMs);

    std::mutex mutex_;
    std::unordered_map<std::string, Entry> sessions_;
};

// The value of one cookie in a Cookie header; empty when it is not there.
std::string_view CookieValue(std::string_view header, std::string_view name);

// A fresh random token: 32 bytes from the kernel as 64 hex digits.
std::string RandomToken();
