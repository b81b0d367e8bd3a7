// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/HttpParse.h"

#include <charconv>
#include <limits>

#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/TextUtils.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where to break an over-long header line: the last blank within the limit, else the first
// blank after it; npos when there is none past the start of the line.
std::size_t FoldPoint(std::string_view line, std::size_t minimum) {
    for (std::size_t i = kHeaderFoldLength; i > minimum; --i) {
        if (IsBlank(line[i])) {
            return i;
        }
    }
    for (std::size_t i = kHeaderFoldLength + 1; i < line.size(); ++i) {
        if (IsBlank(line[i])) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace

void AppendHeaderLine(std::string& out, std::string_view name, std::string_view value) {
    std::string line;
    line.reserve(name.size() + 2 + value.size());
    line.append(name).append(": ").append(value);
    // The first break may not fall inside "name:"; a continuation may break after its blank.
    std::size_t minimum = name.size() + 1;
    while (line.size() > kHeaderFoldLength) {
        const std::size_t point = FoldPoint(line, minimum);
        if (point == std::string_view::npos) {
            break;
        }
        out.append(line, 0, point).append("\r\n");
        std::size_t restStart = point;
        while (restStart < line.size() && IsBlank(line[restStart])) {
            ++restStart;
        }
        line.replace(0, restStart, 1, ' ');
        minimum = 0;
    }
    out.append(line).append("\r\n");
}

std::string BuildRequest(std::string_view target, std::string_view host, std::string_view portText,
                         bool basicAuthorization, std::string_view cookies) {
    std::string request;
    request.reserve(160 + target.size() + host.size() + cookies.size());
    request.append("GET ").append(target).append(" HTTP/1.1\r\n");
    AppendHeaderLine(request, "Content-Type", "text/html");
    std::string hostValue(host);
    if (portText != "80") {
        hostValue.append(":").append(portText);
    }
    AppendHeaderLine(request, "Host", hostValue);
    AppendHeaderLine(request, "Accept", "text/html, */*");
    AppendHeaderLine(request, "User-Agent", "Mozilla/3.0 (compatible; Indy Library)");
    if (basicAuthorization) {
        // Base64 of ":" - the user name and the password are both empty.
        AppendHeaderLine(request, "Authorization", "Basic Og==");
    }
    if (!cookies.empty()) {
        AppendHeaderLine(request, "Cookie", cookies);
    }
    request.append("\r\n");
    return request;
}

int ParseStatusCode(std::string_view statusLine) {
    const std::size_t firstSpace = statusLine.find(' ');
    if (firstSpace == std::string_view::npos) {
        return -1;
    }
    std::string_view word = statusLine.substr(firstSpace + 1);
    word = word.substr(0, word.find(' '));
    int code = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), code);
    if (word.empty() || error != std::errc() || end != word.data() + word.size()) {
        return -1;
    }
    return code;
}

std::int32_t ParseChunkSize(std::string_view line) {
    const std::string_view word = line.substr(0, line.find(' '));
    if (word.empty()) {
        return 0;
    }
    std::uint64_t value = 0;
    for (const char c : word) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return 0;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return 0;
        }
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int64_t> ParseContentLength(std::string_view value) {
    const std::string_view text = TrimView(value);
    std::int64_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || length < 0) {
        return std::nullopt;
    }
    return length;
}

bool IsChunked(std::string_view transferEncoding) {
    return transferEncoding.find("chunked") != std::string_view::npos;
}

bool OffersBasic(const HttpHeaders& headers) {
    for (const HttpHeader& header : headers.All()) {
        if (!AnsiSameText(header.name, "WWW-Authenticate")) {
            continue;
        }
        // A challenge list: each comma-separated part that starts a challenge begins with
        // its scheme name.
        std::string_view rest = header.value;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            const std::string_view part = TrimView(rest.substr(0, comma));
            const std::string_view scheme = part.substr(0, part.find_first_of(" \t"));
            if (AnsiSameText(scheme, "Basic")) {
                return true;
            }
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    }
    return false;
}

bool KeepsConnection(const HttpHeaders& headers) {
    return !AnsiSameText(TrimView(headers.Value("Connection")), "close") &&
           !AnsiSameText(TrimView(headers.Value("Proxy-Connection")), "close");
}

bool HasLocation(const HttpHeaders& headers) {
    for (const HttpHeader& header : headers.All()) {
        if (AnsiSameText(header.name, "Location") && !header.value.empty()) {
            return true;
        }
    }
    return false;
}
