// SPDX-License-Identifier: GPL-3.0-or-later
// The rows as the page and the exports read them, and the teacher's hiding and restoring.
#include "collector/ReceivedTime.h"
#include "collector/SqliteResultStore.h"

namespace {

// The statement for a filter. Each shape names the index that reads only its rows: the poll
// pages by id within a day (and class), the exports walk a day's rows in time order.
std::string SelectFor(const ResultFilter& filter) {
    std::string sql =
        "SELECT id, received_local, station, grp, user, res, mark, source, collector "
        "FROM results";
    if (filter.InIdOrder && !filter.Date.empty()) {
        sql += filter.Group.empty() ? " INDEXED BY results_by_day" : " INDEXED BY results_by_date";
    }
    sql += " WHERE hidden = ?1 AND id > ?2";
    if (!filter.Date.empty()) {
        sql += " AND local_date = ?3";
    }
    if (!filter.Group.empty()) {
        sql += " AND grp = ?4";
    }
    if (!filter.Collector.empty()) {
        sql += " AND collector = ?6";
    }
    sql += filter.InIdOrder ? " ORDER BY id"
           : filter.ByGroup ? " ORDER BY grp, local_date, received_ms, id"
                            : " ORDER BY local_date, received_ms, id";
    return sql + " LIMIT ?5";
}

StoredResult RowOf(const SqliteStatement& select) {
    StoredResult row;
    row.Id = select.Int(0);
    row.ReceivedLocal = select.Text(1);
    row.Station = select.Text(2);
    row.Group = select.Text(3);
    row.User = select.Text(4);
    row.Res = select.Int(5);
    row.Mark = static_cast<int>(select.Int(6));
    row.Source = select.Text(7);
    row.Collector = select.Text(8);
    return row;
}

std::string Describe(const RowSelection& rows) {
    if (rows.Id != 0) {
        return "row " + std::to_string(rows.Id);
    }
    return "address " + rows.Station + (rows.Date.empty() ? "" : " on " + rows.Date);
}

}  // namespace

bool SqliteResultStore::ForEach(const ResultFilter& filter,
                                const std::function<bool(const StoredResult&)>& row) {
    const std::string sql = SelectFor(filter);
    SqliteStatement select = db_.Prepare(sql.c_str());
    select.Bind(1, std::int64_t{filter.Hidden ? 1 : 0});
    select.Bind(2, filter.AfterId);
    if (!filter.Date.empty()) {
        select.Bind(3, filter.Date);
    }
    if (!filter.Group.empty()) {
        select.Bind(4, filter.Group);
    }
    select.Bind(5, filter.Limit);
    if (!filter.Collector.empty()) {
        select.Bind(6, filter.Collector);
    }
    while (select.Step()) {
        if (!row(RowOf(select))) {
            return true;
        }
    }
    return select.Done();
}

std::vector<std::string> SqliteResultStore::Collectors() {
    std::vector<std::string> names;
    SqliteStatement select = db_.Prepare("SELECT name FROM collectors ORDER BY name");
    while (select.Step()) {
        names.push_back(select.Text(0));
    }
    return names;
}

std::vector<std::string> SqliteResultStore::Groups(const std::string& date) {
    std::vector<std::string> groups;
    SqliteStatement select =
        date.empty() ? db_.Prepare(
                           "SELECT DISTINCT grp FROM results WHERE hidden = 0 "
                           "ORDER BY grp")
                     : db_.Prepare(
                           "SELECT DISTINCT grp FROM results INDEXED BY results_by_date "
                           "WHERE local_date = ?1 AND hidden = 0 ORDER BY grp");
    select.Bind(1, date);
    while (select.Step()) {
        groups.push_back(select.Text(0));
    }
    return groups;
}

std::vector<std::string> SqliteResultStore::GroupsAfter(const std::string& date,
                                                        std::int64_t afterId) {
    std::vector<std::string> groups;
    SqliteStatement select =
        date.empty() ? db_.Prepare(
                           "SELECT DISTINCT grp FROM results WHERE id > ?2 AND hidden = 0 "
                           "ORDER BY grp")
                     : db_.Prepare(
                           "SELECT DISTINCT grp FROM results INDEXED BY results_by_day "
                           "WHERE local_date = ?1 AND hidden = 0 AND id > ?2 ORDER BY grp");
    select.Bind(1, date);
    select.Bind(2, afterId);
    while (select.Step()) {
        groups.push_back(select.Text(0));
    }
    return groups;
}

std::vector<std::string> SqliteResultStore::StationsKnownBefore(const std::string& date) {
    std::vector<std::string> stations;
    SqliteStatement select =
        db_.Prepare("SELECT address FROM stations WHERE first_date < ?1 ORDER BY address");
    select.Bind(1, date);
    while (select.Step()) {
        stations.push_back(select.Text(0));
    }
    return stations;
}

std::optional<std::int64_t> SqliteResultStore::SetHidden(const RowSelection& rows, bool hidden,
                                                         const std::string& who,
                                                         std::int64_t nowMs) {
    SqliteTransaction transaction(db_);
    SqliteStatement update =
        rows.Id != 0 ? db_.Prepare("UPDATE results SET hidden = ?1 WHERE id = ?2 AND hidden <> ?1")
                     : db_.Prepare(
                           "UPDATE results SET hidden = ?1 WHERE station = ?3 AND hidden <> ?1 "
                           "AND (?4 = '' OR local_date = ?4)");
    update.Bind(1, std::int64_t{hidden ? 1 : 0});
    update.Bind(2, rows.Id);
    update.Bind(3, rows.Station);
    update.Bind(4, rows.Date);
    if (!transaction.Begun() || !update.Run()) {
        return std::nullopt;
    }
    const std::int64_t changed = db_.Changes();
    const ReceivedTime stamp = StampOf(nowMs);
    SqliteStatement record = db_.Prepare(
        "INSERT INTO visibility_log(at_utc, at_local, who, action, target, rows) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    record.Bind(1, stamp.Utc);
    record.Bind(2, stamp.Local);
    record.Bind(3, who);
    record.Bind(4, std::string_view(hidden ? "hide" : "restore"));
    record.Bind(5, Describe(rows));
    record.Bind(6, changed);
    if (!record.Run() || !transaction.Commit()) {
        return std::nullopt;
    }
    return changed;
}

std::vector<VisibilityRecord> SqliteResultStore::VisibilityLog(int limit) {
    std::vector<VisibilityRecord> records;
    SqliteStatement select = db_.Prepare(
        "SELECT id, at_local, who, action, target, rows FROM visibility_log "
        "ORDER BY id DESC LIMIT ?1");
    select.Bind(1, std::int64_t{limit});
    while (select.Step()) {
        records.push_back({select.Int(0), select.Text(1), select.Text(2), select.Text(3),
                           select.Text(4), select.Int(5)});
    }
    return records;
}

std::int64_t SqliteResultStore::VisibilityVersion() {
    return db_.QueryInt("SELECT COALESCE(MAX(id), 0) FROM visibility_log").value_or(0);
}
