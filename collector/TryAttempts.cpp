// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TryAttempts.h"

#include "collector/Session.h"

std::string TryAttempts::Add(const std::string& teacher, std::unique_ptr<TryAttempt> attempt,
                             std::int64_t nowMs) {
    const std::lock_guard lock(mutex_);
    Expire(nowMs);
    if (Held(teacher) >= kPerTeacher) {
        DropOldest(&teacher);
    }
    if (attempts_.size() >= kInAll) {
        DropOldest(nullptr);
    }
    while (!attempts_.empty() && HeldBytes() + attempt->Bytes() > bytesInAll_) {
        DropOldest(nullptr);
    }
    // 128 random bits: an id cannot be guessed, and two never meet.
    std::string id = RandomToken().substr(0, 32);
    attempts_[id] = Entry{teacher, nowMs, std::move(attempt)};
    return id;
}

bool TryAttempts::With(const std::string& teacher, const std::string& id, std::int64_t nowMs,
                       const std::function<void(TryAttempt&)>& step) {
    const std::lock_guard lock(mutex_);
    const auto found = Find(teacher, id, nowMs);
    if (found == attempts_.end()) {
        return false;
    }
    found->second.LastMs = nowMs;
    step(*found->second.Attempt);
    return true;
}

bool TryAttempts::Remove(const std::string& teacher, const std::string& id, std::int64_t nowMs) {
    const std::lock_guard lock(mutex_);
    const auto found = Find(teacher, id, nowMs);
    if (found == attempts_.end()) {
        return false;
    }
    attempts_.erase(found);
    return true;
}

std::size_t TryAttempts::Count(const std::string& teacher, std::int64_t nowMs) {
    const std::lock_guard lock(mutex_);
    Expire(nowMs);
    return Held(teacher);
}

std::size_t TryAttempts::Held(const std::string& teacher) const {
    std::size_t count = 0;
    for (const auto& item : attempts_) {
        count += item.second.Teacher == teacher ? 1 : 0;
    }
    return count;
}

std::size_t TryAttempts::HeldBytes() const {
    std::size_t bytes = 0;
    for (const auto& item : attempts_) {
        bytes += item.second.Attempt->Bytes();
    }
    return bytes;
}

void TryAttempts::Expire(std::int64_t nowMs) {
    std::erase_if(attempts_,
                  [nowMs](const auto& item) { return nowMs - item.second.LastMs >= kIdleMs; });
}

void TryAttempts::DropOldest(const std::string* teacher) {
    auto oldest = attempts_.end();
    for (auto it = attempts_.begin(); it != attempts_.end(); ++it) {
        if ((teacher == nullptr || it->second.Teacher == *teacher) &&
            (oldest == attempts_.end() || it->second.LastMs < oldest->second.LastMs)) {
            oldest = it;
        }
    }
    if (oldest != attempts_.end()) {
        attempts_.erase(oldest);
    }
}

TryAttempts::Table::iterator TryAttempts::Find(const std::string& teacher, const std::string& id,
                                               std::int64_t nowMs) {
    Expire(nowMs);
    const auto found = attempts_.find(id);
    if (found == attempts_.end() || found->second.Teacher != teacher) {
        return attempts_.end();
    }
    return found;
}
