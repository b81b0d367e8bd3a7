// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/RequestHead.h"

#include "platform/TextUtils.h"

namespace {

bool IsTokenChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '_';
}

// One line without its LF and the CR before it.
std::string_view LineAt(std::string_view buffer, std::size_t start, std::size_t end) {
    std::string_view line = buffer.substr(start, end - start);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Whether a comma-separated header value holds the token (letter case ignored).
bool HasToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (SameAscii(TrimView(value.substr(0, comma)), token)) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        value.remove_prefix(comma + 1);
    }
    return false;
}

// Digits only, at most 18 of them; a second Content-Length must say the same.
void TakeContentLength(std::string_view value, RequestHead& head) {
    std::size_t length = 0;
    bool ok = !value.empty() && value.size() <= 18;
    for (const char c : value) {
        ok = ok && c >= '0' && c <= '9';
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!ok || (head.ContentLength != 0 && head.ContentLength != length)) {
        head.BadLength = true;
        return;
    }
    head.ContentLength = length;
}

void TakeHeader(std::string_view name, std::string_view value, RequestHead& head) {
    if (SameAscii(name, "Authorization")) {
        head.Authorization = std::string(value);
    } else if (SameAscii(name, "Cookie")) {
        head.Cookie = std::string(value);
    } else if (SameAscii(name, "Origin")) {
        head.Origin = std::string(value);
    } else if (SameAscii(name, "Host")) {
        head.Host = std::string(value);
    } else if (SameAscii(name, "Sec-Fetch-Site")) {
        head.FetchSite = std::string(value);
    } else if (SameAscii(name, "Sec-Fetch-Mode")) {
        head.FetchMode = std::string(value);
    } else if (SameAscii(name, "X-Tezra-Token")) {
        head.EditorToken = std::string(value);
    } else if (SameAscii(name, "Connection")) {
        if (HasToken(value, "close")) {
            head.KeepAlive = false;
        } else if (HasToken(value, "keep-alive")) {
            head.KeepAlive = true;
        }
    } else if (SameAscii(name, "Transfer-Encoding")) {
        head.HasBody = true;
        head.Chunked = true;
    } else if (SameAscii(name, "Content-Length")) {
        head.HasBody = head.HasBody || value.find_first_not_of('0') != std::string_view::npos;
        TakeContentLength(value, head);
    } else if (SameAscii(name, "Expect")) {
        head.ExpectContinue = HasToken(value, "100-continue");
    }
}

// "http://host:port/path?query" becomes "/path?query", "http://host?q" becomes "/?q" and
// "http://host" becomes "/"; a target in origin form stays as it is.
std::string OriginForm(std::string_view target) {
    for (const std::string_view scheme :
         {std::string_view("http://"), std::string_view("https://")}) {
        if (target.size() >= scheme.size() && SameAscii(target.substr(0, scheme.size()), scheme)) {
            const std::string_view rest = target.substr(scheme.size());
            const std::size_t path = rest.find_first_of("/?");
            if (path == std::string_view::npos) {
                return "/";
            }
            return (rest[path] == '?' ? "/" : "") + std::string(rest.substr(path));
        }
    }
    return std::string(target);
}

}  // namespace

std::string_view RequestHead::Path() const {
    return std::string_view(Target).substr(0, Target.find('?'));
}

std::string_view RequestHead::Query() const {
    const std::size_t mark = Target.find('?');
    return mark == std::string::npos ? std::string_view()
                                     : std::string_view(Target).substr(mark + 1);
}

bool ParseRequestLine(std::string_view line, RequestHead& head) {
    const std::size_t space = line.find(' ');
    // A CR belongs only before the line's LF; one inside the line is no request.
    if (space == 0 || space == std::string_view::npos ||
        line.find('\r') != std::string_view::npos) {
        return false;
    }
    for (const char c : line.substr(0, space)) {
        if (!IsTokenChar(c)) {
            return false;
        }
    }
    constexpr std::string_view kVersion = " HTTP/1.";
    const std::size_t version = line.rfind(kVersion);
    if (version == std::string_view::npos || version <= space ||
        version + kVersion.size() + 1 != line.size()) {
        return false;
    }
    const char minor = line.back();
    if (minor < '0' || minor > '9') {
        return false;
    }
    head.Method = std::string(line.substr(0, space));
    head.Target = OriginForm(line.substr(space + 1, version - space - 1));
    head.Minor = minor - '0';
    head.KeepAlive = head.Minor >= 1;
    return !head.Target.empty();
}

HeadParse ParseRequestHead(std::string_view buffer, const RequestLimits& limits,
                           RequestHead& head) {
    HeadParse parse;
    std::size_t start = 0;
    while (start < buffer.size() && (buffer[start] == '\r' || buffer[start] == '\n')) {
        ++start;
    }
    const std::size_t lineEnd = buffer.find('\n', start);
    if (lineEnd == std::string_view::npos) {
        if (buffer.size() - start > limits.MaxLine + 1) {
            parse.Status = HeadStatus::LineTooLong;
        }
        return parse;
    }
    const std::string_view requestLine = LineAt(buffer, start, lineEnd);
    if (requestLine.size() > limits.MaxLine) {
        parse.Status = HeadStatus::LineTooLong;
        return parse;
    }
    head = RequestHead();
    if (!ParseRequestLine(requestLine, head)) {
        parse.Status = HeadStatus::Bad;
        return parse;
    }
    std::size_t headers = 0;
    for (std::size_t at = lineEnd + 1;;) {
        const std::size_t end = buffer.find('\n', at);
        if (end == std::string_view::npos || end - start > limits.MaxHead) {
            const bool tooLarge =
                (end == std::string_view::npos ? buffer.size() : end) - start > limits.MaxHead;
            parse.Status = tooLarge ? HeadStatus::HeadTooLarge : HeadStatus::Incomplete;
            return parse;
        }
        const std::string_view line = LineAt(buffer, at, end);
        at = end + 1;
        if (line.empty()) {
            parse.Status = HeadStatus::Complete;
            parse.Consumed = at;
            return parse;
        }
        if (++headers > limits.MaxHeaders) {
            parse.Status = HeadStatus::HeadTooLarge;
            return parse;
        }
        if (line.front() == ' ' || line.front() == '\t') {
            continue;  // a folded continuation: no header this server reads needs one
        }
        const std::size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos) {
            parse.Status = HeadStatus::Bad;
            return parse;
        }
        TakeHeader(line.substr(0, colon), TrimView(line.substr(colon + 1)), head);
    }
}
