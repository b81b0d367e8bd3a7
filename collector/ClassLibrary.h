// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The class library at work: its store and the journal importer on one thread of their own
// (changes and imports never hold up the connections), and the published set kept ready in
// memory, so that thirty stations fetching it at once cost no database work.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "collector/CommitQueue.h"
#include "collector/LibraryStore.h"
#include "collector/ResultStore.h"

struct PublishedSet {
    std::string Version;
    std::string ManifestJson;
    std::map<std::string, std::shared_ptr<const std::string>> Files;  // by file name
};

class ClassLibrary {
public:
    // Opens the library in the results database (an SQLite file or a PostgreSQL URI); empty
    // with the reason in error. collectorName names this collector's connections and the
    // journal records it stores.
    static std::unique_ptr<ClassLibrary> Open(const std::string& database,
                                              const std::string& collectorName,
                                              std::string& error);
    ~ClassLibrary();  // finishes the queued work first
    ClassLibrary(const ClassLibrary&) = delete;
    ClassLibrary& operator=(const ClassLibrary&) = delete;

    using Job = std::function<void(LibraryStore& store, ResultStore& journals)>;
    // Runs the job on the library's thread, after the jobs posted before it.
    void Post(Job job);

    // The set the stations get now; never empty.
    std::shared_ptr<const PublishedSet> Published() const;
    // Builds the published set again from the store; call on the library's thread after a
    // change.
    void Republish(LibraryStore& store);
    // Whether other collectors may change the library (it lives in a shared database).
    bool Shared() const { return shared_; }
    // Builds the published set again when another collector changed the library since it was
    // built; call on the library's thread.
    void RefreshIfChanged(LibraryStore& store);
    const std::string& CollectorName() const { return collectorName_; }

private:
    ClassLibrary() = default;

    std::string collectorName_;
    bool shared_ = false;
    std::int64_t seenChanges_ = 0;  // the store's change count the published set was built at
    std::unique_ptr<LibraryStore> store_;
    std::unique_ptr<ResultStore> journals_;
    mutable std::mutex publishedMutex_;
    std::shared_ptr<const PublishedSet> published_;
    std::unique_ptr<JobThread> thread_;
};

// The station files of the published tests: each test as uploaded, its description file when
// it has a chooser text, and its pictures (a picture name that two tests use goes out once,
// from the test first in name order).
std::shared_ptr<const PublishedSet> BuildPublishedSet(LibraryStore& store);
