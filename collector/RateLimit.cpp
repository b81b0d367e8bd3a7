// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/RateLimit.h"

#include <algorithm>

double RateLimit::Refilled(const Bucket& bucket, std::int64_t nowMs) const {
    const double gained =
        static_cast<double>(std::max<std::int64_t>(0, nowMs - bucket.UpdatedMs)) * perMinute_ /
        60000.0;
    return std::min<double>(perMinute_, bucket.Tokens + gained);
}

bool RateLimit::Take(const std::string& address, std::int64_t nowMs) {
    if (perMinute_ <= 0) {
        return true;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = buckets_.find(address);
    if (found == buckets_.end()) {
        if (buckets_.size() >= kMaxAddresses) {
            // Full buckets hold nothing worth keeping: an address met again starts full.
            std::erase_if(buckets_, [this, nowMs](const auto& entry) {
                return Refilled(entry.second, nowMs) >= perMinute_;
            });
        }
        if (buckets_.size() >= kMaxAddresses) {
            return false;  // that many addresses all sending at their limit: refuse newcomers
        }
        found = buckets_.emplace(address, Bucket{static_cast<double>(perMinute_), nowMs}).first;
    }
    Bucket& bucket = found->second;
    bucket.Tokens = Refilled(bucket, nowMs);
    bucket.UpdatedMs = nowMs;
    if (bucket.Tokens < 1.0) {
        return false;
    }
    bucket.Tokens -= 1.0;
    return true;
}
