// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's exports as answers: rows are read from the database and sent as they come,
// so that an export of months of results takes little memory.

#include <cstdint>
#include <string>

#include "collector/HttpServer.h"
#include "collector/ResultStore.h"

enum class ExportFormat { Csv, Json, Xlsx };

// The headers of everything the page gets: no caching, no sniffing, a strict CSP.
void AddPageHeaders(HttpAnswer& answer);

// Answers an export request (its query holds the page's filters); runs on a worker thread.
void AnswerExport(HttpServer& server, std::uint64_t connection, ResultStore& store,
                  const std::string& query, ExportFormat format);
