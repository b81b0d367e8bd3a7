// SPDX-License-Identifier: GPL-3.0-or-later
// The collector on loopback: the station's real client, raw request lines, rejected
// requests, keep-alive, the teacher's password, and clients that misbehave on purpose.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "net/HttpClient.h"
#include "net/ResultSubmission.h"
#include "platform/Cp1251.h"
#include "tests/collector/CollectorFixture.h"

namespace {

std::string Get(const std::string& target, const std::string& extra = "") {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

nlohmann::json ExportedJson(int port) {
    const std::string answer = Exchange(port, Get("/results.json", TeacherAuthorization()));
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    return nlohmann::json::parse(BodyOf(answer), nullptr, false);
}

TEST(CollectorServer, TakesResultsFromTheStationsClientOnOneKeptConnection) {
    RunningCollector collector;
    ASSERT_TRUE(collector.Service);
    HttpClient station;
    const std::vector<std::tuple<std::string, std::string, float, int>> students = {
        {"10Б", "Иванов", 3.5f, 4},
        {"10Б", "Петров Пётр", 2.7f, 3},
        {"9 А", "O'Brien & Co = #1%", 10.0f, 5},
        {"9 А", "<script>alert(1)</script>", 0.0f, 1},
    };
    for (const auto& [group, user, points, mark] : students) {
        const std::string query =
            BuildResultQuery(Utf8ToCp1251(group), Utf8ToCp1251(user), points, mark);
        const HttpResult result = station.Get(collector.Url("/tezra/result?" + query));
        EXPECT_TRUE(result.Ok()) << to_string(result.error) << " " << result.status;
        EXPECT_EQ(result.status, 200);
        EXPECT_TRUE(station.Connected());
    }
    EXPECT_EQ(collector.Service->Server().ConnectionCount(), 1u);

    const nlohmann::json rows = ExportedJson(collector.Port());
    ASSERT_EQ(rows.size(), students.size());
    for (std::size_t i = 0; i < students.size(); ++i) {
        EXPECT_EQ(rows[i]["group"], std::get<0>(students[i]));
        EXPECT_EQ(rows[i]["user"], std::get<1>(students[i]));
        EXPECT_DOUBLE_EQ(rows[i]["points"].get<double>(),
                         ResultScore(std::get<2>(students[i])) / 10000.0);
        EXPECT_EQ(rows[i]["mark"], std::get<3>(students[i]));
        EXPECT_EQ(rows[i]["station"], "127.0.0.1");
    }
}

TEST(CollectorServer, RawRequestLinesAndRejections) {
    RunningCollector collector;
    ASSERT_TRUE(collector.Service);
    struct Case {
        std::string request;
        int status;
    };
    const std::string auth = TeacherAuthorization();
    const Case cases[] = {
        // An older station: raw cp1251, raw spaces, "&" and "=" in values, no escapes.
        {Get("/tezra/result?group=10\xC1&user=\xC8\xE2\xE0\xED\xEE\xE2 A&B=C&res=35000&mark=4"),
         200},
        {Get("/tezra/result?group=9%20%C1&user=%C8%E2%zz&res=0&mark=1"), 200},
        {"GET /tezra/result?group=a&user=b&res=1&mark=2 HTTP/1.0\r\n\r\n", 200},
        {Get("/tezra/result?group=a&user=" + std::string(10000, '\xC6') + "&res=1&mark=2"), 200},
        {Get("/tezra/result?group=9B&user=Smith&mark=4"), 400},
        {Get("/tezra/result?group=9B&user=Smith&res=abc&mark=4"), 400},
        {Get("/tezra/result?group=9B&user=Smith&res=1&mark=6"), 400},
        {Get("/tezra/result?group=9B&user=Smith&res=1&mark=0"), 400},
        {Get("/tezra/result"), 400},
        {Get("/tezra/result?group=a&user=" + std::string(17 * 1024, 'x') + "&res=1&mark=5"), 414},
        {"POST /tezra/result?group=a&user=b&res=1&mark=2 HTTP/1.1\r\n\r\n", 405},
        {"GET /tezra/result?group=a&user=b&res=1&mark=2 HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc",
         413},
        {Get("/tezra/other?group=a&user=b&res=1&mark=2"), 401},
        {Get("/tezra/other?group=a&user=b&res=1&mark=2", auth), 404},
        {Get("/results.json?date=14.05.2025", auth), 400},
        {std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03\r\n\r\n", 15), 400},
    };
    int stored = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.substr(0, 70));
        EXPECT_EQ(StatusOf(Exchange(collector.Port(), c.request)), c.status);
        stored += c.status == 200 ? 1 : 0;
    }
    const nlohmann::json rows = ExportedJson(collector.Port());
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(stored));
    EXPECT_EQ(rows[0]["group"], "10Б");
    EXPECT_EQ(rows[0]["user"], "Иванов A&B=C");
    EXPECT_EQ(rows[1]["group"], "9 Б");
    EXPECT_EQ(rows[1]["user"], "Ив%zz");
    EXPECT_EQ(rows[3]["user"].get<std::string>().size(), 20000u);  // Ж is two bytes in UTF-8
}

TEST(CollectorServer, KeepAliveAndPipelinedRequestsAnswerInOrder) {
    RunningCollector collector;
    ASSERT_TRUE(collector.Service);
    RawClient client(collector.Port());
    ASSERT_TRUE(client.Send(Get("/tezra/result?group=a&user=1&res=1&mark=5") + Get("/nothing") +
                            Get("/tezra/result?group=a&user=2&res=2&mark=5")));
    EXPECT_EQ(StatusOf(client.ReadAnswer()), 200);
    EXPECT_EQ(StatusOf(client.ReadAnswer()), 401);
    EXPECT_EQ(StatusOf(client.ReadAnswer()), 200);
    ASSERT_TRUE(
        client.Send(Get("/tezra/result?group=a&user=3&res=3&mark=5", "Connection: close\r\n")));
    const std::string last = client.ReadAnswer();
    EXPECT_EQ(StatusOf(last), 200);
    EXPECT_NE(last.find("Connection: close"), std::string::npos);
    EXPECT_TRUE(client.ClosedWithin(3000));
    const nlohmann::json rows = ExportedJson(collector.Port());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2]["user"], "3");
}

TEST(CollectorServer, PageAndExportsAskForTheTeachersPassword) {
    RunningCollector collector;
    ASSERT_TRUE(collector.Service);
    const int port = collector.Port();
    for (const std::string target : {"/", "/app.js", "/api/results", "/results.csv"}) {
        const std::string refused = Exchange(port, Get(target));
        EXPECT_EQ(StatusOf(refused), 401) << target;
        EXPECT_NE(refused.find("WWW-Authenticate: Basic"), std::string::npos);
        EXPECT_EQ(refused.find("Результаты"), std::string::npos);
        EXPECT_EQ(StatusOf(Exchange(port, Get(target, TeacherAuthorization("wrong")))), 401);
    }
    const std::string page = Exchange(port, Get("/", TeacherAuthorization()));
    EXPECT_EQ(StatusOf(page), 200);
    EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
    EXPECT_NE(BodyOf(page).find("Результаты"), std::string::npos);
    EXPECT_EQ(StatusOf(Exchange(port, Get("/style.css", TeacherAuthorization()))), 200);

    ASSERT_EQ(StatusOf(Exchange(port, Get("/tezra/result?group=9%20%C1&user=u&res=1&mark=5"))),
              200);
    const std::string update =
        BodyOf(Exchange(port, Get("/api/results?group=9+%D0%91", TeacherAuthorization())));
    const auto json = nlohmann::json::parse(update, nullptr, false);
    ASSERT_TRUE(json.is_object()) << update;
    EXPECT_EQ(json["rows"].size(), 1u);
    EXPECT_EQ(json["groups"], nlohmann::json::array({"9 Б"}));
    const std::string csv = Exchange(port, Get("/results.csv?group=x", TeacherAuthorization()));
    EXPECT_EQ(StatusOf(csv), 200);
    EXPECT_EQ(BodyOf(csv), "\xEF\xBB\xBFВремя;Станция;Класс;Фамилия;Баллы;Оценка\r\n");
}

TEST(CollectorServer, HostileClientsBlockNobody) {
    ServerLimits limits;
    limits.HeadTimeoutMs = 400;
    RunningCollector collector(limits);
    ASSERT_TRUE(collector.Service);
    const int port = collector.Port();
    const std::string station = Get("/tezra/result?group=a&user=b&res=1&mark=2");

    // A request line of 1 MiB: refused once 16 KiB have come, and the connection closed.
    RawClient huge(port);
    const std::string mebibyte = "GET /tezra/result?" + std::string(1 << 20, 'A');
    huge.Send(mebibyte);  // may fail part-way once the server has closed
    const std::string refused = huge.ReadAnswer();
    EXPECT_EQ(StatusOf(refused), 414);

    // Binary garbage.
    RawClient garbage(port);
    std::string bytes(4096, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 131 + 7) % 256);
    }
    garbage.Send(bytes + "\n");
    EXPECT_EQ(StatusOf(garbage.ReadAnswer()), 400);
    EXPECT_TRUE(garbage.ClosedWithin(3000));

    // A client that sends one byte at a time and never finishes: others are served
    // meanwhile, and it is cut off at the time limit for a request head.
    RawClient slow(port);
    ASSERT_TRUE(slow.Send("G"));
    ASSERT_TRUE(slow.Send("E"));
    EXPECT_EQ(StatusOf(Exchange(port, Get("/"))), 401);
    EXPECT_EQ(StatusOf(Exchange(port, station)), 200);
    EXPECT_EQ(StatusOf(slow.ReadAnswer(3000)), 408);
    EXPECT_TRUE(slow.ClosedWithin(3000));
}

TEST(CollectorServer, IdleConnectionsMakeRoomForStations) {
    ServerLimits limits;
    limits.MaxConnections = 200;
    limits.IdleTimeoutMs = 1000;
    RunningCollector collector(limits);
    ASSERT_TRUE(collector.Service);
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 1000; ++i) {
        idle.push_back(std::make_unique<RawClient>(collector.Port()));
        ASSERT_TRUE(idle.back()->Connected());
    }
    // Whatever the kernel still queues, a station that comes now is answered.
    EXPECT_EQ(
        StatusOf(Exchange(collector.Port(), Get("/tezra/result?group=a&user=b&res=1&mark=2"))),
        200);
    EXPECT_LE(collector.Service->Server().ConnectionCount(), limits.MaxConnections);
    // The idle ones that were let in are closed once their time is up.
    EXPECT_TRUE(idle.back()->ClosedWithin(3000));
}

}  // namespace
