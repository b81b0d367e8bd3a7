// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/SqliteResultStore.h"

#include "collector/ReceivedTime.h"

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS results(
    id INTEGER PRIMARY KEY,
    received_ms INTEGER NOT NULL,
    received_utc TEXT NOT NULL,
    received_local TEXT NOT NULL,
    local_date TEXT NOT NULL,
    station TEXT NOT NULL,
    grp TEXT NOT NULL,
    user TEXT NOT NULL,
    res INTEGER NOT NULL,
    mark INTEGER NOT NULL,
    raw_query BLOB NOT NULL,
    source TEXT NOT NULL,
    test TEXT,
    import_key TEXT UNIQUE
);
CREATE INDEX IF NOT EXISTS results_by_date ON results(local_date, grp);
PRAGMA user_version = 1;
)";

constexpr const char* kInsert =
    "INSERT INTO results(received_ms, received_utc, received_local, local_date, station, grp, "
    "user, res, mark, raw_query, source, test, import_key, collector) "
    "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// Hidden rows, the stations known so far, the record of hides and restores, and indexes
// that let the page's poll and the exports read only the rows they need.
constexpr const char* kSchemaStep2 = R"(
ALTER TABLE results ADD COLUMN hidden INTEGER NOT NULL DEFAULT 0;
DROP INDEX IF EXISTS results_by_date;
CREATE INDEX results_by_date ON results(local_date, grp, hidden);
CREATE INDEX results_by_day ON results(local_date, hidden);
CREATE INDEX results_by_time ON results(local_date, received_ms);
CREATE TABLE stations(address TEXT PRIMARY KEY, first_date TEXT NOT NULL) WITHOUT ROWID;
INSERT OR IGNORE INTO stations(address, first_date)
    SELECT station, MIN(local_date) FROM results GROUP BY station;
CREATE TABLE visibility_log(
    id INTEGER PRIMARY KEY,
    at_utc TEXT NOT NULL,
    at_local TEXT NOT NULL,
    who TEXT NOT NULL,
    action TEXT NOT NULL,
    target TEXT NOT NULL,
    rows INTEGER NOT NULL
);
PRAGMA user_version = 2;
)";

// Several collectors may share a database: each row names the one that received it. Rows
// stored before keep an empty name.
constexpr const char* kSchemaStep3 = R"(
ALTER TABLE results ADD COLUMN collector TEXT NOT NULL DEFAULT '';
CREATE TABLE collectors(name TEXT PRIMARY KEY) WITHOUT ROWID;
PRAGMA user_version = 3;
)";

constexpr const char* kRememberStation =
    "INSERT OR IGNORE INTO stations(address, first_date) VALUES(?1, ?2)";

// The first day a station (an address, or the name a journal was imported under) was seen.
bool RememberStation(SqliteStatement& remember, const NewResult& result) {
    remember.Bind(1, result.Station);
    remember.Bind(2, StampOf(result.ReceivedMs).LocalDate);
    const bool done = remember.Run();
    remember.Reset();
    return done;
}

constexpr const char* kRememberCollector = "INSERT OR IGNORE INTO collectors(name) VALUES(?1)";

// The names the page offers in its filter by collector.
bool RememberCollector(SqliteDatabase& db, const std::string& name) {
    if (name.empty()) {
        return true;
    }
    SqliteStatement remember = db.Prepare(kRememberCollector);
    remember.Bind(1, name);
    return remember.Run();
}

// One step of the schema, in a transaction of its own.
bool RunSchemaStep(SqliteDatabase& db, const char* step) {
    SqliteTransaction transaction(db);
    return transaction.Begun() && db.Execute(step) && transaction.Commit();
}

void BindResult(SqliteStatement& insert, const NewResult& result) {
    const ReceivedTime stamp = StampOf(result.ReceivedMs);
    insert.Bind(1, result.ReceivedMs);
    insert.Bind(2, stamp.Utc);
    insert.Bind(3, stamp.Local);
    insert.Bind(4, stamp.LocalDate);
    insert.Bind(5, result.Station);
    insert.Bind(6, result.Group);
    insert.Bind(7, result.User);
    insert.Bind(8, result.Res);
    insert.Bind(9, static_cast<std::int64_t>(result.Mark));
    insert.BindBlob(10, result.Raw);
    insert.Bind(11, result.Source);
    if (result.Test.empty() && result.ImportKey.empty()) {
        insert.BindNull(12);
    } else {
        insert.Bind(12, result.Test);
    }
    if (result.ImportKey.empty()) {
        insert.BindNull(13);
    } else {
        insert.Bind(13, result.ImportKey);
    }
    insert.Bind(14, result.Collector);
}

}  // namespace

SqliteResultStore::SqliteResultStore(const std::filesystem::path& file, bool writer)
    : db_(file, writer, !writer) {}

std::unique_ptr<SqliteResultStore> SqliteResultStore::OpenWriter(const std::filesystem::path& file,
                                                                 std::string& error) {
    std::unique_ptr<SqliteResultStore> store(new SqliteResultStore(file, true));
    if (!store->Prepare(error)) {
        return nullptr;
    }
    // WAL lets the page read while stations write; FULL syncs the log at every commit, so
    // an acknowledged result survives a crash of the collector or of the machine.
    if (!store->db_.Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;")) {
        error = store->db_.Error();
        return nullptr;
    }
    const auto version = store->db_.QueryInt("PRAGMA user_version");
    if (version.value_or(-1) > kSchemaVersion) {
        error =
            "the database was made by a newer collector (schema " + std::to_string(*version) + ")";
        return nullptr;
    }
    if ((version.value_or(0) < 1 && !RunSchemaStep(store->db_, kSchema)) ||
        (version.value_or(0) < 2 && !RunSchemaStep(store->db_, kSchemaStep2)) ||
        (version.value_or(0) < 3 && !RunSchemaStep(store->db_, kSchemaStep3))) {
        error = store->db_.Error();
        return nullptr;
    }
    return store;
}

std::unique_ptr<SqliteResultStore> SqliteResultStore::OpenReader(const std::filesystem::path& file,
                                                                 std::string& error) {
    std::unique_ptr<SqliteResultStore> store(new SqliteResultStore(file, false));
    if (!store->Prepare(error)) {
        return nullptr;
    }
    return store;
}

bool SqliteResultStore::Prepare(std::string& error) {
    if (!db_.Ok()) {
        error = db_.Error();
        return false;
    }
    return true;
}

bool SqliteResultStore::Append(const std::vector<NewResult>& results) {
    SqliteTransaction transaction(db_);
    SqliteStatement insert = db_.Prepare(kInsert);
    SqliteStatement remember = db_.Prepare(kRememberStation);
    if (!transaction.Begun() || !insert.Ok() || !remember.Ok()) {
        return false;
    }
    const std::string* named = nullptr;
    for (const NewResult& result : results) {
        if ((named == nullptr || *named != result.Collector) &&
            !RememberCollector(db_, result.Collector)) {
            return false;
        }
        named = &result.Collector;
        BindResult(insert, result);
        if (!insert.Run()) {
            return false;
        }
        insert.Reset();
        if (!RememberStation(remember, result)) {
            return false;
        }
    }
    return transaction.Commit();
}

bool SqliteResultStore::InTransaction(const std::function<bool()>& work) {
    SqliteTransaction transaction(db_);
    return transaction.Begun() && work() && transaction.Commit();
}

bool SqliteResultStore::Insert(const NewResult& result) {
    SqliteStatement insert = db_.Prepare(kInsert);
    SqliteStatement remember = db_.Prepare(kRememberStation);
    BindResult(insert, result);
    return insert.Run() && RememberStation(remember, result) &&
           RememberCollector(db_, result.Collector);
}

bool SqliteResultStore::HasImportKey(const std::string& key) {
    SqliteStatement select = db_.Prepare("SELECT 1 FROM results WHERE import_key = ?1");
    select.Bind(1, key);
    return select.Step();
}

bool SqliteResultStore::ClaimReceived(const NewResult& record, std::int64_t fromMs,
                                      std::int64_t toMs) {
    SqliteStatement claim = db_.Prepare(
        "UPDATE results SET import_key = ?1, test = ?2 WHERE id = ("
        "SELECT id FROM results WHERE import_key IS NULL AND grp = ?3 AND user = ?4 "
        "AND res = ?5 AND mark = ?6 AND received_ms BETWEEN ?7 AND ?8 "
        "ORDER BY received_ms LIMIT 1)");
    claim.Bind(1, record.ImportKey);
    claim.Bind(2, record.Test);
    claim.Bind(3, record.Group);
    claim.Bind(4, record.User);
    claim.Bind(5, record.Res);
    claim.Bind(6, static_cast<std::int64_t>(record.Mark));
    claim.Bind(7, fromMs);
    claim.Bind(8, toMs);
    return claim.Run() && db_.Changes() > 0;
}
