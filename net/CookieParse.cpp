// SPDX-License-Identifier: GPL-3.0-or-later
// Reading of Set-Cookie and Set-Cookie2 header values and of cookie dates.

#include <algorithm>
#include <array>
#include <charconv>

#include "net/CookieJar.h"
#include "platform/Cp1251.h"
#include "platform/TextUtils.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Control bytes other than tab: a cookie holding one is ignored, so that nothing a server
// sets can break a later request's header lines.
bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

// Whether the text after a comma starts a new "name=" pair.
bool StartsNewCookie(std::string_view rest) {
    std::size_t i = 0;
    while (i < rest.size() && IsBlank(rest[i])) {
        ++i;
    }
    const std::size_t nameStart = i;
    while (i < rest.size() && rest[i] != '=' && rest[i] != ';' && rest[i] != ',' &&
           !IsBlank(rest[i])) {
        ++i;
    }
    return i > nameStart && i < rest.size() && rest[i] == '=';
}

// Splits text at the separator wherever it stands outside double quotes; for commas only
// where a new cookie starts.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == separator && !quoted &&
                   (separator != ',' || StartsNewCookie(text.substr(i + 1)))) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string Unquote(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

std::optional<std::int64_t> ParseSeconds(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

void ApplyAttribute(ParsedCookie& cookie, std::string_view name, std::string_view value) {
    if (AnsiSameText(name, "expires")) {
        cookie.expires = ParseCookieDate(value);
    } else if (AnsiSameText(name, "max-age")) {
        cookie.maxAge = ParseSeconds(Unquote(value));
    } else if (AnsiSameText(name, "domain")) {
        std::string domain = Unquote(value);
        while (!domain.empty() && domain.front() == '.') {
            domain.erase(0, 1);
        }
        if (!domain.empty()) {
            cookie.domain = domain;
        }
    } else if (AnsiSameText(name, "path")) {
        cookie.path = Unquote(value);
    } else if (AnsiSameText(name, "secure")) {
        cookie.secure = true;
    } else if (AnsiSameText(name, "port")) {
        cookie.portList = Unquote(value);
    }
}

std::optional<ParsedCookie> ParseOneCookie(std::string_view text) {
    const std::vector<std::string_view> parts = SplitOutsideQuotes(text, ';');
    const std::string_view pair = parts.front();
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    ParsedCookie cookie;
    cookie.name = Trim(pair.substr(0, equals));
    cookie.value = Trim(pair.substr(equals + 1));
    if (cookie.name.empty() || HasControl(cookie.name) || HasControl(cookie.value)) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::size_t attributeEquals = parts[i].find('=');
        const std::string_view name = TrimView(parts[i].substr(0, attributeEquals));
        const std::string_view value = attributeEquals == std::string_view::npos
                                           ? std::string_view()
                                           : TrimView(parts[i].substr(attributeEquals + 1));
        ApplyAttribute(cookie, name, value);
    }
    return cookie;
}

// --- dates --------------------------------------------------------------------------------

bool IsDateDelimiter(unsigned char c) {
    return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
           (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads minDigits to maxDigits digits at the start of token into value; the count read, or 0.
std::size_t ReadDigits(std::string_view token, std::size_t minDigits, std::size_t maxDigits,
                       int& value) {
    std::size_t count = 0;
    value = 0;
    while (count < token.size() && IsDigit(token[count])) {
        if (count == maxDigits) {
            return 0;
        }
        value = value * 10 + (token[count] - '0');
        ++count;
    }
    return count >= minDigits ? count : 0;
}

bool ParseTime(std::string_view token, int& hour, int& minute, int& second) {
    std::size_t used = ReadDigits(token, 1, 2, hour);
    if (used == 0 || used >= token.size() || token[used] != ':') {
        return false;
    }
    token.remove_prefix(used + 1);
    used = ReadDigits(token, 1, 2, minute);
    if (used == 0 || used >= token.size() || token[used] != ':') {
        return false;
    }
    token.remove_prefix(used + 1);
    return ReadDigits(token, 1, 2, second) != 0;
}

int MonthOf(std::string_view token) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3) {
        return 0;
    }
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (AnsiSameText(token.substr(0, 3), kMonths[i])) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(int year, int month, int day) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

}  // namespace

std::vector<ParsedCookie> ParseSetCookie(std::string_view headerValue) {
    std::vector<ParsedCookie> cookies;
    for (const std::string_view text : SplitOutsideQuotes(headerValue, ',')) {
        if (std::optional<ParsedCookie> cookie = ParseOneCookie(text)) {
            cookies.push_back(std::move(*cookie));
        }
    }
    return cookies;
}

std::optional<CookieTime> ParseCookieDate(std::string_view text) {
    bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsDateDelimiter(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !IsDateDelimiter(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        const std::string_view token = text.substr(start, i - start);
        if (token.empty()) {
            continue;
        }
        int value = 0;
        if (!haveTime && ParseTime(token, hour, minute, second)) {
            haveTime = true;
        } else if (!haveDay && ReadDigits(token, 1, 2, value) != 0) {
            haveDay = true;
            day = value;
        } else if (!haveMonth && MonthOf(token) != 0) {
            haveMonth = true;
            month = MonthOf(token);
        } else if (!haveYear && ReadDigits(token, 2, 4, value) != 0) {
            haveYear = true;
            year = value;
        }
    }
    if (!haveTime || !haveDay || !haveMonth || !haveYear) {
        return std::nullopt;
    }
    if (year >= 70 && year <= 99) {
        year += 1900;
    } else if (year <= 69) {
        year += 2000;
    }
    if (year < 1601 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 59) {
        return std::nullopt;
    }
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}
