// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The database writer: results from all stations wait here and are committed together,
// many in one transaction (one sync of the log), on a thread of its own. Each result's
// callback learns whether the transaction that holds it was committed; only then may the
// station be told that its result is stored.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "collector/ResultStore.h"

class CommitQueue {
public:
    using Done = std::function<void(bool committed)>;
    static constexpr std::size_t kMaxBatch = 512;
    static constexpr std::chrono::milliseconds kReconnectInterval{500};

    explicit CommitQueue(ResultStore& store);
    ~CommitQueue();  // commits what is queued, then stops
    CommitQueue(const CommitQueue&) = delete;
    CommitQueue& operator=(const CommitQueue&) = delete;

    void Push(NewResult result, Done done);

private:
    struct Entry {
        NewResult Result;
        Done Callback;
    };
    void Run();
    // Waits until results are queued or the queue stops, reconnecting a lost database.
    void WaitForWork(std::unique_lock<std::mutex>& lock);

    ResultStore& store_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Entry> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

// Runs jobs one after another on a thread of its own, so that slow work (queries for the
// page and the exports) never holds up the connections.
class JobThread {
public:
    JobThread();
    ~JobThread();  // runs what is queued, then stops
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    void Post(std::function<void()> job);

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};
