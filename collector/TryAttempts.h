// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The attempts that teachers are trying, in memory only, each under a random id. Bounded per
// teacher and in all, and forgotten after two idle hours, so that a forgotten browser tab
// holds nothing for long.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "collector/TryAttempt.h"

class TryAttempts {
public:
    explicit TryAttempts(std::size_t bytesInAll = kBytesInAll) : bytesInAll_(bytesInAll) {}

    static constexpr std::size_t kPerTeacher = 32;
    static constexpr std::size_t kInAll = 256;
    static constexpr std::int64_t kIdleMs = 2LL * 60 * 60 * 1000;
    // The memory all attempts together may take; the oldest go to make room for a new one.
    static constexpr std::size_t kBytesInAll = 256 * 1024 * 1024;

    // Keeps the attempt for the teacher and gives its new id. When the teacher (or everyone
    // together) already holds the most allowed, in number or in memory, the least recently
    // used ones go.
    std::string Add(const std::string& teacher, std::unique_ptr<TryAttempt> attempt,
                    std::int64_t nowMs);
    // Runs step on the teacher's attempt with that id, which counts as a use. False when
    // there is no such live attempt of this teacher.
    bool With(const std::string& teacher, const std::string& id, std::int64_t nowMs,
              const std::function<void(TryAttempt&)>& step);
    // Ends the attempt; false when the teacher had no such live attempt.
    bool Remove(const std::string& teacher, const std::string& id, std::int64_t nowMs);
    // The teacher's live attempts.
    std::size_t Count(const std::string& teacher, std::int64_t nowMs);

private:
    struct Entry {
        std::string Teacher;
        std::int64_t LastMs = 0;
        std::unique_ptr<TryAttempt> Attempt;
    };
    using Table = std::map<std::string, Entry>;

    void Expire(std::int64_t nowMs);
    std::size_t Held(const std::string& teacher) const;
    std::size_t HeldBytes() const;
    // Drops the least recently used attempt, of this teacher only when teacher is given.
    void DropOldest(const std::string* teacher);
    Table::iterator Find(const std::string& teacher, const std::string& id, std::int64_t nowMs);

    std::size_t bytesInAll_;
    std::mutex mutex_;
    Table attempts_;
};
