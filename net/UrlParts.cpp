// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/UrlParts.h"

#include <algorithm>

#include "platform/Numbers.h"

UrlParts SplitUrl(std::string_view url) {
    std::string text(url);
    std::replace(text.begin(), text.end(), '\\', '/');

    UrlParts parts;
    std::size_t start = 0;
    const std::size_t schemeEnd = text.find("://");
    if (schemeEnd != std::string::npos) {
        parts.scheme = text.substr(0, schemeEnd);
        const std::size_t authorityStart = schemeEnd + 3;
        const std::size_t authorityEnd = text.find('/', authorityStart);
        std::string_view authority = std::string_view(text).substr(
            authorityStart,
            authorityEnd == std::string::npos ? std::string::npos : authorityEnd - authorityStart);
        const std::size_t at = authority.rfind('@');
        if (at != std::string_view::npos) {
            authority.remove_prefix(at + 1);
        }
        const std::size_t colon = authority.find(':');
        parts.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            parts.port = std::string(authority.substr(colon + 1));
        }
        start = authorityEnd == std::string::npos ? text.size() : authorityEnd;
    }

    const std::string_view rest = std::string_view(text).substr(start);
    const std::size_t question = rest.find('?');
    const std::string_view beforeQuery = rest.substr(0, question);
    if (question != std::string_view::npos) {
        const std::string_view query = rest.substr(question);
        parts.query = std::string(query.substr(0, query.find('#')));
    }
    const std::size_t lastSlash = beforeQuery.rfind('/');
    if (lastSlash == std::string_view::npos) {
        parts.path.assign(1, '/');  // not = "/": GCC 12 -O2 warns falsely on that
        parts.document = std::string(beforeQuery);
    } else {
        parts.path = std::string(beforeQuery.substr(0, lastSlash + 1));
        parts.document = std::string(beforeQuery.substr(lastSlash + 1));
    }
    return parts;
}

std::optional<int> ParsePort(std::string_view text) {
    const std::optional<std::int32_t> value = ParseInt(text);
    if (!value || *value < 1 || *value > 65535) {
        return std::nullopt;
    }
    return *value;
}

std::string ResolvePort(std::string_view urlPort, std::string_view keptPort) {
    if (!urlPort.empty()) {
        return std::string(urlPort);
    }
    const std::optional<int> kept = ParsePort(keptPort);
    if (!kept || *kept == 80 || *kept == 443) {
        return "80";
    }
    return std::string(keptPort);
}
