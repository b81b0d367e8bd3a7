// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CookieJar.h"

#include <gtest/gtest.h>

namespace {

constexpr CookieTime kNow = 1700000000;  // 2023-11-14 22:13:20 UTC

TEST(CookieJar, ReadsTheThreeHeaderForms) {
    // Netscape: the comma of the date does not split; several cookies may share a header.
    std::vector<ParsedCookie> cookies = ParseSetCookie(
        "sid=abc; expires=Wednesday, 09-Jun-2021 10:18:14 GMT; path=/tezra; domain=.school.ru; "
        "secure, lang=ru");
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].name, "sid");
    EXPECT_EQ(cookies[0].value, "abc");
    EXPECT_EQ(cookies[0].expires, 1623233894);
    EXPECT_EQ(cookies[0].path, "/tezra");
    EXPECT_EQ(cookies[0].domain, "school.ru");
    EXPECT_TRUE(cookies[0].secure);
    EXPECT_EQ(cookies[1].name, "lang");
    EXPECT_EQ(cookies[1].value, "ru");
    EXPECT_FALSE(cookies[1].secure);

    // RFC 2109 / 2965: quoted values and attributes, Max-Age, Port, Version.
    cookies = ParseSetCookie(
        "Customer=\"WILE_E, COYOTE\"; Version=\"1\"; Path=\"/acme\"; Max-Age=60; Port=\"80,8080\","
        " Part=\"Rocket\"; Version=1; Port");
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].value, "\"WILE_E, COYOTE\"");
    EXPECT_EQ(cookies[0].path, "/acme");
    EXPECT_EQ(cookies[0].maxAge, 60);
    EXPECT_EQ(cookies[0].portList, "80,8080");
    EXPECT_EQ(cookies[1].name, "Part");
    EXPECT_EQ(cookies[1].portList, "");

    // Pieces without a name are no cookies.
    EXPECT_TRUE(ParseSetCookie("novalue; path=/").empty());
    EXPECT_TRUE(ParseSetCookie("=x").empty());
    EXPECT_TRUE(ParseSetCookie("").empty());
    // Control bytes could break the Cookie header line: such cookies are ignored.
    EXPECT_TRUE(ParseSetCookie("a=b\rInjected: x").empty());
    EXPECT_TRUE(ParseSetCookie(std::string("a=b\0c", 5)).empty());
    EXPECT_EQ(ParseSetCookie("a=b\tc").size(), 1u);
}

TEST(CookieJar, ReadsCookieDates) {
    const std::pair<const char*, std::optional<CookieTime>> cases[] = {
        {"Wed, 09 Jun 2021 10:18:14 GMT", 1623233894},
        {"Wednesday, 09-Jun-21 10:18:14 GMT", 1623233894},
        {"Wed, 09-Jun-2021 10:18:14 GMT", 1623233894},
        {"Wed Jun  9 10:18:14 2021", 1623233894},
        {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
        {"Tue, 29 Feb 2000 12:00:00 GMT", 951825600},
        {"Fri, 29 Feb 2001 12:00:00 GMT", std::nullopt},
        {"Wed, 09 Jun 2021 25:18:14 GMT", std::nullopt},
        {"Wed, 09 Foo 2021 10:18:14 GMT", std::nullopt},
        {"tomorrow", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseCookieDate(text), expected) << text;
    }
}

TEST(CookieJar, SendsMatchingCookiesLongestPathTextFirst) {
    CookieJar jar;
    HttpHeaders headers;
    headers.AddLine("Set-Cookie: root=1; path=/");
    headers.AddLine("set-cookie: deep=2; path=/tezra/result");
    headers.AddLine("SET-COOKIE2: mid=3; Version=1; Path=/tezra");
    headers.AddLine("Set-Cookie: dflt=4");  // default path: /tezra
    headers.AddLine("Set-Cookie: safe=5; secure");
    headers.AddLine("Set-Cookie: empty=");
    headers.AddLine("Set-Cookie: other=6; path=/elsewhere");
    headers.AddLine("Set-Cookie: ported=7; Port=\"8080\"");
    headers.AddLine("Cookie: not=taken");
    jar.TakeCookies(headers, "127.0.0.1", "/tezra/result", 8080, kNow);
    EXPECT_EQ(jar.Cookies().size(), 8u);

    EXPECT_EQ(jar.CookieHeader("127.0.0.1", "/tezra/result", 8080, kNow),
              "deep=2; mid=3; dflt=4; ported=7; root=1");
    EXPECT_EQ(jar.CookieHeader("127.0.0.1", "/tezra/result", 80, kNow),
              "deep=2; mid=3; dflt=4; root=1");
    EXPECT_EQ(jar.CookieHeader("127.0.0.1", "/", 80, kNow), "root=1");
    // Host-only cookies stay with their host.
    EXPECT_EQ(jar.CookieHeader("127.0.0.10", "/tezra/result", 8080, kNow), "");
    EXPECT_EQ(jar.CookieHeader("LOCALHOST", "/", 80, kNow), "");
}

TEST(CookieJar, DomainsExpiryAndReplacement) {
    CookieJar jar;
    const auto take = [&](const std::string& line, const std::string& host) {
        HttpHeaders headers;
        headers.AddLine(line);
        jar.TakeCookies(headers, host, "/tezra/result", 80, kNow);
    };
    take("Set-Cookie: a=1; domain=.school.ru; path=/", "srv.school.ru");
    take("Set-Cookie: foreign=1; domain=other.ru; path=/", "srv.school.ru");  // refused
    take("Set-Cookie: b=1; max-age=10; path=/", "srv.school.ru");
    take("Set-Cookie: c=1; expires=Wed, 09 Jun 2021 10:18:14 GMT; path=/", "srv.school.ru");
    take("Set-Cookie: d=1; expires=Wed, 09 Jun 2100 10:18:14 GMT; path=/", "srv.school.ru");
    EXPECT_EQ(jar.CookieHeader("srv.school.ru", "/", 80, kNow), "a=1; b=1; d=1");
    EXPECT_EQ(jar.CookieHeader("SCHOOL.RU", "/", 80, kNow), "a=1");
    EXPECT_EQ(jar.CookieHeader("x.srv.school.ru", "/", 80, kNow), "a=1");
    EXPECT_EQ(jar.CookieHeader("notschool.ru", "/", 80, kNow), "");

    // Expired cookies leave the jar before a request.
    EXPECT_EQ(jar.CookieHeader("srv.school.ru", "/", 80, kNow + 10), "a=1; d=1");
    EXPECT_EQ(jar.Cookies().size(), 2u);

    // Same name, domain and path replaces; a past expiry or Max-Age=0 deletes.
    take("Set-Cookie: a=2; domain=school.ru; path=/", "srv.school.ru");
    EXPECT_EQ(jar.CookieHeader("srv.school.ru", "/", 80, kNow), "d=1; a=2");
    take("Set-Cookie: a=x; domain=school.ru; path=/; max-age=0", "srv.school.ru");
    take("Set-Cookie: d=x; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "srv.school.ru");
    EXPECT_EQ(jar.CookieHeader("srv.school.ru", "/", 80, kNow), "");
    EXPECT_TRUE(jar.Cookies().empty());
}

TEST(CookieJar, StaysBounded) {
    CookieJar jar;
    for (int i = 0; i < 1000; ++i) {
        ParsedCookie cookie;
        cookie.name = "n" + std::to_string(i);
        cookie.value = "v";
        jar.TakeCookie(cookie, "h", "/", 80, kNow);
    }
    ASSERT_EQ(jar.Cookies().size(), CookieJar::kMaxCookies);
    EXPECT_EQ(jar.Cookies().back().name, "n999");
}

}  // namespace
