// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/Session.h"

#include <sys/random.h>

#include <array>
#include <random>

#include "platform/TextUtils.h"

std::string SessionTable::Create(const std::string& who, std::int64_t nowMs) {
    std::string token = RandomToken();
    std::lock_guard<std::mutex> lock(mutex_);
    MakeRoom(nowMs);
    sessions_[token] = Entry{who, nowMs};
    return token;
}

std::optional<std::string> SessionTable::Find(std::string_view token, std::int64_t nowMs) {
    if (token.size() != 64) {
        return std::nullopt;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = sessions_.find(std::string(token));
    if (found == sessions_.end()) {
        return std::nullopt;
    }
    if (nowMs - found->second.LastUseMs > kLifetimeMs) {
        sessions_.erase(found);
        return std::nullopt;
    }
    found->second.LastUseMs = nowMs;
    return found->second.Who;
}

void SessionTable::MakeRoom(std::int64_t nowMs) {
    if (sessions_.size() < kMaxSessions) {
        return;
    }
    std::erase_if(sessions_, [nowMs](const auto& entry) {
        return nowMs - entry.second.LastUseMs > kLifetimeMs;
    });
    while (sessions_.size() >= kMaxSessions) {
        // Still full: the session unused for longest goes.
        auto oldest = sessions_.begin();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
            if (it->second.LastUseMs < oldest->second.LastUseMs) {
                oldest = it;
            }
        }
        sessions_.erase(oldest);
    }
}

std::string_view CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const std::size_t end = header.find(';');
        const std::string_view pair = TrimView(header.substr(0, end));
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && TrimView(pair.substr(0, equals)) == name) {
            return TrimView(pair.substr(equals + 1));
        }
        if (end == std::string_view::npos) {
            break;
        }
        header.remove_prefix(end + 1);
    }
    return {};
}

std::string RandomToken() {
    std::array<unsigned char, 32> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got <= 0) {
            // No kernel randomness (never on Linux 3.17 and later): the library's device.
            std::random_device device;
            for (; filled < bytes.size(); ++filled) {
                bytes[filled] = static_cast<unsigned char>(device());
            }
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char b : bytes) {
        token += kHex[b >> 4];
        token += kHex[b & 15];
    }
    return token;
}
