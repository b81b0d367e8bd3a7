// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/Collector.h"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "collector/DatabaseUri.h"
#include "collector/EditorApi.h"
#include "collector/ExportAnswers.h"
#include "collector/Exports.h"
#include "collector/LibraryApi.h"
#include "collector/PageUpdate.h"
#include "collector/ReceivedTime.h"
#include "collector/ResultQuery.h"
#include "collector/StationApi.h"
#include "collector/TeacherAccess.h"
#include "collector/TryApi.h"
#include "collector/WebAssets.h"

namespace {

constexpr std::string_view kResultPath = "/tezra/result";

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
    filter.Collector = FormParameter(query, "collector");
    filter.Date = FormParameter(query, "date");
    return filter.Date.empty() || IsIsoDate(filter.Date);
}

// A positive decimal id; 0 when the text is not one.
std::int64_t ReadId(const std::string& text) {
    std::int64_t after = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || after > (INT64_MAX - 9) / 10) {
            return 0;
        }
        after = after * 10 + (c - '0');
    }
    return after;
}

std::int64_t ReadAfter(std::string_view query) {
    return ReadId(FormParameter(query, "after"));
}

// The rows selected by a hide or restore request; false when it names none.
bool ReadSelection(std::string_view query, RowSelection& rows) {
    const std::string id = FormParameter(query, "id");
    rows.Station = FormParameter(query, "station");
    rows.Date = FormParameter(query, "date");
    if (!id.empty()) {
        rows.Id = ReadId(id);
        return rows.Id > 0;
    }
    return !rows.Station.empty() && (rows.Date.empty() || IsIsoDate(rows.Date));
}

// The machine's name: what a collector started without --name calls itself.
std::string DefaultCollectorName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
        return "collector";
    }
    return name.data();
}

}  // namespace

Collector::Collector(const CollectorOptions& options)
    : stationKey_(options.StationKey),
      gate_(options.Password, options.SecureCookie),
      stations_(options.Stations),
      rateLimit_(options.MaxResultsPerMinute) {}

std::unique_ptr<Collector> Collector::Open(const CollectorOptions& options, std::string& error) {
    std::unique_ptr<Collector> collector(new Collector(options));
    collector->name_ = options.Name.empty() ? DefaultCollectorName() : options.Name;
    const std::string& db = options.Database;
    const std::string& name = collector->name_;
    collector->writer_ = OpenResultStore(db, true, error, name + " results");
    if (collector->writer_) {
        collector->teacherWriter_ = OpenResultStore(db, true, error, name + " teacher");
    }
    if (collector->teacherWriter_) {
        collector->reader_ = OpenResultStore(db, false, error, name + " page");
    }
    if (collector->reader_) {
        collector->exportReader_ = OpenResultStore(db, false, error, name + " exports");
    }
    if (!collector->exportReader_) {
        error = UriWithoutPassword(db) + ": " + error;
        return nullptr;
    }
    collector->library_ = ClassLibrary::Open(db, name, error);
    if (!collector->library_) {
        error = UriWithoutPassword(db) + ": " + error;
        return nullptr;
    }
    collector->editor_ = std::make_unique<EditorApi>(*collector->library_);
    collector->commits_ = std::make_unique<CommitQueue>(*collector->writer_);
    collector->queries_ = std::make_unique<JobThread>();
    collector->exports_ = std::make_unique<JobThread>();
    return collector;
}

Collector::~Collector() {
    // The threads finish their queued work before the stores they use go away.
    commits_.reset();
    queries_.reset();
    exports_.reset();
    library_.reset();
}

void Collector::Handle(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                       const std::string& peer) {
    if (head.Path() == kResultPath) {
        TakeResult(server, connection, head, peer);
    } else if (IsStationPath(head.Path())) {
        // The stations' sync uses the port they send results to.
        ServeStation(*library_, stationKey_, server, connection, head, peer);
    } else if (&server == resultsOnly_) {
        server.Answer(connection, TextAnswer(404, "the teacher's page has an address of its own"));
    } else {
        ServeTeacher(server, connection, head, peer);
    }
}

std::size_t Collector::BodyLimit(const RequestHead& head) {
    if (IsStationPath(head.Path())) {
        return StationKeyAllows(head.Authorization, stationKey_) ? StationBodyLimit(head) : 0;
    }
    return gate_.MayUpload(head, UnixMsNow())
               ? std::max({LibraryBodyLimit(head), EditorBodyLimit(head), TryBodyLimit(head)})
               : 0;
}

std::optional<HttpAnswer> Collector::TooLarge(const RequestHead& head) {
    if (IsTryApiPath(head.Path())) {
        return TryTooLarge(head);
    }
    return IsEditorApiPath(head.Path()) ? std::optional(EditorTooLarge(head)) : std::nullopt;
}

void Collector::TakeResult(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                           const std::string& peer) {
    if (head.Method != "GET") {
        HttpAnswer answer = TextAnswer(405, "results are sent with GET");
        answer.Headers.emplace_back("Allow", "GET");
        return server.Answer(connection, std::move(answer));
    }
    if (!stations_.Allows(peer)) {
        refusals_.Count(peer, RefusalReason::NotAStation);
        return server.Answer(connection, TextAnswer(403, "this address is not a station"));
    }
    if (!rateLimit_.Take(peer, UnixMsNow())) {
        refusals_.Count(peer, RefusalReason::TooMany);
        HttpAnswer answer = TextAnswer(429, "too many results from this address");
        answer.Headers.emplace_back("Retry-After", "60");
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
    row.Collector = name_;
    if (!writer_->Reachable()) {
        // At once, so that the station tries its next server without waiting.
        return server.Answer(connection, TextAnswer(503, "the database cannot be reached"));
    }
    commits_->Push(std::move(row), [&server, connection](bool committed) {
        server.Answer(connection, committed ? TextAnswer(200, "OK")
                                            : TextAnswer(503, "the result was not stored"));
    });
}

void Collector::ServeTeacher(HttpServer& server, std::uint64_t connection, const RequestHead& head,
                             const std::string& peer) {
    const std::string_view path = head.Path();
    const bool editor = IsEditorApiPath(path);
    const bool tryApi = IsTryApiPath(path);
    const bool library = IsLibraryApiPath(path) || editor;
    const bool visibility = path == "/api/hide" || path == "/api/restore";
    const bool write = visibility || ((library || tryApi) && head.Method != "GET");
    const std::string_view method = visibility ? "POST" : "GET";
    if (!library && !tryApi && head.Method != method) {
        HttpAnswer answer =
            TextAnswer(405, visibility ? "only POST is taken" : "only GET is served");
        answer.Headers.emplace_back("Allow", std::string(method));
        return server.Answer(connection, std::move(answer));
    }
    const TeacherDecision decision = gate_.Check(head, peer, write, UnixMsNow());
    if (decision.Verdict != TeacherVerdict::Allowed) {
        return server.Answer(connection, TeacherGate::Refusal(decision, head));
    }
    if (visibility) {
        return ChangeVisibility(server, connection, head, decision.Who);
    }
    if (editor) {
        return editor_->Serve(server, connection, head);
    }
    if (library) {
        return ServeLibraryApi(*library_, server, connection, head);
    }
    if (tryApi) {
        // A trial's writes need the editor page's token like the editor's own.
        if (auto refused = editor_->RefuseWrite(head)) {
            return server.Answer(connection, std::move(*refused));
        }
        return ServeTryApi(*library_, tries_, server, connection, head, decision.Who);
    }
    if (path == "/guide") {
        // The guide's pictures and links are relative to its folder. A relative target keeps
        // a path prefix that a proxy in front of the collector adds.
        HttpAnswer answer = TextAnswer(301, "guide/");
        answer.Headers.emplace_back("Location", "guide/");
        return server.Answer(connection, std::move(answer));
    }
    if (const WebAsset* asset = FindWebAsset(path)) {
        HttpAnswer answer = DataAnswer(std::string(asset->ContentType), std::string(asset->Body));
        if (!decision.SetCookie.empty()) {
            answer.Headers.emplace_back("Set-Cookie", decision.SetCookie);
        }
        return server.Answer(connection, std::move(answer));
    }
    const std::string query(head.Query());
    if (path == "/api/results") {
        queries_->Post(
            [this, &server, connection, query] { server.Answer(connection, Poll(query)); });
    } else if (path == "/results.json" || path == "/results.csv" || path == "/results.xlsx") {
        const ExportFormat format = path == "/results.csv"    ? ExportFormat::Csv
                                    : path == "/results.json" ? ExportFormat::Json
                                                              : ExportFormat::Xlsx;
        ResultStore& exportStore = *exportReader_;
        exports_->Post([&server, &exportStore, connection, query, format] {
            AnswerExport(server, connection, exportStore, query, format);
        });
    } else {
        server.Answer(connection, TextAnswer(404, "not found"));
    }
}

HttpAnswer Collector::Poll(std::string_view query) {
    ResultFilter filter;
    if (!ReadFilter(query, filter)) {
        return TextAnswer(400, "date must be YYYY-MM-DD");
    }
    ResultStore& store = *reader_;
    filter.AfterId = ReadAfter(query);
    filter.Limit = kPageRowsPerPoll;
    filter.Hidden = FormParameter(query, "hidden") == "1";
    filter.InIdOrder = true;
    PageUpdate update;
    update.Today = LocalDateToday();
    update.Rows = store.Query(filter);
    update.More = static_cast<std::int64_t>(update.Rows.size()) == filter.Limit;
    // The classes once in full; then only those of the rows stored since, which the page
    // adds to its list: a poll reads only what is new.
    update.Groups = filter.AfterId == 0 ? store.Groups(filter.Date)
                                        : store.GroupsAfter(filter.Date, filter.AfterId);
    update.GroupsComplete = filter.AfterId == 0;
    if (update.GroupsComplete) {
        update.Collectors = store.Collectors();
    }
    if (!update.Rows.empty()) {
        update.KnownStations = store.StationsKnownBefore(update.Today);
    }
    update.Refused = refusals_.Snapshot();
    update.Logins = gate_.Backoff().Snapshot();
    update.VisibilityVersion = store.VisibilityVersion();
    if (filter.AfterId == 0) {
        update.VisibilityLog = store.VisibilityLog(20);
    }
    if (!DatabaseReachable()) {
        // The page says so; a lost connection comes back on a later poll, after a short
        // back-off.
        store.Reconnect();
        return TextAnswer(503, "the database cannot be reached");
    }
    return DataAnswer("application/json; charset=utf-8", PageUpdateJson(update));
}

bool Collector::DatabaseReachable() const {
    return writer_->Reachable() && reader_->Reachable();
}

void Collector::ChangeVisibility(HttpServer& server, std::uint64_t connection,
                                 const RequestHead& head, const std::string& who) {
    RowSelection rows;
    if (!ReadSelection(head.Query(), rows)) {
        return server.Answer(connection, TextAnswer(400, "give id, or station (and date)"));
    }
    const bool hide = head.Path() == "/api/hide";
    queries_->Post([this, &server, connection, rows, hide, who] {
        const auto changed = teacherWriter_->SetHidden(rows, hide, who, UnixMsNow());
        server.Answer(connection,
                      changed ? DataAnswer("application/json; charset=utf-8",
                                           "{\"changed\":" + std::to_string(*changed) + "}")
                              : TextAnswer(503, "the change was not stored"));
    });
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
    if (options.TeacherAddress.empty()) {
        return service;
    }
    service->teacherServer_ = std::make_unique<HttpServer>(options.Limits, *service->collector_);
    service->collector_->SetResultsOnly(service->server_.get());
    if (options.TlsCertificate.empty()) {
        if (!service->teacherServer_->Listen(options.TeacherAddress, options.TeacherPort, error)) {
            return nullptr;
        }
    } else {
        service->tls_ =
            TlsListener::Start(*service->teacherServer_, options.TlsCertificate, options.TlsKey,
                               options.TeacherAddress, options.TeacherPort, error);
        if (!service->tls_) {
            return nullptr;
        }
    }
    return service;
}

int CollectorService::TeacherPort() const {
    return tls_ ? tls_->Port() : teacherServer_ ? teacherServer_->Port() : 0;
}

void CollectorService::Run() {
    std::thread teacher;
    if (teacherServer_) {
        teacher = std::thread([this] { teacherServer_->Run(); });
    }
    server_->Run();
    if (teacher.joinable()) {
        teacherServer_->Stop();
        teacher.join();
    }
}

void CollectorService::Stop() {
    server_->Stop();
    if (teacherServer_) {
        teacherServer_->Stop();
    }
}

CollectorService::~CollectorService() {
    // The TLS relays feed the teacher's server; the collector's threads may still answer
    // through the servers: both end first.
    tls_.reset();
    collector_.reset();
    teacherServer_.reset();
    server_.reset();
}
