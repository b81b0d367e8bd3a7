// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ExportAnswers.h"

#include <filesystem>
#include <fstream>

#include "collector/Exports.h"
#include "collector/ReceivedTime.h"
#include "collector/ResultQuery.h"
#include "collector/Session.h"
#include "collector/StreamPipe.h"
#include "collector/XlsxExport.h"

namespace {

HttpAnswer ExportHead(const std::string& contentType, const std::string& fileName) {
    HttpAnswer answer;
    answer.ContentType = contentType;
    AddPageHeaders(answer);
    if (!fileName.empty()) {
        answer.Headers.emplace_back("Content-Disposition",
                                    "attachment; filename=\"" + fileName + "\"");
    }
    return answer;
}

bool StreamRows(StreamedAnswer& out, ResultStore& store, const ResultFilter& filter,
                ExportFormat format) {
    bool first = true;
    bool open = out.Write(format == ExportFormat::Csv ? CsvHead() : "[");
    const bool read = store.ForEach(filter, [&](const StoredResult& row) {
        if (format == ExportFormat::Csv) {
            open = out.Write(CsvLine(row));
        } else {
            open = out.Write((first ? "" : ",") + ResultJson(row));
        }
        first = false;
        return open;
    });
    return read && open && (format == ExportFormat::Csv || out.Write("]"));
}

// The workbook is written to a temporary file (in constant memory) and sent from there.
bool StreamWorkbook(StreamedAnswer& out, ResultStore& store, const ResultFilter& filter) {
    std::error_code ignored;
    const std::filesystem::path file = std::filesystem::temp_directory_path(ignored) /
                                       ("tezra-results-" + RandomToken().substr(0, 16) + ".xlsx");
    std::string error;
    bool ok = WriteResultsXlsx(store, filter, file, error);
    std::ifstream in(file, std::ios::binary);
    std::string piece(StreamedAnswer::kPiece, '\0');
    while (ok && in) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        ok = out.Write(std::string_view(piece.data(), static_cast<std::size_t>(in.gcount())));
    }
    ok = ok && in.eof();
    std::filesystem::remove(file, ignored);
    return ok;
}

}  // namespace

void AddPageHeaders(HttpAnswer& answer) {
    answer.Headers.emplace_back("Cache-Control", "no-store");
    answer.Headers.emplace_back("X-Content-Type-Options", "nosniff");
    answer.Headers.emplace_back("Referrer-Policy", "no-referrer");
    // The page loads nothing but its own files and talks to nobody but this server.
    answer.Headers.emplace_back("Content-Security-Policy",
                                "default-src 'none'; script-src 'self'; style-src 'self'; "
                                "connect-src 'self'; img-src 'self'; base-uri 'none'; "
                                "form-action 'self'; frame-ancestors 'none'");
}

void AnswerExport(HttpServer& server, std::uint64_t connection, ResultStore& store,
                  const std::string& query, ExportFormat format) {
    ResultFilter filter;
    filter.Group = FormParameter(query, "group");
    filter.Collector = FormParameter(query, "collector");
    filter.Date = FormParameter(query, "date");
    if (!filter.Date.empty() && !IsIsoDate(filter.Date)) {
        return server.Answer(connection, TextAnswer(400, "date must be YYYY-MM-DD"));
    }
    const std::string day = filter.Date.empty() ? "all" : filter.Date;
    switch (format) {
        case ExportFormat::Csv: {
            StreamedAnswer out(server, connection,
                               ExportHead("text/csv; charset=utf-8", "results-" + day + ".csv"));
            out.Finish(StreamRows(out, store, filter, format));
            return;
        }
        case ExportFormat::Json: {
            StreamedAnswer out(server, connection,
                               ExportHead("application/json; charset=utf-8", ""));
            out.Finish(StreamRows(out, store, filter, format));
            return;
        }
        case ExportFormat::Xlsx: {
            StreamedAnswer out(
                server, connection,
                ExportHead("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
                           "results-" + day + ".xlsx"));
            out.Finish(StreamWorkbook(out, store, filter));
            return;
        }
    }
}
