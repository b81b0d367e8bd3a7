// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/RefusalCounts.h"

const char* to_string(RefusalReason reason) {
    return reason == RefusalReason::NotAStation ? "not-a-station" : "too-many";
}

void RefusalCounts::Count(const std::string& address, RefusalReason reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = std::make_pair(address, reason);
    if (counts_.size() >= kMaxAddresses && !counts_.contains(key)) {
        key.first = kOtherAddresses;  // memory stays bounded however many addresses come
    }
    ++counts_[key];
}

std::vector<RefusalCounts::Refusal> RefusalCounts::Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Refusal> list;
    for (const auto& [key, count] : counts_) {
        list.push_back({key.first, key.second, count});
    }
    return list;
}
