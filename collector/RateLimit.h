// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Results per address and minute: a bucket of perMinute results per address that refills
// steadily over a minute. A station sends one result per finished test; a flood from one
// address is cut off at the limit while the other addresses go on.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

class RateLimit {
public:
    static constexpr std::size_t kMaxAddresses = 65536;

    // perMinute 0: no limit.
    explicit RateLimit(int perMinute) : perMinute_(perMinute) {}

    // Whether the address may send one more result now; takes it from its bucket if so.
    bool Take(const std::string& address, std::int64_t nowMs);

private:
    struct Bucket {
        double Tokens = 0;
        std::int64_t UpdatedMs = 0;
    };
    double Refilled(const Bucket& bucket, std::int64_t nowMs) const;

    int perMinute_ = 0;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};
