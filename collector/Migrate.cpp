// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/Migrate.h"

#include <system_error>

#include "collector/LibrarySqlite.h"
#include "collector/Postgres.h"
#include "collector/PostgresSchema.h"
#include "collector/ResultStore.h"
#include "collector/Sqlite.h"

namespace {

// Rows per transaction: short enough that the collectors serving beside the move are held up
// only briefly by the lock that keeps the page's paging by id whole.
constexpr int kRowsPerTransaction = 500;

constexpr const char* kReadResults =
    "SELECT id, received_ms, received_utc, received_local, local_date, station, grp, user, res, "
    "mark, raw_query, source, test IS NULL, test, import_key IS NULL, import_key, hidden, "
    "collector FROM results WHERE id > ?1 ORDER BY id LIMIT ?2";

// A row whose origin or import key is present already is skipped: the first because this
// move ran before, the second because the journal record came in through another collector.
constexpr const char* kInsertResult =
    "INSERT INTO results(received_ms, received_utc, received_local, local_date, station, grp, "
    "user_name, res, mark, raw_query, source, test, import_key, hidden, collector, origin) "
    "VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16) "
    "ON CONFLICT DO NOTHING";

constexpr const char* kInsertStation =
    "INSERT INTO stations(address, first_date) VALUES($1, $2) ON CONFLICT(address) DO UPDATE "
    "SET first_date = LEAST(stations.first_date, EXCLUDED.first_date)";

constexpr const char* kReadHides =
    "SELECT id, at_utc, at_local, who, action, target, rows FROM visibility_log ORDER BY id";
constexpr const char* kInsertHide =
    "INSERT INTO visibility_log(at_utc, at_local, who, action, target, rows, origin) "
    "VALUES($1, $2, $3, $4, $5, $6, $7) ON CONFLICT DO NOTHING";

constexpr const char* kInsertTest =
    "INSERT INTO library_tests(name, body, title, chooser_text, problems, errors, warnings, "
    "diagnostics, published, changed_ms) VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) "
    "ON CONFLICT(name) DO NOTHING";
constexpr const char* kSameTest = "SELECT body = $2 FROM library_tests WHERE name = $1";
constexpr const char* kInsertPicture =
    "INSERT INTO library_pictures(test, name, body, changed_ms) VALUES($1, $2, $3, $4) "
    "ON CONFLICT(test, name) DO NOTHING";
// The newer run of a station counts, whichever collector saw it.
constexpr const char* kInsertSyncStation =
    "INSERT INTO library_stations(host, address, last_ms, set_version, records_sent, failed, "
    "message) VALUES($1, $2, $3, $4, $5, $6, $7) ON CONFLICT(host) DO UPDATE SET "
    "address = EXCLUDED.address, last_ms = EXCLUDED.last_ms, set_version = "
    "EXCLUDED.set_version, records_sent = EXCLUDED.records_sent, failed = EXCLUDED.failed, "
    "message = EXCLUDED.message WHERE library_stations.last_ms < EXCLUDED.last_ms";

PgParam PgBool(bool value) {
    return PgText(value ? "true" : "false");
}

std::string Origin(const std::string& name, std::int64_t id) {
    return name + "#" + std::to_string(id);
}

// The file at the current schema (results and library tables), opened for reading.
bool OpenSource(const std::filesystem::path& from, std::unique_ptr<SqliteDatabase>& source,
                std::string& error) {
    std::error_code missing;
    if (!std::filesystem::is_regular_file(from, missing)) {
        error = from.string() + ": no such database file";
        return false;
    }
    if (!OpenResultStore(from.string(), true, error) || !OpenSqliteLibrary(from, error)) {
        error = from.string() + ": " + error;
        return false;
    }
    source = std::make_unique<SqliteDatabase>(from, false, true);
    if (!source->Ok()) {
        error = from.string() + ": " + source->Error();
        return false;
    }
    return true;
}

class Mover {
public:
    Mover(SqliteDatabase& source, PgConnection& target, const std::string& name,
          MigrationSummary& summary)
        : source_(source), target_(target), name_(name), summary_(summary) {}

    bool Results() {
        std::int64_t lastId = 0;
        while (true) {
            SqliteStatement rows = source_.Prepare(kReadResults);
            rows.Bind(1, lastId);
            rows.Bind(2, static_cast<std::int64_t>(kRowsPerTransaction));
            PgTransaction transaction(target_);
            if (!transaction.Begun() || !target_.Run(kResultWriterLock)) {
                return false;
            }
            int count = 0;
            while (rows.Step()) {
                lastId = rows.Int(0);
                ++count;
                if (!Result(rows)) {
                    return false;
                }
            }
            if (!rows.Done()) {
                return SourceFailed();
            }
            if (!transaction.Commit()) {
                return false;
            }
            if (count < kRowsPerTransaction) {
                return true;
            }
        }
    }

    bool Stations() {
        SqliteStatement rows = source_.Prepare("SELECT address, first_date FROM stations");
        PgTransaction transaction(target_);
        while (rows.Step()) {
            if (!target_.Run(kInsertStation, {PgText(rows.Text(0)), PgText(rows.Text(1))})) {
                return false;
            }
        }
        return rows.Done() ? transaction.Commit() : SourceFailed();
    }

    bool Hides() {
        SqliteStatement rows = source_.Prepare(kReadHides);
        PgTransaction transaction(target_);
        while (rows.Step()) {
            const PgResult added = target_.Exec(
                kInsertHide, {PgText(rows.Text(1)), PgText(rows.Text(2)), PgText(rows.Text(3)),
                              PgText(rows.Text(4)), PgText(rows.Text(5)), PgInt(rows.Int(6)),
                              PgText(Origin(name_, rows.Int(0)))});
            if (!added.Ok()) {
                return false;
            }
            ++(added.Affected() > 0 ? summary_.Hides : summary_.HidesPresent);
        }
        return rows.Done() ? transaction.Commit() : SourceFailed();
    }

    // One transaction per test with its pictures: a test is moved whole or not at all.
    bool Library(LibraryStore& library) {
        for (const LibraryTest& test : library.Tests(true)) {
            PgTransaction transaction(target_);
            const PgResult added = target_.Exec(
                kInsertTest, {PgText(test.Name), PgBytes(test.Body), PgText(test.Title),
                              PgText(test.ChooserText), PgInt(test.Problems), PgInt(test.Errors),
                              PgInt(test.Warnings), PgText(test.Diagnostics),
                              PgBool(test.Published), PgInt(test.ChangedMs)});
            const PgResult same = target_.Exec(kSameTest, {PgText(test.Name), PgBytes(test.Body)});
            if (!added.Ok() || !same.Ok() || same.Rows() != 1) {
                return false;
            }
            summary_.Tests += added.Affected();
            if (same.Text(0, 0) != "t") {
                summary_.TestsKept.push_back(test.Name);
                continue;  // another school's test of this name stays as it is
            }
            if (!Pictures(library, test.Name) || !transaction.Commit()) {
                return false;
            }
        }
        return library.Error().empty() || SourceFailed(library.Error());
    }

    bool SyncStations(LibraryStore& library) {
        PgTransaction transaction(target_);
        for (const StationRecord& station : library.Stations()) {
            const PgResult added =
                target_.Exec(kInsertSyncStation,
                             {PgText(station.Host), PgText(station.Address), PgInt(station.LastMs),
                              PgText(station.SetVersion), PgInt(station.RecordsSent),
                              PgBool(station.Failed), PgText(station.Message)});
            if (!added.Ok()) {
                return false;
            }
            summary_.StationRecords += added.Affected();
        }
        return transaction.Commit();
    }

    const std::string& SourceError() const { return sourceError_; }

private:
    bool Result(const SqliteStatement& row) {
        const std::string collector = row.Text(17).empty() ? name_ : row.Text(17);
        const PgResult added = target_.Exec(
            kInsertResult,
            {PgInt(row.Int(1)), PgText(row.Text(2)), PgText(row.Text(3)), PgText(row.Text(4)),
             PgText(row.Text(5)), PgText(row.Text(6)), PgText(row.Text(7)), PgInt(row.Int(8)),
             PgInt(row.Int(9)), PgBytes(row.Text(10)), PgText(row.Text(11)),
             row.Int(12) != 0 ? PgNull() : PgText(row.Text(13)),
             row.Int(14) != 0 ? PgNull() : PgText(row.Text(15)), PgBool(row.Int(16) != 0),
             PgText(collector), PgText(Origin(name_, row.Int(0)))});
        if (!added.Ok()) {
            return false;
        }
        ++(added.Affected() > 0 ? summary_.Results : summary_.ResultsPresent);
        return true;
    }

    bool Pictures(LibraryStore& library, const std::string& test) {
        for (const LibraryPicture& picture : library.Pictures(test, true)) {
            const PgResult added =
                target_.Exec(kInsertPicture, {PgText(picture.Test), PgText(picture.Name),
                                              PgBytes(picture.Body), PgInt(picture.ChangedMs)});
            if (!added.Ok()) {
                return false;
            }
            summary_.Pictures += added.Affected();
        }
        return true;
    }

    bool SourceFailed(const std::string& message = {}) {
        sourceError_ = message.empty() ? source_.Error() : message;
        return false;
    }

    SqliteDatabase& source_;
    PgConnection& target_;
    const std::string& name_;
    MigrationSummary& summary_;
    std::string sourceError_;
};

}  // namespace

bool MigrateSqliteToPostgres(const std::filesystem::path& from, const std::string& uri,
                             const std::string& name, MigrationSummary& summary,
                             std::string& error) {
    std::unique_ptr<SqliteDatabase> source;
    if (!OpenSource(from, source, error)) {
        return false;
    }
    auto library = OpenSqliteLibrary(from, error);
    if (!library) {
        error = from.string() + ": " + error;
        return false;
    }
    PgConnection target(PgSettings{uri, "tezra-collector migrate", 60000});
    if (!target.Connect() || !MigratePostgres(target, error)) {
        error = error.empty() ? target.Error() : error;
        return false;
    }
    Mover mover(*source, target, name, summary);
    if (mover.Results() && mover.Stations() && mover.Hides() && mover.Library(*library) &&
        mover.SyncStations(*library)) {
        return true;
    }
    error =
        mover.SourceError().empty() ? target.Error() : from.string() + ": " + mover.SourceError();
    return false;
}
