// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/Collector.h"

#include "collector/Exports.h"
#include "collector/LibraryApi.h"
#include "collector/ReceivedTime.h"
#include "collector/ResultQuery.h"
#include "collector/StationApi.h"
#include "collector/TeacherAccess.h"
#include "collector/WebAssets.h"

namespace {

constexpr std::string_view kResultPath = "/tezra/result";

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

HttpAnswer Unauthorized() {
    HttpAnswer answer = TextAnswer(401, "Нужен пароль учителя.");
    answer.Headers.emplace_back("WWW-Authenticate",
                                "Basic realm=\"Tezra collector\", charset=\"UTF-8\"");
    return answer;
}

HttpAnswer DataAnswer(std::string contentType, std::string body) {
    HttpAnswer answer;
    answer.ContentType = std::move(contentType);
    answer.Body = std::move(body);
    AddPageHeaders(answer);
    return answer;
}

// The filters of the page and the exports; false when the date is not YYYY-MM-DD.
bool ReadFilter(std::string_view query, ResultFilter& filter) {
    filter.Group = FormParameter(query, "group");
    filter.Date = FormParameter(query, "date");
    return filter.Date.empty() || IsIsoDate(filter.Date);
}

std::int64_t ReadAfter(std::string_view query) {
    const std::string text = FormParameter(query, "after");
    std::int64_t after = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || after > (INT64_MAX - 9) / 10) {
            return 0;
        }
        after = after * 10 + (c - '0');
    }
    return after;
}

HttpAnswer PageUpdate(ResultStore& store, std::string_view query) {
    ResultFilter filter;
    if (!ReadFilter(query, filter)) {
        return TextAnswer(400, "date must be YYYY-MM-DD");
    }
    filter.AfterId = ReadAfter(query);
    filter.Limit = Collector::kPageRowsPerPoll;
    const auto rows = store.Query(filter);
    const bool more = static_cast<std::int64_t>(rows.size()) == filter.Limit;
    return DataAnswer("application/json; charset=utf-8",
                      PageUpdateJson(LocalDateToday(), store.Groups(filter.Date), rows, more));
}

HttpAnswer Export(ResultStore& store, std::string_view query, bool csv) {
    ResultFilter filter;
    if (!ReadFilter(query, filter)) {
        return TextAnswer(400, "date must be YYYY-MM-DD");
    }
    const auto rows = store.Query(filter);
    if (!csv) {
        return DataAnswer("application/json; charset=utf-8", ResultsJson(rows));
    }
    HttpAnswer answer = DataAnswer("text/csv; charset=utf-8", ResultsCsv(rows));
    const std::string day = filter.Date.empty() ? "all" : filter.Date;
    answer.Headers.emplace_back("Content-Disposition",
                                "attachment; filename=\"results-" + day + ".csv\"");
    return answer;
}

}  // namespace

std::unique_ptr<Collector> Collector::Open(const CollectorOptions& options, std::string& error) {
    std::unique_ptr<Collector> collector(new Collector(options.Password, options.StationKey));
    collector->writer_ = ResultStore::OpenWriter(options.Database, error);
    if (collector->writer_) {
        collector->reader_ = ResultStore::OpenReader(options.Database, error);
    }
    if (!collector->reader_) {
        error = options.Database.string() + ": " + error;
        return nullptr;
    }
    collector->library_ = ClassLibrary::Open(options.Database, error);
    if (!collector->library_) {
        error = options.Database.string() + ": " + error;
        return nullptr;
    }
    collector->commits_ = std::make_unique<CommitQueue>(*collector->writer_);
    collector->queries_ = std::make_unique<JobThread>();
    return collector;
}

Collector::~Collector() {
    // The threads finish their queued work before the stores they use go away.
    commits_.reset();
    queries_.reset();
    library_.reset();
}

void Collector::Handle(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                       const std::string& peer) {
    if (head.Path() == kResultPath) {
        TakeResult(server, connection, head, peer);
    } else if (IsStationPath(head.Path())) {
        ServeStation(*library_, stationKey_, server, connection, head, peer);
    } else {
        ServeTeacher(server, connection, head);
    }
}

std::size_t Collector::BodyLimit(const RequestHead& head) {
    if (IsStationPath(head.Path())) {
        return StationKeyAllows(head.Authorization, stationKey_) ? StationBodyLimit(head) : 0;
    }
    return AuthorizationAllows(head.Authorization, password_) ? LibraryBodyLimit(head) : 0;
}

void Collector::TakeResult(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                           const std::string& peer) {
    if (head.Method != "GET") {
        HttpAnswer answer = TextAnswer(405, "results are sent with GET");
        answer.Headers.emplace_back("Allow", "GET");
        return server.Answer(connection, std::move(answer));
    }
    StationResult result;
    const QueryError error = ParseStationQuery(head.Query(), result);
    if (error != QueryError::None) {
        return server.Answer(connection, TextAnswer(400, to_string(error)));
    }
    NewResult row;
    row.ReceivedMs = UnixMsNow();
    row.Station = peer;
    row.Group = std::move(result.Group);
    row.User = std::move(result.User);
    row.Res = result.Res;
    row.Mark = result.Mark;
    row.Raw = std::string(head.Query());
    commits_->Push(std::move(row), [&server, connection](bool committed) {
        server.Answer(connection, committed ? TextAnswer(200, "OK")
                                            : TextAnswer(503, "the result was not stored"));
    });
}

void Collector::ServeTeacher(HttpServer& server, std::uint64_t connection,
                             const RequestHead& head) {
    if (head.Method != "GET" && !IsLibraryApiPath(head.Path())) {
        HttpAnswer answer = TextAnswer(405, "only GET is served");
        answer.Headers.emplace_back("Allow", "GET");
        return server.Answer(connection, std::move(answer));
    }
    if (!AuthorizationAllows(head.Authorization, password_)) {
        return server.Answer(connection, Unauthorized());
    }
    const std::string_view path = head.Path();
    if (IsLibraryApiPath(path)) {
        return ServeLibraryApi(*library_, server, connection, head);
    }
    if (const WebAsset* asset = FindWebAsset(path)) {
        return server.Answer(
            connection, DataAnswer(std::string(asset->ContentType), std::string(asset->Body)));
    }
    const std::string query(head.Query());
    ResultStore& store = *reader_;
    if (path == "/api/results") {
        queries_->Post([&server, &store, connection, query] {
            server.Answer(connection, PageUpdate(store, query));
        });
    } else if (path == "/results.json" || path == "/results.csv") {
        const bool csv = path == "/results.csv";
        queries_->Post([&server, &store, connection, query, csv] {
            server.Answer(connection, Export(store, query, csv));
        });
    } else {
        server.Answer(connection, TextAnswer(404, "not found"));
    }
}

std::unique_ptr<CollectorService> CollectorService::Start(const CollectorOptions& options,
                                                          const std::string& address, int port,
                                                          std::string& error) {
    std::unique_ptr<CollectorService> service(new CollectorService());
    service->collector_ = Collector::Open(options, error);
    if (!service->collector_) {
        return nullptr;
    }
    service->server_ = std::make_unique<HttpServer>(options.Limits, *service->collector_);
    if (!service->server_->Listen(address, port, error)) {
        return nullptr;
    }
    return service;
}

CollectorService::~CollectorService() {
    // The collector's threads may still answer through the server: they end first.
    collector_.reset();
    server_.reset();
}
