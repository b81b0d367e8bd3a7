// SPDX-License-Identifier: GPL-3.0-or-later
// Request heads and result queries as stations write them: the station's own request bytes,
// older stations' raw spaces, "&" and "=", and what a hostile client might send.

#include <gtest/gtest.h>

#include "collector/RequestHead.h"
#include "collector/ResultQuery.h"
#include "net/HttpParse.h"
#include "net/ResultSubmission.h"
#include "net/UrlParts.h"
#include "platform/Cp1251.h"

namespace {

// The bytes the station's client writes for a result sent to host:port.
std::string StationRequest(const std::string& group, const std::string& user, float points,
                           int mark) {
    const std::string url =
        "http://127.0.0.1:8301/tezra/result?" +
        BuildResultQuery(Utf8ToCp1251(group), Utf8ToCp1251(user), points, mark);
    const UrlParts parts = SplitUrl(url);
    return BuildRequest(parts.Target(), parts.host, parts.port, false, "");
}

TEST(RequestHead, ReadsTheStationsOwnRequestsBack) {
    struct Case {
        std::string group, user;
        float points;
        int mark;
        std::int64_t res;
    };
    const Case cases[] = {
        {"9B", "Smith", 3.5f, 4, 35000},
        {"10Б", "Иванов", 2.7f, 3, 27000},
        {"11 А", "Петров-Водкин Кузьма", 0.0f, 1, 0},
        {"5%", "O'Brien & Sons = #1?", 10.0f, 5, 100000},
        {"", "", 1.25f, 2, 12500},
        {"7\\Г", "tab\there\"quote\"+plus", 7.0f, 5, 70000},
        {"<b>", "<script>alert(1)</script>", 4.0f, 4, 40000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        const std::string request = StationRequest(c.group, c.user, c.points, c.mark);
        RequestHead head;
        const HeadParse parse = ParseRequestHead(request, RequestLimits{}, head);
        ASSERT_EQ(parse.Status, HeadStatus::Complete);
        EXPECT_EQ(parse.Consumed, request.size());
        EXPECT_EQ(head.Method, "GET");
        EXPECT_EQ(head.Path(), "/tezra/result");
        EXPECT_TRUE(head.KeepAlive);
        StationResult result;
        ASSERT_EQ(ParseStationQuery(head.Query(), result), QueryError::None);
        EXPECT_EQ(result.Group, c.group);
        EXPECT_EQ(result.User, c.user);
        EXPECT_EQ(result.Res, c.res);
        EXPECT_EQ(result.Mark, c.mark);
    }
}

TEST(RequestHead, Table) {
    struct Case {
        std::string bytes;
        HeadStatus status;
        std::string target;
        bool keepAlive;
    };
    const std::string big(20000, 'a');
    const Case cases[] = {
        // Raw spaces, "&", "=" and cp1251 bytes: the target runs to the last " HTTP/1.x".
        {"GET /tezra/result?group=9 B&user=\xC8\xE2 A=B&res=1&mark=5 HTTP/1.1\r\n\r\n",
         HeadStatus::Complete, "/tezra/result?group=9 B&user=\xC8\xE2 A=B&res=1&mark=5", true},
        {"GET /x?user=a HTTP/1.1 b HTTP/1.1\r\n\r\n", HeadStatus::Complete, "/x?user=a HTTP/1.1 b",
         true},
        {"GET / HTTP/1.0\r\n\r\n", HeadStatus::Complete, "/", false},
        {"GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", HeadStatus::Complete, "/", true},
        {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", HeadStatus::Complete, "/", false},
        {"GET / HTTP/1.1\nHost: a\n\n", HeadStatus::Complete, "/", true},
        {"\r\n\r\nGET / HTTP/1.1\r\n\r\n", HeadStatus::Complete, "/", true},
        {"GET / HTTP/1.1\r\nX: 1\r\n folded\r\n\r\n", HeadStatus::Complete, "/", true},
        {"GET / HTTP/1.1\r\nHost: a\r\n", HeadStatus::Incomplete, "", true},
        {"GET /tezra/res", HeadStatus::Incomplete, "", true},
        // Absolute form: the scheme and host go, path and query stay as sent.
        {"GET http://127.0.0.1:8080/tezra/result?group=9 B&res=1 HTTP/1.1\r\n\r\n",
         HeadStatus::Complete, "/tezra/result?group=9 B&res=1", true},
        {"GET HTTPS://h/a/b HTTP/1.1\r\n\r\n", HeadStatus::Complete, "/a/b", true},
        {"GET http://h?x=1 HTTP/1.1\r\n\r\n", HeadStatus::Complete, "/?x=1", true},
        {"GET http://h HTTP/1.0\r\n\r\n", HeadStatus::Complete, "/", false},
        {"GET /http://h/x HTTP/1.1\r\n\r\n", HeadStatus::Complete, "/http://h/x", true},
        {"GET / HTTP/2.0\r\n\r\n", HeadStatus::Bad, "", true},
        {"GET /\r\n\r\n", HeadStatus::Bad, "", true},
        {"GET /a\rb HTTP/1.1\r\n\r\n", HeadStatus::Bad, "", true},
        {"GET  HTTP/1.1\r\n\r\n", HeadStatus::Bad, "", true},
        {" / HTTP/1.1\r\n\r\n", HeadStatus::Bad, "", true},
        {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\n", 12), HeadStatus::Bad, "",
         true},
        {"GET / HTTP/1.1\r\nno colon here\r\n\r\n", HeadStatus::Bad, "", true},
        {"GET /" + big, HeadStatus::LineTooLong, "", true},
        {"GET /" + big + " HTTP/1.1\r\n\r\n", HeadStatus::LineTooLong, "", true},
        {"GET / HTTP/1.1\r\nX: " + big + big + "\r\n\r\n", HeadStatus::HeadTooLarge, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 60));
        RequestHead head;
        const HeadParse parse = ParseRequestHead(c.bytes, RequestLimits{}, head);
        EXPECT_EQ(parse.Status, c.status);
        if (c.status == HeadStatus::Complete) {
            EXPECT_EQ(head.Target, c.target);
            EXPECT_EQ(head.KeepAlive, c.keepAlive);
            EXPECT_EQ(parse.Consumed, c.bytes.size());
        }
    }
}

TEST(RequestHead, ManyHeadersAndBodies) {
    std::string many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 150; ++i) {
        many += "X: 1\r\n";
    }
    RequestHead head;
    EXPECT_EQ(ParseRequestHead(many + "\r\n", RequestLimits{}, head).Status,
              HeadStatus::HeadTooLarge);
    for (const auto& [header, body] :
         std::vector<std::pair<std::string, bool>>{{"Content-Length: 0", false},
                                                   {"Content-Length: 00", false},
                                                   {"Content-Length: 5", true},
                                                   {"Transfer-Encoding: chunked", true}}) {
        ASSERT_EQ(
            ParseRequestHead("GET / HTTP/1.1\r\n" + header + "\r\n\r\n", RequestLimits{}, head)
                .Status,
            HeadStatus::Complete);
        EXPECT_EQ(head.HasBody, body) << header;
    }
}

TEST(ResultQuery, Table) {
    struct Case {
        std::string query;
        QueryError error;
        std::string group, user;
        std::int64_t res;
        int mark;
    };
    const std::string longName(10000, '\xC6');  // Ж ten thousand times
    const Case cases[] = {
        {"group=9B&user=Smith&res=35000&mark=4", QueryError::None, "9B", "Smith", 35000, 4},
        // Raw spaces, "&" and "=" inside values, as older stations send them.
        {"group=9 B&user=A&B=C D&res=1&mark=5", QueryError::None, "9 B", "A&B=C D", 1, 5},
        {"group=9B&user=x&res=7&mark=2&res=1&mark=5", QueryError::None, "9B", "x&res=7&mark=2", 1,
         5},
        // Percent escapes and raw cp1251, a malformed escape kept as it stands.
        {"group=10%C1&user=%C8%E2%E0%ED%EE%E2&res=10&mark=3", QueryError::None, "10Б", "Иванов",
         10, 3},
        {"group=\xC1&user=100%&res=10&mark=3", QueryError::None, "Б", "100%", 10, 3},
        {"group=a&user=%zz%4&res=10&mark=3", QueryError::None, "a", "%zz%4", 10, 3},
        {"group=a&user=b+c&res=-5&mark=1", QueryError::None, "a", "b+c", -5, 1},
        // Another order: a value still ends at the next field name.
        {"mark=5&res=2&user=u&group=g", QueryError::None, "g", "u", 2, 5},
        {"user=u v&x=1&group=g&res=2&mark=5", QueryError::None, "g", "u v&x=1", 2, 5},
        {"group=9B&user=" + longName + "&res=1&mark=5", QueryError::None, "9B",
         Cp1251ToUtf8(longName), 1, 5},
        {"", QueryError::MissingField, "", "", 0, 0},
        {"group=9B&user=Smith&res=35000", QueryError::MissingField, "", "", 0, 0},
        {"group=9B&user=Smith&mark=4", QueryError::MissingField, "", "", 0, 0},
        {"group=9B&user=Smith&res=&mark=4", QueryError::BadRes, "", "", 0, 0},
        {"group=9B&user=Smith&res=3.5&mark=4", QueryError::BadRes, "", "", 0, 0},
        {"group=9B&user=Smith&res=99999999999999999999&mark=4", QueryError::BadRes, "", "", 0, 0},
        {"group=9B&user=Smith&res=1&mark=0", QueryError::BadMark, "", "", 0, 0},
        {"group=9B&user=Smith&res=1&mark=6", QueryError::BadMark, "", "", 0, 0},
        {"group=9B&user=Smith&res=1&mark=4x", QueryError::BadMark, "", "", 0, 0},
        {"group=9B&user=Smith&res=1&mark=", QueryError::BadMark, "", "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query.substr(0, 80));
        StationResult result;
        ASSERT_EQ(ParseStationQuery(c.query, result), c.error);
        if (c.error == QueryError::None) {
            EXPECT_EQ(result.Group, c.group);
            EXPECT_EQ(result.User, c.user);
            EXPECT_EQ(result.Res, c.res);
            EXPECT_EQ(result.Mark, c.mark);
        }
    }
}

TEST(ResultQuery, FormParametersAsBrowsersSendThem) {
    const std::string query = "date=2025-05-14&group=10%D0%91+%D0%B0&empty=&bare&group=second";
    EXPECT_EQ(FormParameter(query, "date"), "2025-05-14");
    EXPECT_EQ(FormParameter(query, "group"), "10Б а");
    EXPECT_EQ(FormParameter(query, "empty"), "");
    EXPECT_EQ(FormParameter(query, "bare"), "");
    EXPECT_EQ(FormParameter(query, "missing"), "");
    EXPECT_EQ(FormParameter("%67roup=x", "group"), "x");
}

}  // namespace
