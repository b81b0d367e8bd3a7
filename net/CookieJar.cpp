// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CookieJar.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "platform/Cp1251.h"
#include "platform/Numbers.h"

namespace {

// host is the domain itself or one of its subdomains.
bool DomainMatches(std::string_view host, std::string_view domain) {
    if (AnsiSameText(host, domain)) {
        return true;
    }
    return host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.' &&
           AnsiSameText(host.substr(host.size() - domain.size()), domain);
}

// The directory of the request path: up to, not including, its last slash; "/" at the top.
std::string DefaultPath(std::string_view requestPath) {
    const std::size_t slash = requestPath.rfind('/');
    if (slash == std::string_view::npos || slash == 0) {
        return "/";
    }
    return std::string(requestPath.substr(0, slash));
}

std::optional<std::vector<int>> ReadPortList(const std::optional<std::string>& list, int port) {
    if (!list) {
        return std::nullopt;
    }
    std::vector<int> ports;
    if (list->empty()) {
        ports.push_back(port);
        return ports;
    }
    std::string_view rest = *list;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        if (const std::optional<std::int32_t> value = ParseInt(rest.substr(0, comma))) {
            ports.push_back(*value);
        }
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return ports;
}

std::optional<CookieTime> ExpiryOf(const ParsedCookie& parsed, CookieTime now) {
    if (parsed.maxAge) {
        if (*parsed.maxAge <= 0) {
            return std::numeric_limits<CookieTime>::min();
        }
        const CookieTime limit = std::numeric_limits<CookieTime>::max();
        return *parsed.maxAge > limit - now ? limit : now + *parsed.maxAge;
    }
    return parsed.expires;
}

bool Expired(const CookieJar::Cookie& cookie, CookieTime now) {
    return cookie.expiresAt && *cookie.expiresAt <= now;
}

bool PortAllowed(const CookieJar::Cookie& cookie, int port) {
    return !cookie.ports ||
           std::find(cookie.ports->begin(), cookie.ports->end(), port) != cookie.ports->end();
}

}  // namespace

CookieTime CookieNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void CookieJar::TakeCookies(const HttpHeaders& headers, std::string_view host,
                            std::string_view requestPath, int port, CookieTime now) {
    for (const HttpHeader& header : headers.All()) {
        if (!AnsiSameText(header.name, "Set-cookie") &&
            !AnsiSameText(header.name, "Set-cookie2")) {
            continue;
        }
        for (const ParsedCookie& parsed : ParseSetCookie(header.value)) {
            TakeCookie(parsed, host, requestPath, port, now);
        }
    }
}

void CookieJar::TakeCookie(const ParsedCookie& parsed, std::string_view host,
                           std::string_view requestPath, int port, CookieTime now) {
    Cookie cookie;
    cookie.name = parsed.name;
    cookie.value = parsed.value;
    if (parsed.domain) {
        // A server may set cookies only for a domain that it belongs to itself.
        if (!DomainMatches(host, *parsed.domain)) {
            return;
        }
        cookie.domain = *parsed.domain;
        cookie.hostOnly = false;
    } else {
        cookie.domain = std::string(host);
    }
    cookie.path = parsed.path && !parsed.path->empty() && parsed.path->front() == '/'
                      ? *parsed.path
                      : DefaultPath(requestPath);
    cookie.expiresAt = ExpiryOf(parsed, now);
    cookie.ports = ReadPortList(parsed.portList, port);
    cookie.secure = parsed.secure;
    if (!PortAllowed(cookie, port)) {
        return;
    }

    std::erase_if(cookies_, [&](const Cookie& old) {
        return old.name == cookie.name && old.path == cookie.path &&
               AnsiSameText(old.domain, cookie.domain);
    });
    if (Expired(cookie, now)) {
        return;  // an expiry in the past only deletes
    }
    cookies_.push_back(std::move(cookie));
    if (cookies_.size() > kMaxCookies) {
        cookies_.erase(cookies_.begin());
    }
}

std::string CookieJar::CookieHeader(std::string_view host, std::string_view requestPath, int port,
                                    CookieTime now) {
    std::erase_if(cookies_, [now](const Cookie& cookie) { return Expired(cookie, now); });
    std::vector<const Cookie*> chosen;
    for (const Cookie& cookie : cookies_) {
        const bool domainOk = cookie.hostOnly ? AnsiSameText(host, cookie.domain)
                                              : DomainMatches(host, cookie.domain);
        // Connections are never secure, so secure cookies never go out.
        if (domainOk && !cookie.secure && !cookie.value.empty() &&
            requestPath.starts_with(cookie.path) && PortAllowed(cookie, port)) {
            chosen.push_back(&cookie);
        }
    }
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const Cookie* a, const Cookie* b) { return a->path > b->path; });
    std::string header;
    for (const Cookie* cookie : chosen) {
        if (!header.empty()) {
            header += "; ";
        }
        header.append(cookie->name).append("=").append(cookie->value);
    }
    return header;
}
