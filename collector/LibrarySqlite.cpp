// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/LibrarySqlite.h"

#include <string_view>

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
CREATE TABLE IF NOT EXISTS editor_versions(
    test TEXT NOT NULL REFERENCES library_tests(name) ON DELETE CASCADE,
    revision INTEGER NOT NULL,
    saved_ms INTEGER NOT NULL,
    title TEXT NOT NULL,
    chooser_text TEXT NOT NULL,
    problems INTEGER NOT NULL,
    body BLOB NOT NULL,
    PRIMARY KEY(test, revision)
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

    std::int64_t EditorRevision(const std::string& test) override {
        SqliteStatement select =
            db_.Prepare("SELECT coalesce(max(revision), 0) FROM editor_versions WHERE test = ?1");
        select.Bind(1, test);
        return select.Step() ? select.Int(0) : 0;
    }

    EditorSaveOutcome SaveEditedTest(const LibraryTest& test, std::int64_t basedOn,
                                     EditorSaveKind kind, std::int64_t& revision) override {
        const bool create = kind == EditorSaveKind::Create;
        SqliteTransaction transaction(db_);
        if (!transaction.Begun()) {
            return EditorSaveOutcome::Failed;
        }
        SqliteStatement exists = db_.Prepare("SELECT 1 FROM library_tests WHERE name = ?1");
        exists.Bind(1, test.Name);
        const bool existed = exists.Step();
        if (!existed && !create) {
            return EditorSaveOutcome::Missing;
        }
        const std::int64_t current = EditorRevision(test.Name);
        if ((create && existed) || current != basedOn) {
            revision = current;
            return EditorSaveOutcome::Stale;
        }
        revision = current + 1;
        if (!FoldIntoNewest(test, kind)) {
            return EditorSaveOutcome::Failed;
        }
        SqliteStatement add = db_.Prepare(
            "INSERT INTO editor_versions(test, revision, saved_ms, title, chooser_text, "
            "problems, body) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        add.Bind(1, test.Name);
        add.Bind(2, revision);
        add.Bind(3, test.ChangedMs);
        add.Bind(4, test.Title);
        add.Bind(5, test.ChooserText);
        add.Bind(6, test.Problems);
        add.BindBlob(7, test.Body);
        SqliteStatement trim = db_.Prepare(
            "DELETE FROM editor_versions WHERE test = ?1 AND revision NOT IN (SELECT revision "
            "FROM editor_versions WHERE test = ?1 ORDER BY revision DESC LIMIT ?2)");
        trim.Bind(1, test.Name);
        trim.Bind(2, kEditorVersionsKept);
        return PutTest(test) && add.Run() && trim.Run() && transaction.Commit()
                   ? EditorSaveOutcome::Saved
                   : EditorSaveOutcome::Failed;
    }

    std::vector<EditorVersion> EditorVersions(const std::string& test) override {
        SqliteStatement select = db_.Prepare(
            "SELECT revision, saved_ms, problems, title, chooser_text FROM editor_versions "
            "WHERE test = ?1 ORDER BY revision DESC");
        select.Bind(1, test);
        std::vector<EditorVersion> versions;
        while (select.Step()) {
            versions.push_back(
                {select.Int(0), select.Int(1), select.Int(2), select.Text(3), select.Text(4), {}});
        }
        return versions;
    }

    std::optional<EditorVersion> EditorVersionOf(const std::string& test,
                                                 std::int64_t revision) override {
        SqliteStatement select = db_.Prepare(
            "SELECT revision, saved_ms, problems, title, chooser_text, body FROM "
            "editor_versions WHERE test = ?1 AND revision = ?2");
        select.Bind(1, test);
        select.Bind(2, revision);
        if (!select.Step()) {
            return std::nullopt;
        }
        return EditorVersion{select.Int(0),  select.Int(1),  select.Int(2),
                             select.Text(3), select.Text(4), select.Text(5)};
    }

    StoreOutcome RenameTest(const std::string& from, const std::string& to,
                            std::int64_t changedMs) override {
        SqliteTransaction transaction(db_);
        if (!transaction.Begun()) {
            return StoreOutcome::Failed;
        }
        SqliteStatement copy = db_.Prepare(
            "INSERT INTO library_tests(name, body, title, chooser_text, problems, errors, "
            "warnings, diagnostics, published, changed_ms) SELECT ?2, body, title, "
            "chooser_text, problems, errors, warnings, diagnostics, published, ?3 FROM "
            "library_tests WHERE name = ?1");
        copy.Bind(1, from);
        copy.Bind(2, to);
        copy.Bind(3, changedMs);
        if (!copy.Run()) {
            return StoreOutcome::Failed;  // the new name is taken
        }
        if (db_.Changes() == 0) {
            return StoreOutcome::Missing;
        }
        for (const char* sql : {"UPDATE library_pictures SET test = ?2 WHERE test = ?1",
                                "UPDATE editor_versions SET test = ?2 WHERE test = ?1",
                                "DELETE FROM library_tests WHERE name = ?1"}) {
            SqliteStatement move = db_.Prepare(sql);
            move.Bind(1, from);
            if (std::string_view(sql).find("?2") != std::string_view::npos) {
                move.Bind(2, to);
            }
            if (!move.Run()) {
                return StoreOutcome::Failed;
            }
        }
        return transaction.Commit() ? StoreOutcome::Done : StoreOutcome::Failed;
    }

    std::string Error() const override { return db_.Error(); }

private:
    // Drops the newest version when the save folds into it (it then takes its place).
    bool FoldIntoNewest(const LibraryTest& test, EditorSaveKind kind) {
        std::optional<std::int64_t> newestRevision;
        std::optional<std::int64_t> previous;
        {
            SqliteStatement newest = db_.Prepare(
                "SELECT revision, saved_ms FROM editor_versions WHERE test = ?1 "
                "ORDER BY revision DESC LIMIT 2");
            newest.Bind(1, test.Name);
            if (newest.Step()) {
                newestRevision = newest.Int(0);
                previous = newest.Step() ? std::optional<std::int64_t>(newest.Int(1)) : previous;
            }
        }
        if (!newestRevision || !FoldsIntoNewestVersion(kind, previous, test.ChangedMs)) {
            return true;
        }
        SqliteStatement drop =
            db_.Prepare("DELETE FROM editor_versions WHERE test = ?1 AND revision = ?2");
        drop.Bind(1, test.Name);
        drop.Bind(2, *newestRevision);
        return drop.Run();
    }

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
