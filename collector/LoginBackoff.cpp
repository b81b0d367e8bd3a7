// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/LoginBackoff.h"

#include <algorithm>

std::int64_t LoginBackoff::WaitFor(const std::string& address, std::int64_t nowMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = entries_.find(address);
    if (found == entries_.end()) {
        return 0;
    }
    return std::max<std::int64_t>(0, found->second.BlockedUntilMs - nowMs);
}

void LoginBackoff::Failed(const std::string& address, std::int64_t nowMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.size() >= kMaxAddresses && !entries_.contains(address)) {
        // Full: forget the addresses that may try again now, then the smallest counts.
        std::erase_if(entries_,
                      [nowMs](const auto& e) { return e.second.BlockedUntilMs <= nowMs; });
        if (entries_.size() >= kMaxAddresses) {
            entries_.erase(std::min_element(
                entries_.begin(), entries_.end(),
                [](const auto& a, const auto& b) { return a.second.Wrong < b.second.Wrong; }));
        }
    }
    Entry& entry = entries_[address];
    ++entry.Wrong;
    if (entry.Wrong < kFreeTries) {
        return;
    }
    entry.DelayMs = entry.DelayMs == 0 ? kFirstDelayMs : std::min(kMaxDelayMs, entry.DelayMs * 2);
    entry.BlockedUntilMs = nowMs + entry.DelayMs;
}

void LoginBackoff::Succeeded(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(address);
}

std::vector<LoginBackoff::Attempts> LoginBackoff::Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Attempts> attempts;
    for (const auto& [address, entry] : entries_) {
        attempts.push_back({address, entry.Wrong});
    }
    std::sort(attempts.begin(), attempts.end(),
              [](const Attempts& a, const Attempts& b) { return a.Address < b.Address; });
    return attempts;
}
