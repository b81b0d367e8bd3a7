// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/PostgresResultStore.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "collector/Postgres.h"
#include "collector/PostgresSchema.h"
#include "collector/ReceivedTime.h"

namespace {

constexpr int kColumnsPerResult = 14;
constexpr int kWriterTimeoutMs = 5000;
constexpr int kReaderTimeoutMs = 120000;

constexpr const char* kResultColumns =
    "received_ms, received_utc, received_local, local_date, station, grp, user_name, res, "
    "mark, raw_query, source, test, import_key, collector";

// "($1, $2, ...), (...)" for count rows of width columns: placeholders only, never values.
std::string Placeholders(std::size_t count, int width) {
    std::string text;
    int next = 1;
    for (std::size_t row = 0; row < count; ++row) {
        text += row == 0 ? "(" : ", (";
        for (int column = 0; column < width; ++column) {
            text += (column == 0 ? "$" : ", $") + std::to_string(next++);
        }
        text += ")";
    }
    return text;
}

void AddResult(std::vector<PgParam>& params, const NewResult& result) {
    const ReceivedTime stamp = StampOf(result.ReceivedMs);
    params.push_back(PgInt(result.ReceivedMs));
    params.push_back(PgText(stamp.Utc));
    params.push_back(PgText(stamp.Local));
    params.push_back(PgText(stamp.LocalDate));
    params.push_back(PgText(result.Station));
    params.push_back(PgText(result.Group));
    params.push_back(PgText(result.User));
    params.push_back(PgInt(result.Res));
    params.push_back(PgInt(result.Mark));
    params.push_back(PgBytes(result.Raw));
    params.push_back(PgText(result.Source));
    params.push_back(result.Test.empty() && result.ImportKey.empty() ? PgNull()
                                                                     : PgText(result.Test));
    params.push_back(result.ImportKey.empty() ? PgNull() : PgText(result.ImportKey));
    params.push_back(PgText(result.Collector));
}

PgParam PgBool(bool value) {
    return PgText(value ? "true" : "false");
}

std::string Describe(const RowSelection& rows) {
    if (rows.Id != 0) {
        return "row " + std::to_string(rows.Id);
    }
    return "address " + rows.Station + (rows.Date.empty() ? "" : " on " + rows.Date);
}

StoredResult RowOf(const PgResult& result, int row) {
    StoredResult stored;
    stored.Id = result.Int(row, 0);
    stored.ReceivedLocal = result.Text(row, 1);
    stored.Station = result.Text(row, 2);
    stored.Group = result.Text(row, 3);
    stored.User = result.Text(row, 4);
    stored.Res = result.Int(row, 5);
    stored.Mark = static_cast<int>(result.Int(row, 6));
    stored.Source = result.Text(row, 7);
    stored.Collector = result.Text(row, 8);
    return stored;
}

// The statement and its parameters for a filter, with rows up to the id upTo when given.
// Names sort bytewise ("C"), as on SQLite.
std::string SelectFor(const ResultFilter& filter, std::optional<std::int64_t> upTo,
                      std::vector<PgParam>& params) {
    std::string sql =
        "SELECT id, received_local, station, grp, user_name, res, mark, source, collector "
        "FROM results WHERE hidden = $1 AND id > $2";
    params = {PgBool(filter.Hidden), PgInt(filter.AfterId)};
    const auto add = [&](const char* condition, const std::string& value) {
        params.push_back(PgText(value));
        sql += std::string(" AND ") + condition + " = $" + std::to_string(params.size());
    };
    if (!filter.Date.empty()) {
        add("local_date", filter.Date);
    }
    if (!filter.Group.empty()) {
        add("grp", filter.Group);
    }
    if (!filter.Collector.empty()) {
        add("collector", filter.Collector);
    }
    if (upTo) {
        params.push_back(PgInt(*upTo));
        sql += " AND id <= $" + std::to_string(params.size());
    }
    sql += filter.InIdOrder ? " ORDER BY id"
           : filter.ByGroup ? " ORDER BY grp COLLATE \"C\", local_date, received_ms, id"
                            : " ORDER BY local_date, received_ms, id";
    params.push_back(filter.Limit < 0 ? PgNull() : PgInt(filter.Limit));
    return sql + " LIMIT $" + std::to_string(params.size());
}

std::vector<std::string> Column(const PgResult& result) {
    std::vector<std::string> values;
    for (int row = 0; row < result.Rows(); ++row) {
        values.push_back(result.Text(row, 0));
    }
    return values;
}

class PostgresResultStore : public ResultStore {
public:
    PostgresResultStore(const std::string& uri, bool writer, const std::string& name)
        : db_({uri, name, writer ? kWriterTimeoutMs : kReaderTimeoutMs}) {}

    bool Open(bool writer, std::string& error) {
        if (!db_.Connect()) {
            error = db_.Error();
            return false;
        }
        return !writer || MigratePostgres(db_, error);
    }

    bool Append(const std::vector<NewResult>& results) override {
        return InResultTransaction([&] { return InsertRows(results); });
    }

    bool InTransaction(const std::function<bool()>& work) override {
        return InResultTransaction(work);
    }

    bool Insert(const NewResult& result) override { return InsertRows({result}); }

    bool ForEach(const ResultFilter& filter,
                 const std::function<bool(const StoredResult&)>& row) override {
        // Paging by id, rows past the horizon may still be joined by smaller ids: read up to
        // it only.
        std::vector<PgParam> params;
        const std::string sql = SelectFor(
            filter,
            filter.InIdOrder ? std::optional<std::int64_t>(Horizon(filter.AfterId)) : std::nullopt,
            params);
        if (!db_.StartRows(sql.c_str(), params)) {
            return false;
        }
        bool finished = false;
        bool ok = true;
        bool wanted = true;
        while (!finished) {
            const PgResult next = db_.NextRow(finished, ok);
            if (wanted && next.Rows() == 1) {
                wanted = row(RowOf(next, 0));
                if (!wanted) {
                    // An export whose client went away: the server stops instead of sending
                    // every remaining row for nothing.
                    db_.CancelRows();
                }
            }
        }
        return ok || !wanted;
    }

    std::vector<std::string> Groups(const std::string& date) override {
        return Column(date.empty()
                          ? db_.Exec("SELECT DISTINCT grp COLLATE \"C\" AS g FROM results "
                                     "WHERE hidden = false ORDER BY g")
                          : db_.Exec("SELECT DISTINCT grp COLLATE \"C\" AS g FROM results "
                                     "WHERE local_date = $1 AND hidden = false ORDER BY g",
                                     {PgText(date)}));
    }

    std::vector<std::string> GroupsAfter(const std::string& date, std::int64_t afterId) override {
        return Column(
            db_.Exec("SELECT DISTINCT grp COLLATE \"C\" AS g FROM results WHERE id > $2 AND "
                     "hidden = false AND ($1 = '' OR local_date = $1) ORDER BY g",
                     {PgText(date), PgInt(afterId)}));
    }

    std::vector<std::string> Collectors() override {
        return Column(db_.Exec("SELECT name COLLATE \"C\" AS n FROM collectors ORDER BY n"));
    }

    std::vector<std::string> StationsKnownBefore(const std::string& date) override {
        return Column(db_.Exec(
            "SELECT address COLLATE \"C\" AS a FROM stations WHERE first_date < $1 ORDER BY a",
            {PgText(date)}));
    }

    std::optional<std::int64_t> SetHidden(const RowSelection& rows, bool hidden,
                                          const std::string& who, std::int64_t nowMs) override {
        PgTransaction transaction(db_);
        if (!transaction.Begun()) {
            return std::nullopt;
        }
        const PgResult update =
            rows.Id != 0
                ? db_.Exec("UPDATE results SET hidden = $1 WHERE id = $2 AND hidden <> $1",
                           {PgBool(hidden), PgInt(rows.Id)})
                : db_.Exec(
                      "UPDATE results SET hidden = $1 WHERE station = $2 AND "
                      "hidden <> $1 AND ($3 = '' OR local_date = $3)",
                      {PgBool(hidden), PgText(rows.Station), PgText(rows.Date)});
        if (!update.Ok()) {
            return std::nullopt;
        }
        const std::int64_t changed = update.Affected();
        const ReceivedTime stamp = StampOf(nowMs);
        if (!db_.Run(
                "INSERT INTO visibility_log(at_utc, at_local, who, action, target, rows) "
                "VALUES($1, $2, $3, $4, $5, $6)",
                {PgText(stamp.Utc), PgText(stamp.Local), PgText(who),
                 PgText(hidden ? "hide" : "restore"), PgText(Describe(rows)), PgInt(changed)}) ||
            !transaction.Commit()) {
            return std::nullopt;
        }
        return changed;
    }

    std::vector<VisibilityRecord> VisibilityLog(int limit) override {
        const PgResult select = db_.Exec(
            "SELECT id, at_local, who, action, target, rows FROM visibility_log "
            "ORDER BY id DESC LIMIT $1",
            {PgInt(limit)});
        std::vector<VisibilityRecord> records;
        for (int row = 0; row < select.Rows(); ++row) {
            records.push_back({select.Int(row, 0), select.Text(row, 1), select.Text(row, 2),
                               select.Text(row, 3), select.Text(row, 4), select.Int(row, 5)});
        }
        return records;
    }

    std::int64_t VisibilityVersion() override {
        return db_.Exec("SELECT COALESCE(MAX(id), 0) FROM visibility_log").Int(0, 0);
    }

    bool HasImportKey(const std::string& key) override {
        return db_.Exec("SELECT 1 FROM results WHERE import_key = $1", {PgText(key)}).Rows() > 0;
    }

    bool ClaimReceived(const NewResult& record, std::int64_t fromMs, std::int64_t toMs) override {
        const PgResult claim = db_.Exec(
            "UPDATE results SET import_key = $1, test = $2 WHERE id = ("
            "SELECT id FROM results WHERE import_key IS NULL AND grp = $3 AND user_name = $4 "
            "AND res = $5 AND mark = $6 AND received_ms BETWEEN $7 AND $8 "
            "ORDER BY received_ms LIMIT 1 FOR UPDATE SKIP LOCKED)",
            {PgText(record.ImportKey), PgText(record.Test), PgText(record.Group),
             PgText(record.User), PgInt(record.Res), PgInt(record.Mark), PgInt(fromMs),
             PgInt(toMs)});
        return claim.Ok() && claim.Affected() > 0;
    }

    bool Reachable() const override { return db_.Reachable(); }
    bool Reconnect() override { return db_.Reachable() || db_.Connect(); }
    std::string Error() const override { return db_.Error(); }

private:
    // Work on results in one transaction. When the connection is lost while the COMMIT is
    // under way, a new connection asks the server how the transaction ended: results that
    // were stored are then answered as stored, not refused, so that a station does not send
    // them again to the next server and they do not count twice.
    bool InResultTransaction(const std::function<bool()>& work) {
        std::string transactionId;
        {
            PgTransaction transaction(db_);
            if (!transaction.Begun()) {
                return false;
            }
            const PgResult locked = db_.Exec(kResultWriterLock);
            if (!locked.Ok() || locked.Rows() != 1 || !work()) {
                return false;
            }
            transactionId = locked.Text(0, 1);
            if (transaction.Commit()) {
                return true;
            }
        }
        return CommittedAfterAll(transactionId);
    }

    bool CommittedAfterAll(const std::string& transactionId) {
        constexpr int kLooks = 5;
        constexpr auto kPause = std::chrono::milliseconds(100);
        if (!db_.Reachable() && !db_.Connect()) {
            return false;
        }
        for (int look = 0; look < kLooks; ++look) {
            const PgResult status =
                db_.Exec("SELECT pg_xact_status($1::xid8)", {PgText(transactionId)});
            if (!status.Ok() || status.Rows() != 1) {
                return false;
            }
            // The server may still be finishing the COMMIT it read before the connection
            // went.
            if (status.Text(0, 0) != "in progress") {
                return status.Text(0, 0) == "committed";
            }
            std::this_thread::sleep_for(kPause);
        }
        return false;
    }

    // The highest id below which every result transaction has ended; after, when the open
    // ones do not end within the wait.
    std::int64_t Horizon(std::int64_t after) {
        PgTransaction transaction(db_);
        if (!transaction.Begun() || !db_.Run(kResultHorizonWait) || !db_.Run(kResultHorizonLock)) {
            return after;
        }
        const PgResult last = db_.Exec("SELECT last_value FROM results_id_seq");
        const std::int64_t horizon = last.Ok() && last.Rows() == 1 ? last.Int(0, 0) : after;
        return transaction.Commit() ? horizon : after;
    }

    // The rows with their stations and collectors, inside the caller's transaction; a few
    // statements for a whole batch, each far below the server's limit of parameters.
    bool InsertRows(const std::vector<NewResult>& results) {
        constexpr std::size_t kRowsPerStatement = 1000;
        for (std::size_t first = 0; first < results.size(); first += kRowsPerStatement) {
            const std::size_t count = std::min(kRowsPerStatement, results.size() - first);
            if (!InsertChunk(results.data() + first, count)) {
                return false;
            }
        }
        return true;
    }

    bool InsertChunk(const NewResult* results, std::size_t count) {
        std::vector<PgParam> params;
        params.reserve(count * kColumnsPerResult);
        // Each station once with the day it was first seen, and each collector once, in
        // sorted order: collectors that store side by side then take the rows' locks in the
        // same order and never wait on each other in a circle.
        std::map<std::string, std::string> stations;
        std::set<std::string> collectors;
        for (std::size_t i = 0; i < count; ++i) {
            const NewResult& result = results[i];
            AddResult(params, result);
            stations.emplace(result.Station, StampOf(result.ReceivedMs).LocalDate);
            if (!result.Collector.empty()) {
                collectors.insert(result.Collector);
            }
        }
        const std::string insert = std::string("INSERT INTO results(") + kResultColumns +
                                   ") VALUES " + Placeholders(count, kColumnsPerResult);
        return db_.Run(insert.c_str(), params) && RememberStations(stations) &&
               RememberCollectors(collectors);
    }

    bool RememberStations(const std::map<std::string, std::string>& stations) {
        std::vector<PgParam> params;
        for (const auto& [address, firstDate] : stations) {
            params.push_back(PgText(address));
            params.push_back(PgText(firstDate));
        }
        const std::string sql = "INSERT INTO stations(address, first_date) VALUES " +
                                Placeholders(stations.size(), 2) +
                                " ON CONFLICT (address) DO NOTHING";
        return stations.empty() || db_.Run(sql.c_str(), params);
    }

    bool RememberCollectors(const std::set<std::string>& names) {
        std::vector<PgParam> params;
        for (const std::string& name : names) {
            params.push_back(PgText(name));
        }
        const std::string sql = "INSERT INTO collectors(name) VALUES " +
                                Placeholders(names.size(), 1) + " ON CONFLICT (name) DO NOTHING";
        return names.empty() || db_.Run(sql.c_str(), params);
    }

    PgConnection db_;
};

}  // namespace

std::unique_ptr<ResultStore> OpenPostgresResultStore(const std::string& uri, bool writer,
                                                     const std::string& applicationName,
                                                     std::string& error) {
    auto store = std::make_unique<PostgresResultStore>(uri, writer, applicationName);
    if (!store->Open(writer, error)) {
        return nullptr;
    }
    return store;
}
