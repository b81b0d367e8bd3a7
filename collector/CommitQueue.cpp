// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/CommitQueue.h"

#include <algorithm>

CommitQueue::CommitQueue(ResultStore& store) : store_(store), thread_([this] { Run(); }) {}

CommitQueue::~CommitQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_one();
    thread_.join();
}

void CommitQueue::Push(NewResult result, Done done) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({std::move(result), std::move(done)});
    }
    ready_.notify_one();
}

void CommitQueue::Run() {
    std::vector<Entry> batch;
    std::vector<NewResult> results;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            WaitForWork(lock);
            if (queue_.empty()) {
                return;
            }
            // Whatever arrived while the last transaction was syncing goes into this one.
            const std::size_t count = std::min(queue_.size(), kMaxBatch);
            batch.assign(std::make_move_iterator(queue_.begin()),
                         std::make_move_iterator(queue_.begin() + count));
            queue_.erase(queue_.begin(), queue_.begin() + count);
        }
        results.clear();
        for (Entry& entry : batch) {
            results.push_back(std::move(entry.Result));
        }
        const bool committed = store_.Append(results);
        for (Entry& entry : batch) {
            entry.Callback(committed);
        }
        batch.clear();
    }
}

void CommitQueue::WaitForWork(std::unique_lock<std::mutex>& lock) {
    while (!stopping_ && queue_.empty()) {
        if (store_.Reachable()) {
            ready_.wait(lock);
            continue;
        }
        // The database was lost: try it again now and then, so that results are taken as
        // soon as it is back, without a restart.
        ready_.wait_for(lock, kReconnectInterval);
        if (!stopping_ && queue_.empty()) {
            lock.unlock();
            store_.Reconnect();
            lock.lock();
        }
    }
}

JobThread::JobThread() : thread_([this] { Run(); }) {}

JobThread::~JobThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_one();
    thread_.join();
}

void JobThread::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
}

void JobThread::Run() {
    while (true) {
        std::vector<std::function<void()>> jobs;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            jobs.swap(jobs_);
        }
        for (auto& job : jobs) {
            job();
        }
    }
}
