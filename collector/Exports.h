// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results as the teacher takes them away: JSON for programs, CSV for spreadsheets, and
// the small JSON document that keeps the page up to date.

#include <cstdint>
#include <string>
#include <vector>

#include "collector/ResultStore.h"

// Points from res (points times 10000), exact, without trailing zeros: 35000 gives "3.5".
std::string PointsText(std::int64_t res, char decimalPoint);

// An array of objects with the keys received, station, group, user, points and mark.
std::string ResultsJson(const std::vector<StoredResult>& rows);
// One object of that array.
std::string ResultJson(const StoredResult& row);

// The CSV's first line (with the byte-order mark) and one line per row.
std::string CsvHead();
std::string CsvLine(const StoredResult& row);

// UTF-8 with a byte-order mark, ";" between fields, CR LF line ends, a decimal comma.
std::string ResultsCsv(const std::vector<StoredResult>& rows);

