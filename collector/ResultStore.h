// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The collector's database of results: one row per received result. The writer appends
// batches in one transaction each; readers query beside it. Two databases stand behind this
// interface: an SQLite file (one class server, the default) and PostgreSQL (several
// collectors sharing one database).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
    std::string Collector;  // the name of the collector that received it, UTF-8
};

struct StoredResult {
    std::int64_t Id = 0;
    std::string ReceivedLocal;  // ISO 8601 with offset
    std::string Station;
    std::string Group;
    std::string User;
    std::int64_t Res = 0;
    int Mark = 0;
    std::string Source;     // "http", or "report.log" for a result that came only in a journal
    std::string Collector;  // empty for rows stored before collectors were named
};

struct ResultFilter {
    std::string Group;  // empty: every class
    std::string Date;   // local YYYY-MM-DD; empty: every day
    std::int64_t AfterId = 0;
    std::int64_t Limit = -1;  // -1: no limit
    bool Hidden = false;      // the rows the teacher hid instead of the shown ones
    bool InIdOrder = false;   // in the order they were stored, for a poll that pages by id
    bool ByGroup = false;     // class by class, each in the order received
    std::string Collector{};  // empty: the rows of every collector
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
    virtual ~ResultStore() = default;

    // Adds the results in one transaction; true once it is committed.
    virtual bool Append(const std::vector<NewResult>& results) = 0;
    // Runs work in one transaction, committed when work returns true and rolled back
    // otherwise; false when the transaction failed or work did.
    virtual bool InTransaction(const std::function<bool()>& work) = 0;
    // Adds one result inside the transaction of InTransaction.
    virtual bool Insert(const NewResult& result) = 0;

    // Results in the order they were received (oldest first), or by id.
    std::vector<StoredResult> Query(const ResultFilter& filter);
    // The same rows one by one, read from the database as they are handed on, so that an
    // export of any size takes little memory. The callback returns false to stop early.
    // False when the database failed.
    virtual bool ForEach(const ResultFilter& filter,
                         const std::function<bool(const StoredResult&)>& row) = 0;
    // The classes with shown results on the date (every date when empty), sorted.
    virtual std::vector<std::string> Groups(const std::string& date) = 0;
    // The classes of the shown rows stored after the id on the date (every date when empty).
    virtual std::vector<std::string> GroupsAfter(const std::string& date,
                                                 std::int64_t afterId) = 0;
    // The names of the collectors that stored results, sorted.
    virtual std::vector<std::string> Collectors() = 0;

    // Addresses that sent results on a day before the date: the class's known stations.
    virtual std::vector<std::string> StationsKnownBefore(const std::string& date) = 0;
    // Hides (hidden) or restores rows and records who did it, in one transaction. The number
    // of rows changed, or nothing when the database failed.
    virtual std::optional<std::int64_t> SetHidden(const RowSelection& rows, bool hidden,
                                                  const std::string& who, std::int64_t nowMs) = 0;
    // The latest hides and restores, newest first.
    virtual std::vector<VisibilityRecord> VisibilityLog(int limit) = 0;
    // Grows with every hide or restore: a page that saw another value reloads its rows.
    virtual std::int64_t VisibilityVersion() = 0;

    // Whether a journal record with this key is in the database already.
    virtual bool HasImportKey(const std::string& key) = 0;
    // A received result that a journal record stands for: same class, surname, points and
    // mark, received within [fromMs, toMs], not yet tied to a record. Ties it to key.
    virtual bool ClaimReceived(const NewResult& record, std::int64_t fromMs,
                               std::int64_t toMs) = 0;

    // Whether the database can be reached: false after a lost connection until it is back.
    // A file database is always reachable once open.
    virtual bool Reachable() const { return true; }
    // Tries to reach the database again when it could not be reached; true once it can.
    virtual bool Reconnect() { return true; }

    // The last error, without any password.
    virtual std::string Error() const = 0;
};

// Whether the database names a PostgreSQL server (a postgresql:// or postgres:// URI)
// rather than an SQLite file.
bool IsPostgresUri(const std::string& database);

// Opens the results database: a PostgreSQL URI or an SQLite file. A writer creates or
// migrates the schema; a reader expects it. applicationName names the connection on a
// server. Empty with the reason (free of passwords) in error when it cannot.
std::unique_ptr<ResultStore> OpenResultStore(const std::string& database, bool writer,
                                             std::string& error,
                                             const std::string& applicationName = {});
