// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TeacherAccess.h"

#include <fstream>
#include <random>

#include "platform/TextUtils.h"

namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

}  // namespace

std::optional<std::string> DecodeBase64Text(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && text.size() > padding && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    std::string decoded;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return decoded;
}

bool ConstantTimeEquals(std::string_view given, std::string_view expected) {
    unsigned difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char g = i < given.size() ? given[i] : 0;
        difference |= static_cast<unsigned char>(g ^ expected[i]);
    }
    return difference == 0;
}

namespace {

// The "user:password" of a Basic Authorization header value.
std::optional<std::string> BasicCredentials(std::string_view header) {
    header = TrimView(header);
    const std::size_t space = header.find(' ');
    if (space == std::string_view::npos) {
        return std::nullopt;
    }
    std::string scheme(header.substr(0, space));
    for (char& c : scheme) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    auto credentials = DecodeBase64Text(TrimView(header.substr(space + 1)));
    if (scheme != "basic" || !credentials || credentials->find(':') == std::string::npos) {
        return std::nullopt;
    }
    return credentials;
}

bool SameText(std::string_view a, std::string_view b) {
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

// The host and port an Origin names, without its scheme and without a default port.
std::string_view OriginHost(std::string_view origin) {
    const std::size_t scheme = origin.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    const bool https = SameText(origin.substr(0, scheme), "https");
    std::string_view host = origin.substr(scheme + 3);
    const std::string_view defaultPort = https ? ":443" : ":80";
    if (host.ends_with(defaultPort)) {
        host.remove_suffix(defaultPort.size());
    }
    return host;
}

std::string_view WithoutPort(std::string_view host, std::string_view port) {
    return host.ends_with(port) ? host.substr(0, host.size() - port.size()) : host;
}

}  // namespace

bool AuthorizationAllows(std::string_view header, std::string_view password) {
    const auto credentials = BasicCredentials(header);
    if (!credentials) {
        return false;
    }
    const std::size_t colon = credentials->find(':');
    return ConstantTimeEquals(std::string_view(*credentials).substr(colon + 1), password);
}

std::string BasicUserName(std::string_view header) {
    const auto credentials = BasicCredentials(header);
    return credentials ? credentials->substr(0, credentials->find(':')) : std::string();
}

bool FromOwnOrigin(const RequestHead& head) {
    const std::string_view site = TrimView(head.FetchSite);
    if (!site.empty() && !SameText(site, "same-origin") && !SameText(site, "none")) {
        return false;
    }
    if (head.Origin.empty()) {
        return true;
    }
    const std::string_view origin = OriginHost(TrimView(head.Origin));
    const std::string_view host = TrimView(head.Host);
    return !origin.empty() &&
           (SameText(origin, host) || SameText(origin, WithoutPort(host, ":80")) ||
            SameText(origin, WithoutPort(host, ":443")));
}

TeacherDecision TeacherGate::Check(const RequestHead& head, const std::string& peer, bool write,
                                   std::int64_t nowMs) {
    TeacherDecision decision;
    if (write && !FromOwnOrigin(head)) {
        decision.Verdict = TeacherVerdict::ForeignOrigin;
        return decision;
    }
    const std::string_view token = CookieValue(head.Cookie, SessionTable::kCookieName);
    if (auto who = token.empty() ? std::nullopt : sessions_.Find(token, nowMs)) {
        decision.Verdict = TeacherVerdict::Allowed;
        decision.Who = std::move(*who);
        return decision;
    }
    if (head.Authorization.empty()) {
        return decision;
    }
    decision.WaitMs = backoff_.WaitFor(peer, nowMs);
    if (decision.WaitMs > 0) {
        decision.Verdict = TeacherVerdict::MustWait;
        return decision;
    }
    if (!AuthorizationAllows(head.Authorization, password_)) {
        backoff_.Failed(peer, nowMs);
        decision.Verdict = TeacherVerdict::WrongPassword;
        return decision;
    }
    backoff_.Succeeded(peer);
    decision.Verdict = TeacherVerdict::Allowed;
    decision.Who = BasicUserName(head.Authorization) + "@" + peer;
    const std::string_view path = head.Path();
    if (head.Method == "GET" && (path == "/" || path == "/index.html")) {
        // Only the page itself opens a session: programs that send the password with every
        // request do not fill the table.
        decision.SetCookie =
            std::string(SessionTable::kCookieName) + "=" + sessions_.Create(decision.Who, nowMs) +
            "; Path=/; HttpOnly; SameSite=Strict" + (secureCookie_ ? "; Secure" : "");
    }
    return decision;
}

bool TeacherGate::MayUpload(const RequestHead& head, std::int64_t nowMs) {
    const std::string_view token = CookieValue(head.Cookie, SessionTable::kCookieName);
    if (!token.empty() && sessions_.Find(token, nowMs)) {
        return true;
    }
    return AuthorizationAllows(head.Authorization, password_);
}

HttpAnswer TeacherGate::Refusal(const TeacherDecision& decision, const RequestHead& head) {
    switch (decision.Verdict) {
        case TeacherVerdict::ForeignOrigin:
            return TextAnswer(403, "Изменения принимаются только со страницы учителя.");
        case TeacherVerdict::MustWait: {
            const std::int64_t seconds = (decision.WaitMs + 999) / 1000;
            HttpAnswer answer =
                TextAnswer(429, "Слишком много неверных паролей с этого адреса: подождите " +
                                    std::to_string(seconds) + " с.");
            answer.Headers.emplace_back("Retry-After", std::to_string(seconds));
            return answer;
        }
        default:
            break;
    }
    HttpAnswer answer = TextAnswer(401, "Нужен пароль учителя.");
    // The page's own requests get no challenge, so that a browser shows no login prompt
    // over the page; the page tells the teacher to log in again instead.
    const std::string_view mode = TrimView(head.FetchMode);
    if (mode.empty() || SameText(mode, "navigate")) {
        answer.Headers.emplace_back("WWW-Authenticate",
                                    "Basic realm=\"Tezra collector\", charset=\"UTF-8\"");
    }
    return answer;
}

std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    std::string password = Trim(line);
    if (password.empty()) {
        return std::nullopt;
    }
    return password;
}

std::string GeneratePassword(std::size_t length) {
    static constexpr std::string_view kAlphabet = "abcdefghijkmnpqrstuvwxyz23456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string password;
    for (std::size_t i = 0; i < length; ++i) {
        password += kAlphabet[pick(device)];
    }
    return password;
}
