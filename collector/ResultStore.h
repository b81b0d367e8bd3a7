// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The collector's database: one row per received result, in an SQLite file in WAL mode.
// The writer appends batches in one transaction each; readers query beside it.

#include <cstdint>
#include <filesystem>
#include <functional>
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
    bool Hidden = false;      // the rows the teacher hid instead of the shown ones
    bool InIdOrder = false;   // in the order they were stored, for a poll that pages by id
    bool ByGroup = false;     // class by class, each in the order received
};

// Which rows the teacher hides or restores: one row, or all of one address (on one date
// when Date is given).
struct RowSelection {
    std::int64_t Id = 0;  // 0: by address
    std::string Station;
    std::string Date;
};

// One hide or restore as recorded.
struct VisibilityRecord {
    std::int64_t Id = 0;
    std::string AtLocal;  // ISO 8601 with offset
    std::string Who;
    std::string Action;  // "hide" or "restore"
    std::string Target;  // "row 17" or "address 10.0.0.5 on 2026-12-08"
    std::int64_t Rows = 0;
};

class ResultStore {
public:
    static constexpr int kSchemaVersion = 2;

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

    // Results in the order they were received (oldest first), or by id.
    std::vector<StoredResult> Query(const ResultFilter& filter);
    // The same rows one by one, read from the database as they are handed on, so that an
    // export of any size takes little memory. The callback returns false to stop early.
    bool ForEach(const ResultFilter& filter, const std::function<bool(const StoredResult&)>& row);
    // The classes with shown results on the date (every date when empty), sorted.
    std::vector<std::string> Groups(const std::string& date);
    // The classes of the shown rows stored after the id on the date (every date when empty).
    std::vector<std::string> GroupsAfter(const std::string& date, std::int64_t afterId);

    // Addresses that sent results on a day before the date: the class's known stations.
    std::vector<std::string> StationsKnownBefore(const std::string& date);
    // Hides (hidden) or restores rows and records who did it, in one transaction. The number
    // of rows changed, or nothing when the database failed.
    std::optional<std::int64_t> SetHidden(const RowSelection& rows, bool hidden,
                                          const std::string& who, std::int64_t nowMs);
    // The latest hides and restores, newest first.
    std::vector<VisibilityRecord> VisibilityLog(int limit);
    // Grows with every hide or restore: a page that saw another value reloads its rows.
    std::int64_t VisibilityVersion();

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
