// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading the query of a station's result request. Stations write
// "group=G&user=U&res=R&mark=M" in this order; group and surname are cp1251 bytes, raw or
// as %XX escapes, and older stations send spaces, "&" and "=" inside them unescaped. So a
// value ends only where the next field name of the request begins.

#include <cstdint>
#include <string>
#include <string_view>

struct StationResult {
    std::string Group;  // UTF-8
    std::string User;   // UTF-8
    std::int64_t Res = 0;
    int Mark = 0;
};

enum class QueryError { None, MissingField, BadRes, BadMark };

const char* to_string(QueryError error);

// Decodes %XX escapes; a "%" that does not start a valid escape stays as it is. "+" stays
// "+" unless plusIsSpace.
std::string PercentDecode(std::string_view text, bool plusIsSpace = false);

// Reads the station's query (the text after "?"). On error result is left partly filled.
QueryError ParseStationQuery(std::string_view query, StationResult& result);

// One parameter of a browser's query string (UTF-8, percent-encoded, "+" for a space): the
// value of the first parameter with that name, or empty.
std::string FormParameter(std::string_view query, std::string_view name);
