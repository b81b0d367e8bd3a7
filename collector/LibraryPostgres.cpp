// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/LibraryPostgres.h"

#include "collector/Postgres.h"
#include "collector/PostgresSchema.h"

namespace {

constexpr int kLibraryTimeoutMs = 30000;

constexpr const char* kTestColumns =
    "name, title, chooser_text, problems, errors, warnings, diagnostics, published, changed_ms";

LibraryTest TestFromRow(const PgResult& result, int row, bool withBody) {
    LibraryTest test;
    test.Name = result.Text(row, 0);
    test.Title = result.Text(row, 1);
    test.ChooserText = result.Text(row, 2);
    test.Problems = result.Int(row, 3);
    test.Errors = result.Int(row, 4);
    test.Warnings = result.Int(row, 5);
    test.Diagnostics = result.Text(row, 6);
    test.Published = result.Text(row, 7) == "t";
    test.ChangedMs = result.Int(row, 8);
    if (withBody) {
        test.Body = result.Bytes(row, 9);
    }
    return test;
}

PgParam PgBool(bool value) {
    return PgText(value ? "true" : "false");
}

class PostgresLibrary : public LibraryStore {
public:
    PostgresLibrary(const std::string& uri, const std::string& name)
        : db_({uri, name, kLibraryTimeoutMs}) {}

    bool Open(std::string& error) {
        if (!db_.Connect() || !MigratePostgres(db_, error)) {
            error = error.empty() ? db_.Error() : error;
            return false;
        }
        return true;
    }

    std::vector<LibraryTest> Tests(bool withBodies) override {
        const std::string sql = std::string("SELECT ") + kTestColumns +
                                (withBodies ? ", body" : "") +
                                " FROM library_tests ORDER BY name COLLATE \"C\"";
        const PgResult select = db_.Exec(sql.c_str());
        std::vector<LibraryTest> tests;
        for (int row = 0; row < select.Rows(); ++row) {
            tests.push_back(TestFromRow(select, row, withBodies));
        }
        return tests;
    }

    std::optional<LibraryTest> Test(const std::string& name) override {
        const std::string sql =
            std::string("SELECT ") + kTestColumns + ", body FROM library_tests WHERE name = $1";
        const PgResult select = db_.Exec(sql.c_str(), {PgText(name)});
        if (select.Rows() == 0) {
            return std::nullopt;
        }
        return TestFromRow(select, 0, true);
    }

    bool PutTest(const LibraryTest& test) override {
        return db_.Run(
            "INSERT INTO library_tests(name, body, title, chooser_text, problems, errors, "
            "warnings, diagnostics, published, changed_ms) VALUES($1, $2, $3, $4, $5, $6, $7, "
            "$8, $9, $10) ON CONFLICT(name) DO UPDATE SET body = $2, title = $3, "
            "chooser_text = $4, problems = $5, errors = $6, warnings = $7, diagnostics = $8, "
            "published = $9, changed_ms = $10",
            {PgText(test.Name), PgBytes(test.Body), PgText(test.Title), PgText(test.ChooserText),
             PgInt(test.Problems), PgInt(test.Errors), PgInt(test.Warnings),
             PgText(test.Diagnostics), PgBool(test.Published), PgInt(test.ChangedMs)});
    }

    StoreOutcome UpdateTest(const std::string& name, std::optional<bool> published,
                            const std::optional<std::string>& chooserText,
                            std::int64_t changedMs) override {
        return Outcome(db_.Exec(
            "UPDATE library_tests SET published = coalesce($2::boolean, published), "
            "chooser_text = coalesce($3::text, chooser_text), changed_ms = $4 WHERE name = $1",
            {PgText(name), published ? PgBool(*published) : PgNull(),
             chooserText ? PgText(*chooserText) : PgNull(), PgInt(changedMs)}));
    }

    StoreOutcome DeleteTest(const std::string& name) override {
        return Outcome(db_.Exec("DELETE FROM library_tests WHERE name = $1", {PgText(name)}));
    }

    std::vector<LibraryPicture> Pictures(const std::string& test, bool withBodies) override {
        const PgResult select = db_.Exec(
            withBodies ? "SELECT test, name, length(body), changed_ms, body FROM library_pictures "
                         "WHERE $1 = '' OR test = $1 ORDER BY test COLLATE \"C\", "
                         "name COLLATE \"C\""
                       : "SELECT test, name, length(body), changed_ms FROM library_pictures "
                         "WHERE $1 = '' OR test = $1 ORDER BY test COLLATE \"C\", "
                         "name COLLATE \"C\"",
            {PgText(test)});
        std::vector<LibraryPicture> pictures;
        for (int row = 0; row < select.Rows(); ++row) {
            LibraryPicture picture;
            picture.Test = select.Text(row, 0);
            picture.Name = select.Text(row, 1);
            picture.Size = select.Int(row, 2);
            picture.ChangedMs = select.Int(row, 3);
            if (withBodies) {
                picture.Body = select.Bytes(row, 4);
            }
            pictures.push_back(std::move(picture));
        }
        return pictures;
    }

    StoreOutcome PutPicture(const LibraryPicture& picture) override {
        PgTransaction transaction(db_);
        if (!transaction.Begun()) {
            return StoreOutcome::Failed;
        }
        const StoreOutcome touched = Touch(picture.Test, picture.ChangedMs);
        if (touched != StoreOutcome::Done) {
            return touched;
        }
        const bool put = db_.Run(
            "INSERT INTO library_pictures(test, name, body, changed_ms) VALUES($1, $2, $3, $4) "
            "ON CONFLICT(test, name) DO UPDATE SET body = $3, changed_ms = $4",
            {PgText(picture.Test), PgText(picture.Name), PgBytes(picture.Body),
             PgInt(picture.ChangedMs)});
        return put && transaction.Commit() ? StoreOutcome::Done : StoreOutcome::Failed;
    }

    StoreOutcome DeletePicture(const std::string& test, const std::string& name,
                               std::int64_t changedMs) override {
        PgTransaction transaction(db_);
        if (!transaction.Begun()) {
            return StoreOutcome::Failed;
        }
        const StoreOutcome removed =
            Outcome(db_.Exec("DELETE FROM library_pictures WHERE test = $1 AND name = $2",
                             {PgText(test), PgText(name)}));
        if (removed != StoreOutcome::Done) {
            return removed;
        }
        const StoreOutcome touched = Touch(test, changedMs);
        return touched == StoreOutcome::Done && !transaction.Commit() ? StoreOutcome::Failed
                                                                      : touched;
    }

    bool NoteStation(const StationRecord& run, std::int64_t addRecords) override {
        return db_.Run(
            "INSERT INTO library_stations(host, address, last_ms, set_version, records_sent, "
            "failed, message) VALUES($1, $2, $3, $4, $5, $6, $7) ON CONFLICT(host) DO UPDATE "
            "SET address = $2, last_ms = $3, set_version = coalesce(nullif($4, ''), "
            "library_stations.set_version), records_sent = library_stations.records_sent + $5, "
            "failed = $6, message = $7",
            {PgText(run.Host), PgText(run.Address), PgInt(run.LastMs), PgText(run.SetVersion),
             PgInt(addRecords), PgBool(run.Failed), PgText(run.Message)});
    }

    std::vector<StationRecord> Stations() override {
        const PgResult select = db_.Exec(
            "SELECT host, address, last_ms, set_version, records_sent, failed, message "
            "FROM library_stations ORDER BY host COLLATE \"C\"");
        std::vector<StationRecord> stations;
        for (int row = 0; row < select.Rows(); ++row) {
            StationRecord station;
            station.Host = select.Text(row, 0);
            station.Address = select.Text(row, 1);
            station.LastMs = select.Int(row, 2);
            station.SetVersion = select.Text(row, 3);
            station.RecordsSent = select.Int(row, 4);
            station.Failed = select.Text(row, 5) == "t";
            station.Message = select.Text(row, 6);
            stations.push_back(std::move(station));
        }
        return stations;
    }

    std::int64_t EditorRevision(const std::string& test) override {
        return db_
            .Exec("SELECT coalesce(max(revision), 0) FROM editor_versions WHERE test = $1",
                  {PgText(test)})
            .Int(0, 0);
    }

    EditorSaveOutcome SaveEditedTest(const LibraryTest& test, std::int64_t basedOn,
                                     EditorSaveKind kind, std::int64_t& revision) override {
        const bool create = kind == EditorSaveKind::Create;
        PgTransaction transaction(db_);
        // Two collectors saving the same test one after the other: the second sees the first's
        // revision and is told it is stale.
        if (!transaction.Begun() ||
            !db_.Run("SELECT pg_advisory_xact_lock(7401523, hashtext($1))", {PgText(test.Name)})) {
            return EditorSaveOutcome::Failed;
        }
        const PgResult exists =
            db_.Exec("SELECT 1 FROM library_tests WHERE name = $1", {PgText(test.Name)});
        if (!exists.Ok()) {
            return EditorSaveOutcome::Failed;
        }
        const bool existed = exists.Rows() > 0;
        if (!existed && !create) {
            return EditorSaveOutcome::Missing;
        }
        const PgResult current =
            db_.Exec("SELECT coalesce(max(revision), 0) FROM editor_versions WHERE test = $1",
                     {PgText(test.Name)});
        if (!current.Ok()) {
            return EditorSaveOutcome::Failed;
        }
        if ((create && existed) || current.Int(0, 0) != basedOn) {
            revision = current.Int(0, 0);
            return EditorSaveOutcome::Stale;
        }
        revision = current.Int(0, 0) + 1;
        const bool saved =
            PutTest(test) && FoldIntoNewest(test, kind) &&
            db_.Run(
                "INSERT INTO editor_versions(test, revision, saved_ms, title, chooser_text, "
                "problems, body) VALUES($1, $2, $3, $4, $5, $6, $7)",
                {PgText(test.Name), PgInt(revision), PgInt(test.ChangedMs), PgText(test.Title),
                 PgText(test.ChooserText), PgInt(test.Problems), PgBytes(test.Body)}) &&
            db_.Run(
                "DELETE FROM editor_versions WHERE test = $1 AND revision NOT IN (SELECT "
                "revision FROM editor_versions WHERE test = $1 ORDER BY revision DESC "
                "LIMIT $2)",
                {PgText(test.Name), PgInt(kEditorVersionsKept)});
        return saved && transaction.Commit() ? EditorSaveOutcome::Saved
                                             : EditorSaveOutcome::Failed;
    }

    std::vector<EditorVersion> EditorVersions(const std::string& test) override {
        const PgResult select = db_.Exec(
            "SELECT revision, saved_ms, problems, title, chooser_text FROM editor_versions "
            "WHERE test = $1 ORDER BY revision DESC",
            {PgText(test)});
        std::vector<EditorVersion> versions;
        for (int row = 0; row < select.Rows(); ++row) {
            versions.push_back({select.Int(row, 0),
                                select.Int(row, 1),
                                select.Int(row, 2),
                                select.Text(row, 3),
                                select.Text(row, 4),
                                {}});
        }
        return versions;
    }

    std::optional<EditorVersion> EditorVersionOf(const std::string& test,
                                                 std::int64_t revision) override {
        const PgResult select = db_.Exec(
            "SELECT revision, saved_ms, problems, title, chooser_text, body FROM "
            "editor_versions WHERE test = $1 AND revision = $2",
            {PgText(test), PgInt(revision)});
        if (select.Rows() == 0) {
            return std::nullopt;
        }
        return EditorVersion{select.Int(0, 0),  select.Int(0, 1),  select.Int(0, 2),
                             select.Text(0, 3), select.Text(0, 4), select.Bytes(0, 5)};
    }

    StoreOutcome RenameTest(const std::string& from, const std::string& to,
                            std::int64_t changedMs) override {
        PgTransaction transaction(db_);
        if (!transaction.Begun()) {
            return StoreOutcome::Failed;
        }
        const StoreOutcome copied = Outcome(db_.Exec(
            "INSERT INTO library_tests(name, body, title, chooser_text, problems, errors, "
            "warnings, diagnostics, published, changed_ms) SELECT $2, body, title, "
            "chooser_text, problems, errors, warnings, diagnostics, published, $3 FROM "
            "library_tests WHERE name = $1",
            {PgText(from), PgText(to), PgInt(changedMs)}));
        if (copied != StoreOutcome::Done) {
            return copied;  // Failed: the new name is taken
        }
        const bool moved = db_.Run("UPDATE library_pictures SET test = $2 WHERE test = $1",
                                   {PgText(from), PgText(to)}) &&
                           db_.Run("UPDATE editor_versions SET test = $2 WHERE test = $1",
                                   {PgText(from), PgText(to)}) &&
                           db_.Run("DELETE FROM library_tests WHERE name = $1", {PgText(from)});
        return moved && transaction.Commit() ? StoreOutcome::Done : StoreOutcome::Failed;
    }

    std::optional<std::int64_t> ChangeCount() override {
        const PgResult select = db_.Exec("SELECT changes FROM library_state WHERE id = 1");
        if (select.Rows() == 0) {
            return std::nullopt;
        }
        return select.Int(0, 0);
    }

    std::string Error() const override { return db_.Error(); }

private:
    // Drops the newest version when the save folds into it (it then takes its place).
    bool FoldIntoNewest(const LibraryTest& test, EditorSaveKind kind) {
        const PgResult newest = db_.Exec(
            "SELECT revision, saved_ms FROM editor_versions WHERE test = $1 "
            "ORDER BY revision DESC LIMIT 2",
            {PgText(test.Name)});
        if (!newest.Ok()) {
            return false;
        }
        const std::optional<std::int64_t> previous =
            newest.Rows() == 2 ? std::optional<std::int64_t>(newest.Int(1, 1)) : std::nullopt;
        if (newest.Rows() == 0 || !FoldsIntoNewestVersion(kind, previous, test.ChangedMs)) {
            return true;
        }
        return db_.Run("DELETE FROM editor_versions WHERE test = $1 AND revision = $2",
                       {PgText(test.Name), PgInt(newest.Int(0, 0))});
    }

    static StoreOutcome Outcome(const PgResult& result) {
        if (!result.Ok()) {
            return StoreOutcome::Failed;
        }
        return result.Affected() > 0 ? StoreOutcome::Done : StoreOutcome::Missing;
    }

    // Marks a test changed; Missing when there is none.
    StoreOutcome Touch(const std::string& test, std::int64_t changedMs) {
        return Outcome(db_.Exec("UPDATE library_tests SET changed_ms = $2 WHERE name = $1",
                                {PgText(test), PgInt(changedMs)}));
    }

    PgConnection db_;
};

}  // namespace

std::unique_ptr<LibraryStore> OpenPostgresLibrary(const std::string& uri,
                                                  const std::string& applicationName,
                                                  std::string& error) {
    auto library = std::make_unique<PostgresLibrary>(uri, applicationName);
    if (!library->Open(error)) {
        return nullptr;
    }
    return library;
}
