// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ResultStore.h"

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
    "user, res, mark, raw_query, source, test, import_key) "
    "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

constexpr const char* kSelect =
    "SELECT id, received_local, station, grp, user, res, mark, source FROM results "
    "WHERE id > ?1 AND (?2 = '' OR grp = ?2) AND (?3 = '' OR local_date = ?3) "
    "ORDER BY received_ms, id LIMIT ?4";

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
}

}  // namespace

ResultStore::ResultStore(const std::filesystem::path& file, bool writer)
    : db_(file, writer, !writer) {}

std::unique_ptr<ResultStore> ResultStore::OpenWriter(const std::filesystem::path& file,
                                                     std::string& error) {
    std::unique_ptr<ResultStore> store(new ResultStore(file, true));
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
    if (version.value_or(0) < kSchemaVersion) {
        SqliteTransaction transaction(store->db_);
        if (!transaction.Begun() || !store->db_.Execute(kSchema) || !transaction.Commit()) {
            error = store->db_.Error();
            return nullptr;
        }
    }
    return store;
}

std::unique_ptr<ResultStore> ResultStore::OpenReader(const std::filesystem::path& file,
                                                     std::string& error) {
    std::unique_ptr<ResultStore> store(new ResultStore(file, false));
    if (!store->Prepare(error)) {
        return nullptr;
    }
    return store;
}

bool ResultStore::Prepare(std::string& error) {
    if (!db_.Ok()) {
        error = db_.Error();
        return false;
    }
    return true;
}

bool ResultStore::Append(const std::vector<NewResult>& results) {
    SqliteTransaction transaction(db_);
    SqliteStatement insert = db_.Prepare(kInsert);
    if (!transaction.Begun() || !insert.Ok()) {
        return false;
    }
    for (const NewResult& result : results) {
        BindResult(insert, result);
        if (!insert.Run()) {
            return false;
        }
        insert.Reset();
    }
    return transaction.Commit();
}

bool ResultStore::Insert(const NewResult& result) {
    SqliteStatement insert = db_.Prepare(kInsert);
    BindResult(insert, result);
    return insert.Run();
}

std::vector<StoredResult> ResultStore::Query(const ResultFilter& filter) {
    std::vector<StoredResult> rows;
    SqliteStatement select = db_.Prepare(kSelect);
    select.Bind(1, filter.AfterId);
    select.Bind(2, filter.Group);
    select.Bind(3, filter.Date);
    select.Bind(4, filter.Limit);
    while (select.Step()) {
        StoredResult row;
        row.Id = select.Int(0);
        row.ReceivedLocal = select.Text(1);
        row.Station = select.Text(2);
        row.Group = select.Text(3);
        row.User = select.Text(4);
        row.Res = select.Int(5);
        row.Mark = static_cast<int>(select.Int(6));
        row.Source = select.Text(7);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> ResultStore::Groups(const std::string& date) {
    std::vector<std::string> groups;
    SqliteStatement select = db_.Prepare(
        "SELECT DISTINCT grp FROM results WHERE ?1 = '' OR local_date = ?1 ORDER BY grp");
    select.Bind(1, date);
    while (select.Step()) {
        groups.push_back(select.Text(0));
    }
    return groups;
}

bool ResultStore::HasImportKey(const std::string& key) {
    SqliteStatement select = db_.Prepare("SELECT 1 FROM results WHERE import_key = ?1");
    select.Bind(1, key);
    return select.Step();
}

bool ResultStore::ClaimReceived(const NewResult& record, std::int64_t fromMs, std::int64_t toMs) {
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
