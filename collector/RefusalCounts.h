// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How many results each address had refused and why, since the collector started: the
// page shows them so that the teacher sees a flood or a stranger at once.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

enum class RefusalReason { NotAStation, TooMany };

const char* to_string(RefusalReason reason);

class RefusalCounts {
public:
    static constexpr std::size_t kMaxAddresses = 1024;
    static constexpr const char* kOtherAddresses = "другие адреса";

    void Count(const std::string& address, RefusalReason reason);

    struct Refusal {
        std::string Address;
        RefusalReason Reason = RefusalReason::NotAStation;
        std::int64_t Count = 0;
    };
    // Sorted by address, then reason.
    std::vector<Refusal> Snapshot();

private:
    std::mutex mutex_;
    std::map<std::pair<std::string, RefusalReason>, std::int64_t> counts_;
};
