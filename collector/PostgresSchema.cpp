// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/PostgresSchema.h"

namespace {

constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7401522, 1)";

// Step 1: everything one collector keeps, shared by all collectors of the database.
constexpr const char* kStep1 = R"(
CREATE TABLE schema_version(version integer NOT NULL);
INSERT INTO schema_version(version) VALUES (0);
CREATE TABLE results(
    id bigserial PRIMARY KEY,
    received_ms bigint NOT NULL,
    received_utc text NOT NULL,
    received_local text NOT NULL,
    local_date text NOT NULL,
    station text NOT NULL,
    grp text NOT NULL,
    user_name text NOT NULL,
    res bigint NOT NULL,
    mark integer NOT NULL,
    raw_query bytea NOT NULL,
    source text NOT NULL,
    test text,
    import_key text UNIQUE,
    hidden boolean NOT NULL DEFAULT false,
    collector text NOT NULL DEFAULT ''
);
CREATE INDEX results_by_date ON results(local_date, grp, hidden, id);
CREATE INDEX results_by_day ON results(local_date, hidden, id);
CREATE INDEX results_by_time ON results(local_date, received_ms);
CREATE INDEX results_by_station ON results(station, local_date);
CREATE INDEX results_unclaimed ON results(grp, user_name, received_ms) WHERE import_key IS NULL;
CREATE TABLE stations(address text PRIMARY KEY, first_date text NOT NULL);
CREATE TABLE collectors(name text PRIMARY KEY);
CREATE TABLE visibility_log(
    id bigserial PRIMARY KEY,
    at_utc text NOT NULL,
    at_local text NOT NULL,
    who text NOT NULL,
    action text NOT NULL,
    target text NOT NULL,
    rows bigint NOT NULL
);
CREATE TABLE library_tests(
    name text PRIMARY KEY,
    body bytea NOT NULL,
    title text NOT NULL,
    chooser_text text NOT NULL,
    problems bigint NOT NULL,
    errors bigint NOT NULL,
    warnings bigint NOT NULL,
    diagnostics text NOT NULL,
    published boolean NOT NULL,
    changed_ms bigint NOT NULL
);
CREATE TABLE library_pictures(
    test text NOT NULL REFERENCES library_tests(name) ON DELETE CASCADE,
    name text NOT NULL,
    body bytea NOT NULL,
    changed_ms bigint NOT NULL,
    PRIMARY KEY(test, name)
);
CREATE TABLE library_stations(
    host text PRIMARY KEY,
    address text NOT NULL,
    last_ms bigint NOT NULL,
    set_version text NOT NULL,
    records_sent bigint NOT NULL,
    failed boolean NOT NULL,
    message text NOT NULL
);
CREATE TABLE editor_versions(
    test text NOT NULL REFERENCES library_tests(name) ON DELETE CASCADE,
    revision bigint NOT NULL,
    saved_ms bigint NOT NULL,
    title text NOT NULL,
    chooser_text text NOT NULL,
    problems bigint NOT NULL,
    body bytea NOT NULL,
    PRIMARY KEY(test, revision)
);
CREATE TABLE library_state(id integer PRIMARY KEY, changes bigint NOT NULL);
INSERT INTO library_state(id, changes) VALUES (1, 0);
CREATE FUNCTION library_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    UPDATE library_state SET changes = changes + 1 WHERE id = 1;
    RETURN NULL;
END
$$;
CREATE TRIGGER library_tests_changed AFTER INSERT OR UPDATE OR DELETE ON library_tests
    FOR EACH STATEMENT EXECUTE FUNCTION library_changed();
CREATE TRIGGER library_pictures_changed AFTER INSERT OR UPDATE OR DELETE ON library_pictures
    FOR EACH STATEMENT EXECUTE FUNCTION library_changed();
UPDATE schema_version SET version = 1;
)";

// Step 2: rows moved in from a class server's SQLite file name where they came from
// ("collector#id"), so that moving the same file again adds nothing twice.
constexpr const char* kStep2 = R"(
ALTER TABLE results ADD COLUMN origin text UNIQUE;
ALTER TABLE visibility_log ADD COLUMN origin text UNIQUE;
UPDATE schema_version SET version = 2;
)";

constexpr const char* kSteps[] = {kStep1, kStep2};

}  // namespace

bool MigratePostgres(PgConnection& connection, std::string& error) {
    PgTransaction transaction(connection);
    if (!transaction.Begun() || !connection.Run(kMigrationLock)) {
        error = connection.Error();
        return false;
    }
    const PgResult exists = connection.Exec("SELECT to_regclass('schema_version') IS NOT NULL");
    if (!exists.Ok()) {
        error = connection.Error();
        return false;
    }
    int version = 0;
    if (exists.Text(0, 0) == "t") {
        const PgResult current = connection.Exec("SELECT max(version) FROM schema_version");
        if (!current.Ok()) {
            error = connection.Error();
            return false;
        }
        version = static_cast<int>(current.Int(0, 0));
    }
    if (version > kPostgresSchemaVersion) {
        error =
            "the database was made by a newer collector (schema " + std::to_string(version) + ")";
        return false;
    }
    for (int step = version; step < kPostgresSchemaVersion; ++step) {
        if (!connection.Run(kSteps[step])) {
            error = connection.Error();
            return false;
        }
    }
    if (!transaction.Commit()) {
        error = connection.Error();
        return false;
    }
    return true;
}
