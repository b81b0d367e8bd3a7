// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results in an SQLite file in WAL mode: the embedded database of one class server.

#include <filesystem>
#include <memory>
#include <string>

#include "collector/ResultStore.h"
#include "collector/Sqlite.h"

class SqliteResultStore : public ResultStore {
public:
    static constexpr int kSchemaVersion = 3;

    // Opens the file for writing, creating it and its schema on first use and migrating an
    // older one. Empty with the reason in error when that fails (also for a file of a newer
    // schema).
    static std::unique_ptr<SqliteResultStore> OpenWriter(const std::filesystem::path& file,
                                                         std::string& error);
    // Opens an existing file for queries only.
    static std::unique_ptr<SqliteResultStore> OpenReader(const std::filesystem::path& file,
                                                         std::string& error);

    bool Append(const std::vector<NewResult>& results) override;
    bool InTransaction(const std::function<bool()>& work) override;
    bool Insert(const NewResult& result) override;

    bool ForEach(const ResultFilter& filter,
                 const std::function<bool(const StoredResult&)>& row) override;
    std::vector<std::string> Groups(const std::string& date) override;
    std::vector<std::string> GroupsAfter(const std::string& date, std::int64_t afterId) override;
    std::vector<std::string> Collectors() override;

    std::vector<std::string> StationsKnownBefore(const std::string& date) override;
    std::optional<std::int64_t> SetHidden(const RowSelection& rows, bool hidden,
                                          const std::string& who, std::int64_t nowMs) override;
    std::vector<VisibilityRecord> VisibilityLog(int limit) override;
    std::int64_t VisibilityVersion() override;

    bool HasImportKey(const std::string& key) override;
    bool ClaimReceived(const NewResult& record, std::int64_t fromMs, std::int64_t toMs) override;

    std::string Error() const override { return db_.Error(); }
    SqliteDatabase& Database() { return db_; }

protected:
    // The file without any preparation: OpenWriter or OpenReader make a usable store.
    explicit SqliteResultStore(const std::filesystem::path& file, bool writer = true);

private:
    bool Prepare(std::string& error);

    SqliteDatabase db_;
};
