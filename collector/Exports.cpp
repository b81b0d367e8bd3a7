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

std::string ResultsCsv(const std::vector<StoredResult>& rows) {
    std::string csv = "\xEF\xBB\xBF";  // the byte-order mark tells Excel the text is UTF-8
    csv += "Время;Станция;Класс;Фамилия;Баллы;Оценка\r\n";
    for (const StoredResult& row : rows) {
        std::string time = row.ReceivedLocal.substr(0, 19);
        if (time.size() > 10) {
            time[10] = ' ';
        }
        csv += time + ";" + CsvField(row.Station) + ";" + CsvField(row.Group) + ";" +
               CsvField(row.User) + ";" + PointsText(row.Res, ',') + ";" +
               std::to_string(row.Mark) + "\r\n";
    }
    return csv;
}

std::string PageUpdateJson(const std::string& today, const std::vector<std::string>& groups,
                           const std::vector<StoredResult>& rows, bool more) {
    json list = json::array();
    for (const StoredResult& row : rows) {
        json object = {{"id", row.Id}};
        object.update(RowObject(row));
        object["source"] = row.Source;  // the page marks results that came in a journal
        list.push_back(std::move(object));
    }
    return Dump({{"today", today}, {"groups", groups}, {"rows", list}, {"more", more}});
}
