// SPDX-License-Identifier: GPL-3.0-or-later
// The collector on loopback against a hostile class: results from strangers and floods are
// refused and counted for the page, the teacher's session, hiding and restoring rows with a
// record, the wait after wrong passwords, the workbook export and an older database.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "collector/ReceivedTime.h"
#include "collector/SqliteResultStore.h"
#include "collector/XlsxExport.h"
#include "tests/collector/CollectorFixture.h"

namespace {

std::string Request(const std::string& method, const std::string& target,
                    const std::string& extra = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

std::string Result(const std::string& user) {
    return Request("GET", "/tezra/result?group=9&user=" + user + "&res=10000&mark=4");
}

nlohmann::json Poll(int port, const std::string& query, const std::string& auth) {
    const std::string answer = Exchange(port, Request("GET", "/api/results?" + query, auth));
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    return nlohmann::json::parse(BodyOf(answer), nullptr, false);
}

std::string HeaderOf(const std::string& answer, const std::string& name) {
    const std::size_t at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + name.size() + 4;
    return answer.substr(start, answer.find("\r\n", start) - start);
}

TEST(TeacherServer, StrangersAndFloodsAreRefusedAndCounted) {
    std::string error;
    const auto stations = AddressFilter::Parse("127.0.0.2/32", error);
    ASSERT_TRUE(stations);
    RunningCollector closed([&](CollectorOptions& options) { options.Stations = *stations; });
    ASSERT_TRUE(closed.Service);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(StatusOf(Exchange(closed.Port(), Result("a"))), 403);
    }
    auto page = Poll(closed.Port(), "", TeacherAuthorization());
    EXPECT_EQ(page["rows"].size(), 0u);
    EXPECT_EQ(
        page["refused"],
        nlohmann::json::parse(R"([{"address":"127.0.0.1","reason":"not-a-station","count":3}])"));

    RunningCollector limited([](CollectorOptions& options) { options.MaxResultsPerMinute = 3; });
    ASSERT_TRUE(limited.Service);
    RawClient station(limited.Port());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(station.Send(Result("u" + std::to_string(i))));
        const std::string answer = station.ReadAnswer();
        EXPECT_EQ(StatusOf(answer), i < 3 ? 200 : 429) << i;
        EXPECT_EQ(HeaderOf(answer, "Retry-After"), i < 3 ? "" : "60");
    }
    page = Poll(limited.Port(), "", TeacherAuthorization());
    EXPECT_EQ(page["rows"].size(), 3u);
    EXPECT_EQ(page["refused"],
              nlohmann::json::parse(R"([{"address":"127.0.0.1","reason":"too-many","count":2}])"));
    // The absolute form of the same request is a request like any other.
    RunningCollector open;
    EXPECT_EQ(StatusOf(Exchange(open.Port(), Request("GET",
                                                     "http://127.0.0.1/tezra/result?group=9&user="
                                                     "abs&res=1&mark=5"))),
              200);
    EXPECT_EQ(Poll(open.Port(), "", TeacherAuthorization())["rows"][0]["user"], "abs");
}

// The teacher's guide lies behind the password; its address without the last slash leads to
// the folder, against which the guide's pictures are found.
TEST(TeacherServer, GuideIsTheTeachersAndFoundWithoutItsSlash) {
    RunningCollector collector;
    const int port = collector.Port();
    struct Case {
        std::string Target;
        std::string Auth;
        int Status;
        std::string Location;
    };
    const Case cases[] = {{"/guide", TeacherAuthorization(), 301, "guide/"},
                          {"/guide/", TeacherAuthorization(), 200, ""},
                          {"/guide", "", 401, ""},
                          {"/guide/", "", 401, ""}};
    for (const Case& c : cases) {
        const std::string answer = Exchange(port, Request("GET", c.Target, c.Auth));
        EXPECT_EQ(StatusOf(answer), c.Status) << c.Target << " " << !c.Auth.empty();
        EXPECT_EQ(HeaderOf(answer, "Location"), c.Location) << c.Target;
    }
    const std::string guide = Exchange(port, Request("GET", "/guide/", TeacherAuthorization()));
    EXPECT_NE(BodyOf(guide).find("<html"), std::string::npos);
}

TEST(TeacherServer, SessionHideAndRestoreWithARecord) {
    RunningCollector collector;
    ASSERT_TRUE(collector.Service);
    const int port = collector.Port();
    for (const std::string user : {"a", "b", "c"}) {
        ASSERT_EQ(StatusOf(Exchange(port, Result(user))), 200);
    }
    const std::string login = Exchange(port, Request("GET", "/", TeacherAuthorization()));
    const std::string setCookie = HeaderOf(login, "Set-Cookie");
    ASSERT_NE(setCookie.find("HttpOnly; SameSite=Strict"), std::string::npos) << login;
    const std::string cookie = "Cookie: " + setCookie.substr(0, setCookie.find(';')) + "\r\n";
    const std::string ownOrigin = "Origin: http://127.0.0.1\r\n";
    const std::string today = LocalDateToday();

    struct Step {
        std::string method, target, headers;
        int status;
        std::vector<std::string> shown, hidden;
    };
    const Step steps[] = {
        {"GET", "/api/hide?id=1", cookie, 405, {"a", "b", "c"}, {}},
        {"POST", "/api/hide?id=1", "", 401, {"a", "b", "c"}, {}},
        {"POST",
         "/api/hide?id=1",
         cookie + "Origin: http://evil.example\r\n",
         403,
         {"a", "b", "c"},
         {}},
        {"POST",
         "/api/hide?id=1",
         TeacherAuthorization() + "Sec-Fetch-Site: cross-site\r\n",
         403,
         {"a", "b", "c"},
         {}},
        {"POST", "/api/hide?id=x", cookie, 400, {"a", "b", "c"}, {}},
        {"POST", "/api/hide?id=2", cookie + ownOrigin, 200, {"a", "c"}, {"b"}},
        {"POST", "/api/hide?station=127.0.0.1&date=" + today, cookie, 200, {}, {"a", "b", "c"}},
        {"POST", "/api/restore?id=1", TeacherAuthorization(), 200, {"a"}, {"b", "c"}},
        {"POST", "/api/restore?station=127.0.0.1", cookie + ownOrigin, 200, {"a", "b", "c"}, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.method + " " + step.target);
        const std::string answer = Exchange(port, Request(step.method, step.target, step.headers));
        EXPECT_EQ(StatusOf(answer), step.status) << answer;
        for (const bool hidden : {false, true}) {
            std::vector<std::string> users;
            const auto page =
                Poll(port, std::string("date=") + today + (hidden ? "&hidden=1" : ""), cookie);
            for (const auto& row : page["rows"]) {
                users.push_back(row["user"]);
            }
            EXPECT_EQ(users, hidden ? step.hidden : step.shown) << today;
        }
        const std::string exported =
            BodyOf(Exchange(port, Request("GET", "/results.json", cookie)));
        EXPECT_EQ(nlohmann::json::parse(exported).size(), step.shown.size());
    }
    const auto page = Poll(port, "", cookie);
    EXPECT_EQ(page["version"], 4);
    ASSERT_EQ(page["log"].size(), 4u);
    const std::string who = "teacher@127.0.0.1";
    EXPECT_EQ(page["log"][0]["action"], "restore");
    EXPECT_EQ(page["log"][0]["target"], "address 127.0.0.1");
    EXPECT_EQ(page["log"][0]["rows"], 2);
    EXPECT_EQ(page["log"][1]["who"], who);
    EXPECT_EQ(page["log"][2]["target"], "address 127.0.0.1 on " + today);
    EXPECT_EQ(page["log"][3]["target"], "row 2");
    EXPECT_EQ(page["log"][3]["who"], who);
}

TEST(TeacherServer, WrongPasswordsWaitLongerAndLonger) {
    RunningCollector collector;
    ASSERT_TRUE(collector.Service);
    const int port = collector.Port();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(StatusOf(Exchange(port, Request("GET", "/", TeacherAuthorization("guess")))),
                  401);
    }
    const std::string waiting = Exchange(port, Request("GET", "/", TeacherAuthorization()));
    EXPECT_EQ(StatusOf(waiting), 429);
    EXPECT_EQ(HeaderOf(waiting, "Retry-After"), "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    // The script's request gets no login challenge, the browser's navigation does.
    const std::string script =
        Exchange(port, Request("GET", "/api/results",
                               TeacherAuthorization("guess") + "Sec-Fetch-Mode: cors\r\n"));
    EXPECT_EQ(StatusOf(script), 401);
    EXPECT_EQ(HeaderOf(script, "WWW-Authenticate"), "");
    const std::string again = Exchange(port, Request("GET", "/", TeacherAuthorization()));
    EXPECT_EQ(StatusOf(again), 429);
    EXPECT_EQ(HeaderOf(again, "Retry-After"), "2");
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    const auto page = Poll(port, "", TeacherAuthorization());
    EXPECT_EQ(page["logins"].size(), 0u) << "the right password clears the count";
}

TEST(TeacherServer, WorkbookHasASheetPerClass) {
    std::vector<std::string> used;
    const std::pair<std::string, std::string> names[] = {
        {"10Б", "10Б"},
        {"10б", "10б (2)"},
        {"a[b]:c*d?e/f\\g", "a_b__c_d_e_f_g"},
        {"", "(без класса)"},
        {"'quoted'", "quoted"},
        {std::string(40, 'x'), std::string(31, 'x')},
        {std::string(40, 'x'), std::string(27, 'x') + " (2)"},
        {std::string(20, 'x') + "Ж" + std::string(20, 'x'),
         std::string(20, 'x') + "Ж" + std::string(10, 'x')},
    };
    for (const auto& [group, name] : names) {
        EXPECT_EQ(XlsxSheetName(group, used), name) << group;
    }

    RunningCollector collector;
    ASSERT_TRUE(collector.Service);
    for (const std::string group : {"9", "10", "9"}) {
        ASSERT_EQ(
            StatusOf(Exchange(collector.Port(), Request("GET", "/tezra/result?group=" + group +
                                                                   "&user=u&res=35000&mark=4"))),
            200);
    }
    const std::string all =
        Exchange(collector.Port(), Request("GET", "/results.xlsx", TeacherAuthorization()));
    EXPECT_EQ(StatusOf(all), 200);
    EXPECT_EQ(HeaderOf(all, "Content-Type"),
              "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    const std::string body = BodyOf(all);
    EXPECT_TRUE(body.starts_with("PK\x03\x04"));
    EXPECT_NE(body.find("xl/worksheets/sheet2.xml"), std::string::npos);
    EXPECT_EQ(body.find("xl/worksheets/sheet3.xml"), std::string::npos);
    const std::string one = BodyOf(Exchange(
        collector.Port(), Request("GET", "/results.xlsx?group=9", TeacherAuthorization())));
    EXPECT_NE(one.find("xl/worksheets/sheet1.xml"), std::string::npos);
    EXPECT_EQ(one.find("xl/worksheets/sheet2.xml"), std::string::npos);
}

TEST(TeacherServer, OlderDatabaseGainsHidingAndKnownStations) {
    TempDir dir;
    const auto file = dir.Path / "results.sqlite";
    {
        SqliteDatabase old(file, true);
        ASSERT_TRUE(old.Execute(
            "CREATE TABLE results(id INTEGER PRIMARY KEY, received_ms INTEGER NOT NULL, "
            "received_utc TEXT NOT NULL, received_local TEXT NOT NULL, local_date TEXT NOT NULL, "
            "station TEXT NOT NULL, grp TEXT NOT NULL, user TEXT NOT NULL, res INTEGER NOT NULL, "
            "mark INTEGER NOT NULL, raw_query BLOB NOT NULL, source TEXT NOT NULL, test TEXT, "
            "import_key TEXT UNIQUE);"
            "CREATE INDEX results_by_date ON results(local_date, grp);"
            "INSERT INTO results VALUES(1, 0, 'u', '2020-01-01T00:00:00+00:00', '2020-01-01', "
            "'127.0.0.7', '9', 'old', 1, 5, '', 'http', NULL, NULL);"
            "PRAGMA user_version = 1;"));
    }
    std::string error;
    auto store = SqliteResultStore::OpenWriter(file, error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(store->Database().QueryInt("PRAGMA user_version"),
              SqliteResultStore::kSchemaVersion);
    EXPECT_EQ(store->StationsKnownBefore("2020-01-02"), std::vector<std::string>{"127.0.0.7"});
    EXPECT_TRUE(store->StationsKnownBefore("2020-01-01").empty());
    ResultFilter filter;
    EXPECT_EQ(store->Query(filter).size(), 1u);
    ASSERT_EQ(store->SetHidden({1, "", ""}, true, "t", 0), std::optional<std::int64_t>(1));
    EXPECT_TRUE(store->Query(filter).empty());
    filter.Hidden = true;
    EXPECT_EQ(store->Query(filter).size(), 1u);
}

}  // namespace
