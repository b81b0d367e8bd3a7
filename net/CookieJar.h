// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cookies that result servers set, kept for the whole run and sent back with later
// requests. Understands Set-Cookie and Set-Cookie2 in the Netscape form and in the forms of
// RFC 2109 and RFC 2965.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/HttpHeaders.h"

// Times are whole seconds since 1970-01-01 00:00 UTC.
using CookieTime = std::int64_t;

// One cookie as a Set-Cookie or Set-Cookie2 header gives it, before the jar applies the
// request's host and path.
struct ParsedCookie {
    std::string name;
    std::string value;
    std::optional<std::string> domain;    // Domain attribute, quotes and leading dot removed
    std::optional<std::string> path;      // Path attribute, quotes removed
    std::optional<std::int64_t> maxAge;   // Max-Age attribute
    std::optional<CookieTime> expires;    // Expires attribute that could be read as a date
    std::optional<std::string> portList;  // Port attribute; empty text for a bare "Port"
    bool secure = false;
};

// Splits one header value into its cookies. Commas separate cookies only where a new
// name=value pair follows, so the comma of an Expires date does not split.
std::vector<ParsedCookie> ParseSetCookie(std::string_view headerValue);

// The dates of Expires attributes: RFC 1123, RFC 850, the Netscape form and asctime.
std::optional<CookieTime> ParseCookieDate(std::string_view text);

class CookieJar {
public:
    struct Cookie {
        std::string name;
        std::string value;
        std::string domain;
        std::string path;
        bool hostOnly = true;                 // no Domain attribute: this host alone
        std::optional<CookieTime> expiresAt;  // none: kept for the whole run
        std::optional<std::vector<int>> ports;
        bool secure = false;
    };

    static constexpr std::size_t kMaxCookies = 300;

    // Takes every Set-cookie and Set-cookie2 header of a response to host, requestPath, port.
    void TakeCookies(const HttpHeaders& headers, std::string_view host,
                     std::string_view requestPath, int port, CookieTime now);
    void TakeCookie(const ParsedCookie& parsed, std::string_view host,
                    std::string_view requestPath, int port, CookieTime now);

    // Drops the expired cookies, then joins "name=value" of every cookie that goes with this
    // request by "; ", in descending text order of their paths. Empty when none
    // qualifies.
    std::string CookieHeader(std::string_view host, std::string_view requestPath, int port,
                             CookieTime now);

    const std::vector<Cookie>& Cookies() const { return cookies_; }

private:
    std::vector<Cookie> cookies_;  // oldest first
};

// The current time for the jar.
CookieTime CookieNow();
