// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The collector's database: one row per received result, in an SQLite file in WAL mode.
// The writer appends batches in one transaction each; readers query beside it.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collector/Sqlite.h"

struct NewResult {
    std::int64_t ReceivedMs = 0;  // Unix milliseconds
    std::string Station;          // the sender's address, or the station name of a journal
    std::string Group;            // UTF-8
    std::string User;             // UTF-8
    std::int64_t Res = 0;         // points times 10000
    int Mark = 0;
    std::string Raw;  // the query bytes as received, or the journal record
    std::string Source = "http";
    std::string Test;       // the test name of a journal record
    std::string ImportKey;  // identifies a journal record; empty for received results
};

struct StoredResult {
    std::int64_t Id = 0;
    std::string ReceivedLocal;  // ISO 8601 with offset
    std::string Station;
    std::string Group;
    std::string User;
    std::int64_t Res = 0;
    int Mark = 0;
    std::string Source;  // "http", or "report.log" for a result that came only in a journal
};

struct ResultFilter {
    std::string Group;  // empty: every class
    std::string Date;   // local YYYY-MM-DD; empty: every day
    std::int64_t AfterId = 0;
    std::int64_t Limit = -1;  // -1: no limit
};

class ResultStore {
public:
    static constexpr int kSchemaVersion = 1;

    // Opens the file for writing, creating it and its schema on first use. Empty with the
    // reason in error when that fails (also for a file of a newer schema).
    static std::unique_ptr<ResultStore> OpenWriter(const std::filesystem::path& file,
                                                   std::string& error);
    // Opens an existing file for queries only.
    static std::unique_ptr<ResultStore> OpenReader(const std::filesystem::path& file,
                                                   std::string& error);

    // Adds the results in one transaction; true once it is committed.
    bool Append(const std::vector<NewResult>& results);
    // Adds one result inside a transaction the caller holds.
    bool Insert(const NewResult& result);

    // Results in the order they were received (oldest first).
    std::vector<StoredResult> Query(const ResultFilter& filter);
    // The classes that sent results on the date (every date when empty), sorted.
    std::vector<std::string> Groups(const std::string& date);

    // Whether a journal record with this key is in the database already.
    bool HasImportKey(const std::string& key);
    // A received result that a journal record stands for: same class, surname, points and
    // mark, received within [fromMs, toMs], not yet tied to a record. Ties it to key.
    bool ClaimReceived(const NewResult& record, std::int64_t fromMs, std::int64_t toMs);

    const std::string& Error() const { return db_.Error(); }
    SqliteDatabase& Database() { return db_; }

private:
    explicit ResultStore(const std::filesystem::path& file, bool writer);
    bool Prepare(std::string& error);

    SqliteDatabase db_;
};
