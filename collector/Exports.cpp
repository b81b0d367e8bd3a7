// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/Exports.h"

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::ordered_json;

std::string Dump(const json& value) {
    // Text from stations is valid UTF-8 by construction; replace anything that is not
    // rather than fail the export.
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json PointsNumber(std::int64_t res) {
    return json::parse(PointsText(res, '.'));
}

json RowObject(const StoredResult& row) {
    return {{"received", row.ReceivedLocal},
            {"station", row.Station},
            {"group", row.Group},
            {"user", row.User},
            {"points", PointsNumber(row.Res)},
            {"mark", row.Mark}};
}

// A text field for a spreadsheet: quoted when it holds the separator, a quote or a line
// break, and kept from being read as a formula when it starts like one.
std::string CsvField(const std::string& text) {
    std::string field = text;
    if (!field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string::npos) {
        field.insert(0, 1, '\'');
    }
    if (field.find_first_of(";\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

}  // namespace

std::string PointsText(std::int64_t res, char decimalPoint) {
    const bool negative = res < 0;
    // Work on the magnitude as unsigned, so that the smallest 64-bit value has one too.
    const std::uint64_t magnitude =
        negative ? ~static_cast<std::uint64_t>(res) + 1 : static_cast<std::uint64_t>(res);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    return fraction.empty() ? text : text + decimalPoint + fraction;
}

std::string ResultsJson(const std::vector<StoredResult>& rows) {
    json array = json::array();
    for (const StoredResult& row : rows) {
        array.push_back(RowObject(row));
    }
    return Dump(array);
}

std::string ResultJson(const StoredResult& row) {
    return Dump(RowObject(row));
}

std::string CsvHead() {
    // The byte-order mark tells Excel the text is UTF-8.
    return "\xEF\xBB\xBFВремя;Станция;Класс;Фамилия;Баллы;Оценка\r\n";
}

std::string CsvLine(const StoredResult& row) {
    std::string time = row.ReceivedLocal.substr(0, 19);
    if (time.size() > 10) {
        time[10] = ' ';
    }
    return time + ";" + CsvField(row.Station) + ";" + CsvField(row.Group) + ";" +
           CsvField(row.User) + ";" + PointsText(row.Res, ',') + ";" + std::to_string(row.Mark) +
           "\r\n";
}

std::string ResultsCsv(const std::vector<StoredResult>& rows) {
    std::string csv = CsvHead();
    for (const StoredResult& row : rows) {
        csv += CsvLine(row);
    }
    return csv;
}

