// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ClassLibrary.h"

#include <algorithm>

#include "platform/Cp1251.h"
#include "settings/TestDescription.h"
#include "tools/sync/SyncProtocol.h"

namespace {

void AddFile(PublishedSet& set, Manifest& manifest, const std::string& name, std::string bytes) {
    if (set.Files.count(name) != 0) {
        return;
    }
    manifest.Files.push_back({name, static_cast<std::int64_t>(bytes.size()), Sha256Hex(bytes)});
    set.Files.emplace(name, std::make_shared<const std::string>(std::move(bytes)));
}

}  // namespace

std::shared_ptr<const PublishedSet> BuildPublishedSet(LibraryStore& store) {
    auto set = std::make_shared<PublishedSet>();
    Manifest manifest;
    for (LibraryTest& test : store.Tests(true)) {
        if (!test.Published) {
            continue;
        }
        if (!test.ChooserText.empty()) {
            const std::string desc = DescriptionPath(test.Name).string();
            AddFile(*set, manifest, desc, Utf8ToCp1251(test.ChooserText) + "\r\n");
        }
        for (LibraryPicture& picture : store.Pictures(test.Name, true)) {
            AddFile(*set, manifest, picture.Name, std::move(picture.Body));
        }
        AddFile(*set, manifest, test.Name, std::move(test.Body));
    }
    std::sort(manifest.Files.begin(), manifest.Files.end(),
              [](const ManifestFile& a, const ManifestFile& b) { return a.Name < b.Name; });
    set->ManifestJson = ManifestJson(manifest);
    set->Version = manifest.Version;
    return set;
}

std::unique_ptr<ClassLibrary> ClassLibrary::Open(const std::string& database,
                                                 const std::string& collectorName,
                                                 std::string& error) {
    std::unique_ptr<ClassLibrary> library(new ClassLibrary());
    library->collectorName_ = collectorName;
    library->store_ = OpenLibraryStore(database, collectorName + " library", error);
    if (library->store_) {
        library->journals_ = OpenResultStore(database, true, error, collectorName + " journals");
    }
    if (!library->journals_) {
        return nullptr;
    }
    library->shared_ = library->store_->ChangeCount().has_value();
    library->Republish(*library->store_);
    library->thread_ = std::make_unique<JobThread>();
    return library;
}

ClassLibrary::~ClassLibrary() {
    thread_.reset();
}

void ClassLibrary::Post(Job job) {
    thread_->Post([this, job = std::move(job)] { job(*store_, *journals_); });
}

std::shared_ptr<const PublishedSet> ClassLibrary::Published() const {
    std::lock_guard<std::mutex> lock(publishedMutex_);
    return published_;
}

void ClassLibrary::Republish(LibraryStore& store) {
    // The count is read first: a change that comes while the set is built makes the next
    // refresh build it again rather than go unseen.
    seenChanges_ = store.ChangeCount().value_or(0);
    auto set = BuildPublishedSet(store);
    std::lock_guard<std::mutex> lock(publishedMutex_);
    published_ = std::move(set);
}

void ClassLibrary::RefreshIfChanged(LibraryStore& store) {
    const auto changes = store.ChangeCount();
    if (changes && *changes != seenChanges_) {
        Republish(store);
    }
}
