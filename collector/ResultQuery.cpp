// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ResultQuery.h"

#include <array>
#include <charconv>

#include "platform/Cp1251.h"
#include "platform/Numbers.h"

namespace {

constexpr std::array<std::string_view, 4> kFields = {"group", "user", "res", "mark"};

struct FieldValues {
    std::array<std::string_view, 4> values;
    std::array<bool, 4> present{};
};

// Where "&name=" of a known field begins at or after from; npos when none does.
std::size_t NextFieldStart(std::string_view query, std::size_t from, std::size_t& field) {
    for (std::size_t at = query.find('&', from); at != std::string_view::npos;
         at = query.find('&', at + 1)) {
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            const std::string_view rest = query.substr(at + 1);
            if (rest.starts_with(kFields[i]) && rest.substr(kFields[i].size()).starts_with("=")) {
                field = i;
                return at;
            }
        }
    }
    return std::string_view::npos;
}

// The station's own order: group first, then the surname up to the last "&res=" that is
// followed by "&mark=". Surnames with raw "&" or "=" are read whole this way.
bool SplitInStationOrder(std::string_view query, FieldValues& fields) {
    if (!query.starts_with("group=")) {
        return false;
    }
    const std::size_t mark = query.rfind("&mark=");
    const std::size_t res = mark == std::string_view::npos ? mark : query.rfind("&res=", mark);
    const std::size_t user = query.find("&user=");
    if (res == std::string_view::npos || user == std::string_view::npos || user > res) {
        return false;
    }
    fields.values = {query.substr(6, user - 6), query.substr(user + 6, res - user - 6),
                     query.substr(res + 5, mark - res - 5), query.substr(mark + 6)};
    fields.present = {true, true, true, true};
    return true;
}

// Any other order: a value runs up to the next "&field=" of a known field; a field given
// twice keeps its first value.
void SplitByFieldNames(std::string_view query, FieldValues& fields) {
    std::size_t field = kFields.size();
    std::size_t start = 0;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        if (query.starts_with(kFields[i]) && query.substr(kFields[i].size()).starts_with("=")) {
            field = i;
            start = kFields[i].size() + 1;
        }
    }
    if (field == kFields.size()) {
        std::size_t next = 0;
        const std::size_t at = NextFieldStart(query, 0, next);
        if (at == std::string_view::npos) {
            return;
        }
        field = next;
        start = at + 1 + kFields[next].size() + 1;
    }
    while (true) {
        std::size_t next = kFields.size();
        const std::size_t end = NextFieldStart(query, start, next);
        if (!fields.present[field]) {
            fields.values[field] = query.substr(start, end - start);
            fields.present[field] = true;
        }
        if (end == std::string_view::npos) {
            return;
        }
        field = next;
        start = end + 1 + kFields[next].size() + 1;
    }
}

bool ParseInteger(std::string_view text, std::int64_t& value) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

}  // namespace

const char* to_string(QueryError error) {
    switch (error) {
        case QueryError::None:
            return "ok";
        case QueryError::MissingField:
            return "group, user, res and mark are required";
        case QueryError::BadRes:
            return "res must be a whole number";
        case QueryError::BadMark:
            return "mark must be a whole number from 1 to 5";
    }
    return "bad query";
}

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            decoded +=
                static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else if (text[i] == '+' && plusIsSpace) {
            decoded += ' ';
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

QueryError ParseStationQuery(std::string_view query, StationResult& result) {
    FieldValues fields;
    if (!SplitInStationOrder(query, fields)) {
        SplitByFieldNames(query, fields);
    }
    for (const bool present : fields.present) {
        if (!present) {
            return QueryError::MissingField;
        }
    }
    result.Group = Cp1251ToUtf8(PercentDecode(fields.values[0]));
    result.User = Cp1251ToUtf8(PercentDecode(fields.values[1]));
    if (!ParseInteger(PercentDecode(fields.values[2]), result.Res)) {
        return QueryError::BadRes;
    }
    std::int64_t mark = 0;
    if (!ParseInteger(PercentDecode(fields.values[3]), mark) || mark < 1 || mark > 5) {
        return QueryError::BadMark;
    }
    result.Mark = static_cast<int>(mark);
    return QueryError::None;
}

std::string FormParameter(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (PercentDecode(pair.substr(0, equals), true) == name) {
            return equals == std::string_view::npos ? std::string()
                                                    : PercentDecode(pair.substr(equals + 1), true);
        }
        if (end == std::string_view::npos) {
            break;
        }
        query.remove_prefix(end + 1);
    }
    return {};
}
