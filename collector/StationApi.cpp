// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/StationApi.h"

#include <nlohmann/json.hpp>

#include "collector/ReceivedTime.h"
#include "collector/ReportLogImport.h"
#include "collector/ResultQuery.h"
#include "collector/TeacherAccess.h"
#include "tools/sync/PlainNames.h"
#include "tools/sync/SyncProtocol.h"

namespace {

using Json = nlohmann::ordered_json;

HttpAnswer StationAnswer(int status, std::string contentType, std::string body) {
    HttpAnswer answer;
    answer.Status = status;
    answer.ContentType = std::move(contentType);
    answer.Body = std::move(body);
    answer.Headers.emplace_back("Cache-Control", "no-store");
    return answer;
}

HttpAnswer JsonAnswer(int status, const Json& document) {
    return StationAnswer(status, "application/json; charset=utf-8",
                         document.dump(-1, ' ', false, Json::error_handler_t::replace));
}

// The station's own name when it gave a sound one, else its address.
std::string StationName(std::string_view query, const std::string& peer) {
    const std::string host = FormParameter(query, "host");
    return IsStationHostName(host) ? host : peer;
}

void ServeFile(ClassLibrary& library, HttpServer& server, std::uint64_t connection,
               std::string_view path) {
    std::string name;
    const auto set = library.Published();
    if (!DecodePathSegment(path.substr(kStationFilesPath.size()), name) ||
        set->Files.count(name) == 0) {
        return server.Answer(connection, TextAnswer(404, "not in the published set"));
    }
    server.Answer(connection,
                  StationAnswer(200, "application/octet-stream", *set->Files.at(name)));
}

void TakeJournal(ClassLibrary& library, HttpServer& server, std::uint64_t connection,
                 const RequestHead& head, const std::string& peer) {
    StationRecord run;
    run.Host = StationName(head.Query(), peer);
    run.Address = peer;
    library.Post([&server, &library, connection, run, bytes = head.Body](LibraryStore& store,
                                                                         ResultStore& journals) {
        const ImportSummary summary =
            ImportReportLog(journals, run.Host, bytes, library.CollectorName());
        if (!summary.Ok) {
            return server.Answer(connection, TextAnswer(503, "the records were not stored"));
        }
        StationRecord noted = run;
        noted.LastMs = UnixMsNow();
        // Each record counts once: a part of the journal sent again (its answer was lost)
        // adds nothing.
        store.NoteStation(noted, summary.Added + summary.Matched);
        Json problems = Json::array();
        for (const JournalProblem& problem : summary.Problems) {
            problems.push_back({{"line", problem.Line}, {"reason", problem.Reason}});
        }
        server.Answer(connection, JsonAnswer(200, Json{{"added", summary.Added},
                                                       {"present", summary.Present},
                                                       {"problems", problems}}));
    });
}

void TakeStatus(ClassLibrary& library, HttpServer& server, std::uint64_t connection,
                const RequestHead& head, const std::string& peer) {
    StationRecord run;
    run.Host = StationName(head.Query(), peer);
    run.Address = peer;
    run.LastMs = UnixMsNow();
    run.SetVersion = FormParameter(head.Query(), "version").substr(0, 64);
    run.Failed = FormParameter(head.Query(), "failed") != "0";
    run.Message = head.Body;
    library.Post([&server, connection, run](LibraryStore& store, ResultStore&) {
        const bool noted = store.NoteStation(run, 0);
        server.Answer(connection, noted ? TextAnswer(200, "OK")
                                        : TextAnswer(503, "the status was not stored"));
    });
}

}  // namespace

bool IsStationPath(std::string_view path) {
    return path.starts_with("/station/");
}

bool StationKeyAllows(std::string_view authorization, std::string_view key) {
    constexpr std::string_view kBearer = "Bearer ";
    if (key.empty() || !authorization.starts_with(kBearer)) {
        return false;
    }
    return ConstantTimeEquals(authorization.substr(kBearer.size()), key);
}

std::size_t StationBodyLimit(const RequestHead& head) {
    if (head.Method != "POST") {
        return 0;
    }
    if (head.Path() == kStationJournalPath) {
        return kMaxJournalChunk;
    }
    return head.Path() == kStationStatusPath ? kMaxStatusBytes : 0;
}

void ServeStation(ClassLibrary& library, const std::string& key, HttpServer& server,
                  std::uint64_t connection, const RequestHead& head, const std::string& peer) {
    if (!StationKeyAllows(head.Authorization, key)) {
        HttpAnswer answer = TextAnswer(401, "a station key is needed");
        answer.Headers.emplace_back("WWW-Authenticate", "Bearer realm=\"Tezra stations\"");
        return server.Answer(connection, std::move(answer));
    }
    const std::string_view path = head.Path();
    const bool get = head.Method == "GET";
    const bool post = head.Method == "POST";
    if (get && path == kStationManifestPath) {
        if (library.Shared()) {
            // Another collector may have published a test: the set is checked first.
            return library.Post(
                [&server, &library, connection](LibraryStore& store, ResultStore&) {
                    library.RefreshIfChanged(store);
                    server.Answer(connection, StationAnswer(200, "application/json",
                                                            library.Published()->ManifestJson));
                });
        }
        const auto set = library.Published();
        return server.Answer(connection,
                             StationAnswer(200, "application/json", set->ManifestJson));
    }
    if (get && path.starts_with(kStationFilesPath)) {
        return ServeFile(library, server, connection, path);
    }
    if (post && path == kStationJournalPath) {
        return TakeJournal(library, server, connection, head, peer);
    }
    if (post && path == kStationStatusPath) {
        return TakeStatus(library, server, connection, head, peer);
    }
    server.Answer(connection, TextAnswer(404, "not found"));
}
