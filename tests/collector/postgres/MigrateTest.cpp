// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-collector migrate: a class server's SQLite file moves into the shared PostgreSQL
// database whole (hidden flags, the record of hides, sources, import keys, the library with
// its pictures, the stations' status), and a second run adds nothing.

#include <gtest/gtest.h>

#include "collector/LibrarySqlite.h"
#include "collector/ResultStore.h"
#include "tests/collector/postgres/CollectorProcess.h"
#include "tests/common/PgServer.h"

namespace fs = std::filesystem;

namespace {

PgServer& Server() {
    static PgServer server;
    return server;
}

NewResult Result(const std::string& user, std::int64_t ms) {
    NewResult result;
    result.ReceivedMs = ms;
    result.Station = "127.0.0.21";
    result.Group = "9Б";
    result.User = user;
    result.Res = 35000;
    result.Mark = 4;
    result.Raw = "group=9\xC1&user=" + user;
    return result;
}

LibraryTest Test(const std::string& name, const std::string& body) {
    LibraryTest test;
    test.Name = name;
    test.Body = body;
    test.Title = "Проба";
    test.Problems = 1;
    test.Diagnostics = "[]";
    test.Published = true;
    test.ChangedMs = 1765000000000;
    return test;
}

// A class server's file: three results (one hidden, one from a journal), a test with a
// picture and a station's sync.
void FillClassServer(const fs::path& file, const std::string& testBody) {
    std::string error;
    auto store = OpenResultStore(file.string(), true, error);
    ASSERT_TRUE(store) << error;
    NewResult journal = Result("Петров", 1765000002000);
    journal.Source = "report.log";
    journal.Test = "Физика";
    journal.ImportKey = "room-3|12.12.2025 10:00:00|Петров";
    ASSERT_TRUE(store->Append(
        {Result("Иванов", 1765000000000), Result("Сидоров", 1765000001000), journal}));
    const auto rows = store->Query({});
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(store->SetHidden({rows[1].Id, "", ""}, true, "teacher", 1765000003000),
              std::optional<std::int64_t>(1));
    auto library = OpenSqliteLibrary(file, error);
    ASSERT_TRUE(library) << error;
    ASSERT_TRUE(library->PutTest(Test("proba.ttxt", testBody)));
    LibraryPicture picture;
    picture.Test = "proba.ttxt";
    picture.Name = "pie.jpg";
    picture.Body = std::string("\xFF\xD8\xFF", 3) + '\0' + "picture" + '\0' + "bytes";
    picture.ChangedMs = 1765000004000;
    ASSERT_EQ(library->PutPicture(picture), StoreOutcome::Done);
    StationRecord station;
    station.Host = "room-3-pc-07";
    station.Address = "127.0.0.21";
    station.LastMs = 1765000005000;
    station.SetVersion = "v1";
    ASSERT_TRUE(library->NoteStation(station, 2));
}

struct Expectation {
    const char* Sql;
    std::vector<std::string> Values;
};

// What the shared database holds after the move of one class server called room-3.
const Expectation kMoved[] = {
    {"SELECT user_name || ' ' || hidden || ' ' || source || ' ' || collector FROM results "
     "ORDER BY received_ms",
     {"Иванов false http room-3", "Сидоров true http room-3", "Петров false report.log room-3"}},
    {"SELECT coalesce(import_key, '-') || ' ' || coalesce(test, '-') FROM results "
     "ORDER BY received_ms",
     {"- -", "- -", "room-3|12.12.2025 10:00:00|Петров Физика"}},
    {"SELECT encode(raw_query, 'hex') FROM results ORDER BY received_ms LIMIT 1",
     {"67726f75703d39c126757365723dd098d0b2d0b0d0bdd0bed0b2"}},
    {"SELECT who || ' ' || action || ' ' || rows FROM visibility_log", {"teacher hide 1"}},
    {"SELECT address || ' ' || first_date FROM stations", {"127.0.0.21 2025-12-06"}},
    {"SELECT name || ' ' || published || ' ' || length(body) FROM library_tests",
     {"proba.ttxt true 4"}},
    {"SELECT name || ' ' || encode(body, 'hex') FROM library_pictures",
     {"pie.jpg ffd8ff0070696374757265006279746573"}},
    {"SELECT host || ' ' || records_sent || ' ' || set_version FROM library_stations",
     {"room-3-pc-07 2 v1"}},
};

TEST(Migrate, RunTwiceMovesEverythingOnce) {
    if (!PgServer::Installed()) {
        GTEST_SKIP() << "PostgreSQL 15 is not installed";
    }
    ASSERT_TRUE(Server().Running()) << Server().Error();
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    TempDir dir;
    const fs::path file = dir.Path / "results.sqlite";
    FillClassServer(file, "body");
    const std::string database = Server().CreateDatabase();
    const std::string uri = Server().Uri(database);
    for (const char* run : {"first", "second"}) {
        std::string output;
        ASSERT_EQ(
            CollectorProcess::Run(
                {"migrate", "--from", file.string(), "--db", uri, "--name", "room-3"}, output),
            0)
            << run << ": " << output;
        const bool first = std::string(run) == "first";
        EXPECT_NE(
            output.find(first ? "results: 3 added, 0 present" : "results: 0 added, 3 present"),
            std::string::npos)
            << output;
        for (const Expectation& expected : kMoved) {
            EXPECT_EQ(Server().Column(database, expected.Sql), expected.Values)
                << run << ": " << expected.Sql << " " << Server().Error();
        }
    }

    // A collector on the shared database shows the moved results that are not hidden.
    CollectorProcess collector(dir.Path, uri, "room-3");
    ASSERT_GT(collector.Port(), 0) << collector.Output();
    const std::string json = BodyOf(collector.Teacher("GET", "/results.json"));
    EXPECT_NE(json.find("Иванов"), std::string::npos) << json;
    EXPECT_NE(json.find("Петров"), std::string::npos) << json;
    EXPECT_EQ(json.find("Сидоров"), std::string::npos) << json;
}

TEST(Migrate, AnotherSchoolsTestOfTheSameNameIsKept) {
    if (!PgServer::Installed()) {
        GTEST_SKIP() << "PostgreSQL 15 is not installed";
    }
    ASSERT_TRUE(Server().Running()) << Server().Error();
    TempDir dir;
    const std::string database = Server().CreateDatabase();
    const std::string uri = Server().Uri(database);
    FillClassServer(dir.Path / "school-1.sqlite", "first school's");
    FillClassServer(dir.Path / "school-2.sqlite", "second school's");
    std::string output;
    for (const char* school : {"school-1", "school-2"}) {
        ASSERT_EQ(CollectorProcess::Run({"migrate", "--from",
                                         (dir.Path / (std::string(school) + ".sqlite")).string(),
                                         "--db", uri, "--name", school},
                                        output),
                  0)
            << output;
    }
    EXPECT_NE(output.find("proba.ttxt"), std::string::npos) << output;  // reported as kept
    EXPECT_EQ(Server().Column(database, "SELECT convert_from(body, 'UTF8') FROM library_tests"),
              std::vector<std::string>{"first school's"});
    EXPECT_EQ(Server().Column(database, "SELECT count(*) FROM library_pictures"),
              std::vector<std::string>{"1"});
    // Both schools' results are there, each under its own name; the journal record that
    // both files hold (the same import key) once.
    EXPECT_EQ(Server().Column(database,
                              "SELECT collector || ' ' || count(*) FROM results "
                              "GROUP BY collector ORDER BY collector"),
              (std::vector<std::string>{"school-1 3", "school-2 2"}));

    const std::string missing = (dir.Path / "missing.sqlite").string();
    EXPECT_NE(CollectorProcess::Run({"migrate", "--from", missing, "--db", uri}, output), 0);
    EXPECT_FALSE(fs::exists(missing)) << "a missing file is not created";
}

}  // namespace
