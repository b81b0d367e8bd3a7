// SPDX-License-Identifier: GPL-3.0-or-later
// What keeps a hostile class out: station address blocks, the per-address result limit,
// the growing wait after wrong passwords, sessions and the origin of the page's writes.

#include <gtest/gtest.h>

#include "collector/AddressFilter.h"
#include "collector/LoginBackoff.h"
#include "collector/RateLimit.h"
#include "collector/Session.h"
#include "collector/TeacherAccess.h"

namespace {

TEST(AddressFilter, BlocksTable) {
    struct Case {
        std::string list;
        bool valid;
        std::vector<std::pair<std::string, bool>> addresses;
    };
    const Case cases[] = {
        {"127.0.0.0/16", true, {{"127.0.0.1", true}, {"127.0.255.2", true}, {"127.1.0.1", false}}},
        {"127.0.0.2", true, {{"127.0.0.2", true}, {"127.0.0.1", false}, {"127.0.0.20", false}}},
        {" 127.0.1.0/24 , 127.0.3.5/32",
         true,
         {{"127.0.1.255", true}, {"127.0.2.1", false}, {"127.0.3.5", true}, {"?", false}}},
        {"127.0.0.9/0", true, {{"127.200.3.4", true}}},
        {"127.0.0.1/33", false, {}},
        {"127.0.0.1/", false, {}},
        {"127.0.0.1/-1", false, {}},
        {"127.0.0.1/8x", false, {}},
        {"127.0.0", false, {}},
        {"localhost", false, {}},
        {"", false, {}},
        {",", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::string error;
        const auto filter = AddressFilter::Parse(c.list, error);
        ASSERT_EQ(filter.has_value(), c.valid) << error;
        EXPECT_EQ(error.empty(), c.valid);
        for (const auto& [address, allowed] : c.addresses) {
            EXPECT_EQ(filter->Allows(address), allowed) << address;
        }
    }
    EXPECT_TRUE(AddressFilter().Allows("127.0.0.1"));
}

TEST(RateLimit, SixtyAMinuteThenOneASecond) {
    RateLimit limit(60);
    for (int i = 0; i < 60; ++i) {
        EXPECT_TRUE(limit.Take("127.0.0.1", 1000)) << i;
    }
    EXPECT_FALSE(limit.Take("127.0.0.1", 1000));
    EXPECT_TRUE(limit.Take("127.0.0.2", 1000)) << "another address has its own limit";
    EXPECT_FALSE(limit.Take("127.0.0.1", 1999));
    EXPECT_TRUE(limit.Take("127.0.0.1", 2000));
    EXPECT_FALSE(limit.Take("127.0.0.1", 2000));
    int afterAMinute = 0;
    while (limit.Take("127.0.0.1", 1000000)) {
        ++afterAMinute;
    }
    EXPECT_EQ(afterAMinute, 60) << "the bucket never holds more than a minute's worth";
    RateLimit unlimited(0);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(unlimited.Take("127.0.0.1", 0));
    }
}

TEST(LoginBackoff, WaitsDoubleAfterFiveWrongPasswords) {
    LoginBackoff backoff;
    std::int64_t now = 0;
    for (int i = 0; i < 4; ++i) {
        backoff.Failed("127.0.0.1", now);
        EXPECT_EQ(backoff.WaitFor("127.0.0.1", now), 0) << i;
    }
    // From the fifth wrong password on: 1 s, 2 s, 4 s ... up to a minute.
    const std::int64_t waits[] = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
    for (const std::int64_t wait : waits) {
        backoff.Failed("127.0.0.1", now);
        EXPECT_EQ(backoff.WaitFor("127.0.0.1", now), wait);
        EXPECT_EQ(backoff.WaitFor("127.0.0.1", now + wait - 1), 1);
        EXPECT_EQ(backoff.WaitFor("127.0.0.2", now), 0);
        now += wait;
        EXPECT_EQ(backoff.WaitFor("127.0.0.1", now), 0);
    }
    ASSERT_EQ(backoff.Snapshot().size(), 1u);
    EXPECT_EQ(backoff.Snapshot()[0].Wrong, 12);
    backoff.Succeeded("127.0.0.1");
    EXPECT_TRUE(backoff.Snapshot().empty());
    backoff.Failed("127.0.0.1", now);
    EXPECT_EQ(backoff.WaitFor("127.0.0.1", now), 0) << "a right password starts the count anew";
}

TEST(Sessions, CookiesTokensAndLifetime) {
    const std::pair<std::string, std::string> cookies[] = {
        {"tezra_session=abc", "abc"},
        {"a=1; tezra_session=abc; b=2", "abc"},
        {"a=1;tezra_session= abc ", "abc"},
        {"xtezra_session=abc", ""},
        {"tezra_session", ""},
        {"", ""},
    };
    for (const auto& [header, value] : cookies) {
        EXPECT_EQ(CookieValue(header, "tezra_session"), value) << header;
    }
    const std::string a = RandomToken();
    EXPECT_EQ(a.size(), 64u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(a, RandomToken());

    SessionTable sessions;
    const std::string token = sessions.Create("t@127.0.0.1", 0);
    EXPECT_EQ(sessions.Find(token, SessionTable::kLifetimeMs).value_or(""), "t@127.0.0.1");
    EXPECT_TRUE(sessions.Find(token, 2 * SessionTable::kLifetimeMs)) << "use extends the life";
    EXPECT_FALSE(sessions.Find(token, 3 * SessionTable::kLifetimeMs + 1));
    EXPECT_FALSE(sessions.Find(RandomToken(), 0));
    EXPECT_FALSE(sessions.Find("", 0));
    for (std::size_t i = 0; i <= SessionTable::kMaxSessions; ++i) {
        sessions.Create("t", static_cast<std::int64_t>(i));
    }
    const std::string last = sessions.Create("last", 10000);
    EXPECT_TRUE(sessions.Find(last, 10000)) << "a full table still takes a new login";
}

TEST(TeacherGate, OneCheckForPasswordAndSession) {
    TeacherGate gate("pw", false);
    const auto head = [](std::string method, std::string target, std::string authorization,
                         std::string cookie, std::string origin) {
        RequestHead h;
        h.Method = std::move(method);
        h.Target = std::move(target);
        h.Authorization = std::move(authorization);
        h.Cookie = std::move(cookie);
        h.Origin = std::move(origin);
        h.Host = "127.0.0.1:8080";
        return h;
    };
    const std::string right = "Basic dDpwdw==";  // t:pw
    const std::string wrong = "Basic dDp4";      // t:x

    const TeacherDecision login =
        gate.Check(head("GET", "/", right, "", ""), "127.0.0.1", false, 0);
    ASSERT_EQ(login.Verdict, TeacherVerdict::Allowed);
    EXPECT_EQ(login.Who, "t@127.0.0.1");
    EXPECT_NE(login.SetCookie.find("; HttpOnly; SameSite=Strict"), std::string::npos);
    EXPECT_EQ(login.SetCookie.find("Secure"), std::string::npos);
    const std::string cookie = login.SetCookie.substr(0, login.SetCookie.find(';'));
    EXPECT_TRUE(gate.Check(head("GET", "/api/results", right, "", ""), "127.0.0.1", false, 0)
                    .SetCookie.empty())
        << "only the page opens a session";

    struct Case {
        RequestHead head;
        bool write;
        TeacherVerdict verdict;
    };
    const Case cases[] = {
        {head("GET", "/api/results", "", cookie, ""), false, TeacherVerdict::Allowed},
        {head("GET", "/api/results", "", "tezra_session=" + std::string(64, 'a'), ""), false,
         TeacherVerdict::NoCredentials},
        {head("GET", "/api/results", "", "", ""), false, TeacherVerdict::NoCredentials},
        {head("GET", "/api/results", wrong, "", ""), false, TeacherVerdict::WrongPassword},
        {head("POST", "/api/hide", "", cookie, "http://127.0.0.1:8080"), true,
         TeacherVerdict::Allowed},
        {head("POST", "/api/hide", "", cookie, ""), true, TeacherVerdict::Allowed},
        {head("POST", "/api/hide", right, "", "HTTP://127.0.0.1:8080"), true,
         TeacherVerdict::Allowed},
        {head("POST", "/api/hide", "", cookie, "http://127.0.0.1:9090"), true,
         TeacherVerdict::ForeignOrigin},
        {head("POST", "/api/hide", right, cookie, "http://evil.example"), true,
         TeacherVerdict::ForeignOrigin},
        {head("POST", "/api/hide", right, cookie, "null"), true, TeacherVerdict::ForeignOrigin},
        {head("POST", "/api/hide", right, cookie, "https://127.0.0.1:8080"), true,
         TeacherVerdict::Allowed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head.Origin + " " + c.head.Cookie.substr(0, 20) + c.head.Authorization);
        EXPECT_EQ(gate.Check(c.head, "127.0.0.9", c.write, 0).Verdict, c.verdict);
    }
    RequestHead crossSite = head("POST", "/api/hide", "", cookie, "");
    crossSite.FetchSite = "cross-site";
    EXPECT_EQ(gate.Check(crossSite, "127.0.0.1", true, 0).Verdict, TeacherVerdict::ForeignOrigin);
    crossSite.FetchSite = "same-origin";
    EXPECT_EQ(gate.Check(crossSite, "127.0.0.1", true, 0).Verdict, TeacherVerdict::Allowed);

    // Wrong passwords from one address: after the fifth even the right one must wait.
    for (int i = 0; i < LoginBackoff::kFreeTries; ++i) {
        gate.Check(head("GET", "/", wrong, "", ""), "127.0.0.3", false, 100);
    }
    const TeacherDecision waiting =
        gate.Check(head("GET", "/", right, "", ""), "127.0.0.3", false, 100);
    EXPECT_EQ(waiting.Verdict, TeacherVerdict::MustWait);
    EXPECT_EQ(waiting.WaitMs, LoginBackoff::kFirstDelayMs);
    EXPECT_EQ(gate.Check(head("GET", "/", "", cookie, ""), "127.0.0.3", false, 100).Verdict,
              TeacherVerdict::Allowed)
        << "a live session is not held up by someone guessing from its address";
    EXPECT_EQ(gate.Check(head("GET", "/", right, "", ""), "127.0.0.3", false, 1100).Verdict,
              TeacherVerdict::Allowed);
}

}  // namespace
