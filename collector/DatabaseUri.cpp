// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/DatabaseUri.h"

#include <vector>

#include "collector/ResultQuery.h"

namespace {

constexpr std::string_view kHidden = "***";

// Where the user part of a URI ends ('@'), or npos when the URI has none. As libpq reads it:
// the authority ends at the first '/'.
std::size_t UserPartEnd(std::string_view uri, std::size_t start) {
    for (std::size_t at = start; at < uri.size(); ++at) {
        if (uri[at] == '@') {
            return at;
        }
        if (uri[at] == '/') {
            return std::string_view::npos;
        }
    }
    return std::string_view::npos;
}

// The password parts of the URI as written (still percent-encoded): after the user name, and
// every password= parameter.
std::vector<std::string_view> WrittenPasswords(std::string_view uri) {
    std::vector<std::string_view> found;
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string_view::npos) {
        return found;
    }
    const std::size_t start = scheme + 3;
    const std::size_t at = UserPartEnd(uri, start);
    if (at != std::string_view::npos) {
        const std::size_t colon = uri.substr(start, at - start).find(':');
        if (colon != std::string_view::npos) {
            found.push_back(uri.substr(start + colon + 1, at - start - colon - 1));
        }
    }
    const std::size_t question = uri.find('?', start);
    if (question == std::string_view::npos) {
        return found;
    }
    std::string_view query = uri.substr(question + 1);
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        if (pair.starts_with("password=")) {
            found.push_back(pair.substr(9));
        }
        if (end == std::string_view::npos) {
            break;
        }
        query.remove_prefix(end + 1);
    }
    return found;
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    if (what.empty()) {
        return;
    }
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
}

// Every "scheme://user:password@" in the text loses its password.
void StripUserPasswords(std::string& text) {
    for (std::size_t scheme = text.find("://"); scheme != std::string::npos;
         scheme = text.find("://", scheme + 3)) {
        const std::size_t start = scheme + 3;
        std::size_t end = start;
        while (end < text.size() && text[end] != '@' && text[end] != '/' && text[end] != ' ') {
            ++end;
        }
        if (end == text.size() || text[end] != '@') {
            continue;
        }
        const std::size_t colon = text.find(':', start);
        if (colon < end) {
            text.erase(colon, end - colon);
        }
    }
}

// Every "password=VALUE" (a URI parameter or a connection string's keyword) loses its value.
void StripPasswordParameters(std::string& text) {
    constexpr std::string_view kKey = "password=";
    for (std::size_t at = text.find(kKey); at != std::string::npos;
         at = text.find(kKey, at + kKey.size())) {
        const std::size_t start = at + kKey.size();
        std::size_t end = start;
        while (end < text.size() && text[end] != '&' && text[end] != ' ' && text[end] != '"') {
            ++end;
        }
        text.replace(start, end - start, kHidden);
    }
}

}  // namespace

std::string UriPassword(std::string_view uri) {
    const auto written = WrittenPasswords(uri);
    return written.empty() ? std::string() : PercentDecode(written.front());
}

std::string UriWithoutPassword(std::string_view uri) {
    std::string text(uri);
    StripUserPasswords(text);
    StripPasswordParameters(text);
    return text;
}

std::string RedactPassword(std::string_view text, std::string_view uri) {
    std::string redacted(text);
    StripUserPasswords(redacted);
    StripPasswordParameters(redacted);
    for (const std::string_view written : WrittenPasswords(uri)) {
        ReplaceAll(redacted, written, kHidden);
        ReplaceAll(redacted, PercentDecode(written), kHidden);
    }
    return redacted;
}
