// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/LibrarySqlite.h"

#include "collector/Sqlite.h"

namespace {

// The library's tables; created beside the results when missing, in one transaction.
constexpr const char* kLibrarySchema = R"(
CREATE TABLE IF NOT EXISTS library_tests(
    name TEXT PRIMARY KEY,
    body BLOB NOT NULL,
    title TEXT NOT NULL,
    chooser_text TEXT NOT NULL,
    problems INTEGER NOT NULL,
    errors INTEGER NOT NULL,
    warnings INTEGER NOT NULL,
    diagnostics TEXT NOT NULL,
    published INTEGER NOT NULL,
    changed_ms INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS library_pictures(
    test TEXT NOT NULL REFERENCES library_tests(name) ON DELETE CASCADE,
    name TEXT NOT NULL,
    body BLOB NOT NULL,
    changed_ms INTEGER NOT NULL,
    PRIMARY KEY(test, name)
);
CREATE TABLE IF NOT EXISTS library_stations(
    host TEXT PRIMARY KEY,
    address TEXT NOT NULL,
    last_ms INTEGER NOT NULL,
    set_version TEXT NOT NULL,
    records_sent INTEGER NOT NULL,
    failed INTEGER NOT NULL,
    message TEXT NOT NULL
);
)";

constexpr const char* kTestColumns =
    "name, title, chooser_text, problems, errors, warnings, diagnostics, published, changed_ms";

LibraryTest TestFromRow(const SqliteStatement& row, bool withBody) {
    LibraryTest test;
    test.Name = row.Text(0);
    test.Title = row.Text(1);
    test.ChooserText = row.Text(2);
    test.Problems = row.Int(3);
    test.Errors = row.Int(4);
    test.Warnings = row.Int(5);
    test.Diagnostics = row.Text(6);
    test.Published = row.Int(7) != 0;
    test.ChangedMs = row.Int(8);
    if (withBody) {
        test.Body = row.Text(9);
    }
    return test;
}

class SqliteLibrary : public LibraryStore {
public:
    explicit SqliteLibrary(const std::filesystem::path& file) : db_(file, true) {}

    bool Prepare(std::string& error) {
        if (!db_.Ok() || !db_.Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                                      "PRAGMA foreign_keys=ON;")) {
            error = db_.Error();
            return false;
        }
        SqliteTransaction transaction(db_);
        if (!transaction.Begun() || !db_.Execute(kLibrarySchema) || !transaction.Commit()) {
            error = db_.Error();
            return false;
        }
        return true;
    }

    std::vector<LibraryTest> Tests(bool withBodies) override {
        const std::string sql = std::string("SELECT ") + kTestColumns +
                                (withBodies ? ", body" : "") + " FROM library_tests ORDER BY name";
        SqliteStatement select = db_.Prepare(sql.c_str());
        std::vector<LibraryTest> tests;
        while (select.Step()) {
            tests.push_back(TestFromRow(select, withBodies));
        }
        return tests;
    }

    std::optional<LibraryTest> Test(const std::string& name) override {
        const std::string sql =
            std::string("SELECT ") + kTestColumns + ", body FROM library_tests WHERE name = ?1";
        SqliteStatement select = db_.Prepare(sql.c_str());
        select.Bind(1, name);
        if (!select.Step()) {
            return std::nullopt;
        }
        return TestFromRow(select, true);
    }

    bool PutTest(const LibraryTest& test) override {
        SqliteStatement put = db_.Prepare(
            "INSERT INTO library_tests(name, body, title, chooser_text, problems, errors, "
            "warnings, diagnostics, published, changed_ms) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, "
            "?8, ?9, ?10) ON CONFLICT(name) DO UPDATE SET body = ?2, title = ?3, "
            "chooser_text = ?4, problems = ?5, errors = ?6, warnings = ?7, diagnostics = ?8, "
            "published = ?9, changed_ms = ?10");
        put.Bind(1, test.Name);
        put.BindBlob(2, test.Body);
        put.Bind(3, test.Title);
        put.Bind(4, test.ChooserText);
        put.Bind(5, test.Problems);
        put.Bind(6, test.Errors);
        put.Bind(7, test.Warnings);
        put.Bind(8, test.Diagnostics);
        put.Bind(9, static_cast<std::int64_t>(test.Published ? 1 : 0));
        put.Bind(10, test.ChangedMs);
        return put.Run();
    }

    StoreOutcome UpdateTest(const std::string& name, std::optional<bool> published,
                            const std::optional<std::string>& chooserText,
                            std::int64_t changedMs) override {
        SqliteStatement update = db_.Prepare(
            "UPDATE library_tests SET published = coalesce(?2, published), "
            "chooser_text = coalesce(?3, chooser_text), changed_ms = ?4 WHERE name = ?1");
        update.Bind(1, name);
        if (published) {
            update.Bind(2, static_cast<std::int64_t>(*published ? 1 : 0));
        } else {
            update.BindNull(2);
        }
        if (chooserText) {
            update.Bind(3, *chooserText);
        } else {
            update.BindNull(3);
        }
        update.Bind(4, changedMs);
        return Outcome(update.Run());
    }

    StoreOutcome DeleteTest(const std::string& name) override {
        SqliteStatement remove = db_.Prepare("DELETE FROM library_tests WHERE name = ?1");
        remove.Bind(1, name);
        return Outcome(remove.Run());
    }

    std::vector<LibraryPicture> Pictures(const std::string& test, bool withBodies) override {
        SqliteStatement select = db_.Prepare(
            withBodies ? "SELECT test, name, length(body), changed_ms, body FROM library_pictures "
                         "WHERE ?1 = '' OR test = ?1 ORDER BY test, name"
                       : "SELECT test, name, length(body), changed_ms FROM library_pictures "
                         "WHERE ?1 = '' OR test = ?1 ORDER BY test, name");
        select.Bind(1, test);
        std::vector<LibraryPicture> pictures;
        while (select.Step()) {
            LibraryPicture picture;
            picture.Test = select.Text(0);
            picture.Name = select.Text(1);
            picture.Size = select.Int(2);
            picture.ChangedMs = select.Int(3);
            if (withBodies) {
                picture.Body = select.Text(4);
            }
            pictures.push_back(std::move(picture));
        }
        return pictures;
    }

    StoreOutcome PutPicture(const LibraryPicture& picture) override {
        SqliteTransaction transaction(db_);
        if (!transaction.Begun()) {
            return StoreOutcome::Failed;
        }
        const StoreOutcome touched = Touch(picture.Test, picture.ChangedMs);
        if (touched != StoreOutcome::Done) {
            return touched;
        }
        SqliteStatement put = db_.Prepare(
            "INSERT INTO library_pictures(test, name, body, changed_ms) VALUES(?1, ?2, ?3, ?4) "
            "ON CONFLICT(test, name) DO UPDATE SET body = ?3, changed_ms = ?4");
        put.Bind(1, picture.Test);
        put.Bind(2, picture.Name);
        put.BindBlob(3, picture.Body);
        put.Bind(4, picture.ChangedMs);
        return put.Run() && transaction.Commit() ? StoreOutcome::Done : StoreOutcome::Failed;
    }

    StoreOutcome DeletePicture(const std::string& test, const std::string& name,
                               std::int64_t changedMs) override {
        SqliteTransaction transaction(db_);
        SqliteStatement remove =
            db_.Prepare("DELETE FROM library_pictures WHERE test = ?1 AND name = ?2");
        remove.Bind(1, test);
        remove.Bind(2, name);
        if (!transaction.Begun() || !remove.Run()) {
            return StoreOutcome::Failed;
        }
        if (db_.Changes() == 0) {
            return StoreOutcome::Missing;
        }
        const StoreOutcome touched = Touch(test, changedMs);
        return touched == StoreOutcome::Done && !transaction.Commit() ? StoreOutcome::Failed
                                                                      : touched;
    }

    bool NoteStation(const StationRecord& run, std::int64_t addRecords) override {
        SqliteStatement note = db_.Prepare(
            "INSERT INTO library_stations(host, address, last_ms, set_version, records_sent, "
            "failed, message) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT(host) DO UPDATE "
            "SET address = ?2, last_ms = ?3, set_version = coalesce(nullif(?4, ''), "
            "set_version), records_sent = records_sent + ?5, failed = ?6, message = ?7");
        note.Bind(1, run.Host);
        note.Bind(2, run.Address);
        note.Bind(3, run.LastMs);
        note.Bind(4, run.SetVersion);
        note.Bind(5, addRecords);
        note.Bind(6, static_cast<std::int64_t>(run.Failed ? 1 : 0));
        note.Bind(7, run.Message);
        return note.Run();
    }

    std::vector<StationRecord> Stations() override {
        SqliteStatement select = db_.Prepare(
            "SELECT host, address, last_ms, set_version, records_sent, failed, "
            "message FROM library_stations ORDER BY host");
        std::vector<StationRecord> stations;
        while (select.Step()) {
            StationRecord station;
            station.Host = select.Text(0);
            station.Address = select.Text(1);
            station.LastMs = select.Int(2);
            station.SetVersion = select.Text(3);
            station.RecordsSent = select.Int(4);
            station.Failed = select.Int(5) != 0;
            station.Message = select.Text(6);
            stations.push_back(std::move(station));
        }
        return stations;
    }

    std::string Error() const override { return db_.Error(); }

private:
    StoreOutcome Outcome(bool ran) {
        if (!ran) {
            return StoreOutcome::Failed;
        }
        return db_.Changes() > 0 ? StoreOutcome::Done : StoreOutcome::Missing;
    }

    // Marks a test changed; Missing when there is none.
    StoreOutcome Touch(const std::string& test, std::int64_t changedMs) {
        SqliteStatement touch =
            db_.Prepare("UPDATE library_tests SET changed_ms = ?2 WHERE name = ?1");
        touch.Bind(1, test);
        touch.Bind(2, changedMs);
        return Outcome(touch.Run());
    }

    SqliteDatabase db_;
};

}  // namespace

std::unique_ptr<LibraryStore> OpenSqliteLibrary(const std::filesystem::path& file,
                                                std::string& error) {
    auto library = std::make_unique<SqliteLibrary>(file);
    if (!library->Prepare(error)) {
        return nullptr;
    }
    return library;
}
