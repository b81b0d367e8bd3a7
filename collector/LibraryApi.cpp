// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/LibraryApi.h"

#include <nlohmann/json.hpp>

#include "collector/JsonAnswer.h"
#include "collector/LibraryCheck.h"
#include "collector/ReceivedTime.h"
#include "collector/ResultQuery.h"
#include "tools/sync/PlainNames.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kTestsPath = "/api/tests";
constexpr std::string_view kStationsPath = "/api/stations";
constexpr std::string_view kPictures = "/pictures/";

// What a path under /api/tests/ names.
struct LibraryTarget {
    std::string Test;     // empty for the whole library
    std::string Picture;  // empty unless a picture is named
    bool Bad = false;     // a name that is not allowed
};

LibraryTarget ReadTarget(std::string_view path) {
    LibraryTarget target;
    if (path == kTestsPath) {
        return target;
    }
    std::string_view rest = path.substr(kTestsPath.size() + 1);
    const std::size_t pictures = rest.find(kPictures);
    const bool ok = DecodePathSegment(rest.substr(0, pictures), target.Test) &&
                    (pictures == std::string_view::npos ||
                     DecodePathSegment(rest.substr(pictures + kPictures.size()), target.Picture));
    target.Bad = !ok || !IsLibraryTestName(target.Test) ||
                 (pictures != std::string_view::npos && !IsLibraryPictureName(target.Picture));
    return target;
}

HttpAnswer ErrorAnswer(int status, const std::string& text) {
    return JsonAnswer(status, Json{{"error", text}});
}

Json TestJson(const LibraryTest& test, const std::vector<LibraryPicture>& pictures) {
    Json names = Json::array();
    for (const LibraryPicture& picture : pictures) {
        if (picture.Test == test.Name) {
            names.push_back(picture.Name);
        }
    }
    return {{"name", test.Name},
            {"title", test.Title},
            {"chooser_text", test.ChooserText},
            {"problems", test.Problems},
            {"published", test.Published},
            {"changed", StampOf(test.ChangedMs).Local},
            {"errors", test.Errors},
            {"warnings", test.Warnings},
            {"pictures", names}};
}

HttpAnswer ListTests(LibraryStore& store) {
    const auto pictures = store.Pictures({}, false);
    Json tests = Json::array();
    for (const LibraryTest& test : store.Tests(false)) {
        tests.push_back(TestJson(test, pictures));
    }
    return JsonAnswer(200, tests);
}

HttpAnswer ListStations(LibraryStore& store, const std::string& currentVersion) {
    Json stations = Json::array();
    for (const StationRecord& station : store.Stations()) {
        stations.push_back({{"host", station.Host},
                            {"address", station.Address},
                            {"last", StampOf(station.LastMs).Local},
                            {"version", station.SetVersion},
                            {"current", station.SetVersion == currentVersion},
                            {"records", station.RecordsSent},
                            {"failed", station.Failed},
                            {"message", station.Message}});
    }
    return JsonAnswer(200, Json{{"version", currentVersion}, {"stations", stations}});
}

// The checker's report with what the library keeps of the test.
Json ExaminationJson(const TestExamination& examination) {
    Json report = examination.Report;
    report["loadable"] = examination.Loadable;
    report["title"] = examination.Title;
    report["problems"] = examination.Problems;
    return report;
}

// A file put over a test is a version of its own in the editor: a page still editing the
// test is refused its next save instead of writing over the file unseen. A save or a delete
// by someone else in between only makes it try again.
bool PutAsVersion(LibraryStore& store, const LibraryTest& test, bool existed) {
    constexpr int kTries = 3;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        std::int64_t revision = store.EditorRevision(test.Name);
        const EditorSaveKind kind = existed ? EditorSaveKind::Replace : EditorSaveKind::Create;
        switch (store.SaveEditedTest(test, revision, kind, revision)) {
            case EditorSaveOutcome::Saved:
                return true;
            case EditorSaveOutcome::Stale:
            case EditorSaveOutcome::Missing:
                existed = store.Test(test.Name).has_value();
                break;
            case EditorSaveOutcome::Failed:
                return false;
        }
    }
    return false;
}

HttpAnswer PutTest(ClassLibrary& library, LibraryStore& store, const std::string& name,
                   const std::string& body) {
    const std::optional<LibraryTest> old = store.Test(name);
    const auto pictures = store.Pictures(name, true);
    const TestExamination examination = ExamineTest(name, body, pictures);
    if (!examination.Loadable) {
        return JsonAnswer(422, ExaminationJson(examination));
    }
    LibraryTest test;
    test.Name = name;
    test.Body = body;
    test.Title = examination.Title;
    test.ChooserText = old ? old->ChooserText : std::string();
    test.Published = old && old->Published;
    test.Problems = examination.Problems;
    test.Errors = examination.Errors;
    test.Warnings = examination.Warnings;
    test.Diagnostics = examination.Report.dump();
    test.ChangedMs = UnixMsNow();
    if (!PutAsVersion(store, test, old.has_value())) {
        return ErrorAnswer(503, "тест не сохранён");
    }
    library.Republish(store);
    return JsonAnswer(old ? 200 : 201, ExaminationJson(examination));
}

// The check of a stored test again, after its pictures changed.
void Reexamine(LibraryStore& store, const std::string& name) {
    std::optional<LibraryTest> test = store.Test(name);
    if (!test) {
        return;
    }
    const TestExamination examination = ExamineTest(name, test->Body, store.Pictures(name, true));
    test->Errors = examination.Errors;
    test->Warnings = examination.Warnings;
    test->Diagnostics = examination.Report.dump();
    store.PutTest(*test);
}

HttpAnswer GetTest(LibraryStore& store, const std::string& name, const std::string& as) {
    const std::optional<LibraryTest> test = store.Test(name);
    if (!test) {
        return ErrorAnswer(404, "нет такого теста");
    }
    if (as.empty()) {
        return AttachmentAnswer("application/octet-stream", test->Body, name, "test");
    }
    StationFormat format = StationFormat::Text;
    std::string extension = ".ttxt";
    if (as == "tbin" || as == "tbin-scrambled") {
        format = as == "tbin" ? StationFormat::Binary : StationFormat::ScrambledBinary;
        extension = ".tbin";
    } else if (as != "ttxt") {
        return ErrorAnswer(400, "as: ttxt, tbin или tbin-scrambled");
    }
    std::string converted;
    std::vector<std::string> warnings;
    if (!ConvertTest(name, test->Body, store.Pictures(name, true), format, converted, warnings)) {
        return ErrorAnswer(422, "тест не читается");
    }
    const std::string stem = std::filesystem::path(name).stem().string();
    HttpAnswer answer = AttachmentAnswer("application/octet-stream", std::move(converted),
                                         stem + extension, "test");
    answer.Headers.emplace_back("X-Tezra-Warnings", std::to_string(warnings.size()));
    return answer;
}

// A chooser text is one line: the station shows the first line of the description file.
bool IsChooserText(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return text.size() <= 1000;
}

HttpAnswer PatchTest(ClassLibrary& library, LibraryStore& store, const std::string& name,
                     const std::string& body) {
    const nlohmann::json patch = nlohmann::json::parse(body, nullptr, false);
    if (patch.is_discarded() || !patch.is_object()) {
        return ErrorAnswer(400, "ожидается объект JSON");
    }
    std::optional<bool> published;
    std::optional<std::string> chooser;
    for (const auto& [key, value] : patch.items()) {
        if (key == "published" && value.is_boolean()) {
            published = value.get<bool>();
        } else if (key == "chooser_text" && value.is_string() &&
                   IsChooserText(value.get<std::string>())) {
            chooser = value.get<std::string>();
        } else {
            return ErrorAnswer(400, "недопустимое поле: " + key);
        }
    }
    const StoreOutcome outcome = store.UpdateTest(name, published, chooser, UnixMsNow());
    if (outcome == StoreOutcome::Missing) {
        return ErrorAnswer(404, "нет такого теста");
    }
    if (outcome == StoreOutcome::Failed) {
        return ErrorAnswer(503, "изменение не сохранено");
    }
    library.Republish(store);
    return JsonAnswer(200, TestJson(*store.Test(name), store.Pictures(name, false)));
}

HttpAnswer DeleteTest(ClassLibrary& library, LibraryStore& store, const std::string& name) {
    const StoreOutcome outcome = store.DeleteTest(name);
    if (outcome == StoreOutcome::Missing) {
        return ErrorAnswer(404, "нет такого теста");
    }
    if (outcome == StoreOutcome::Failed) {
        return ErrorAnswer(503, "тест не удалён");
    }
    library.Republish(store);
    return JsonAnswer(200, Json{{"deleted", name}});
}

HttpAnswer ServePicture(ClassLibrary& library, LibraryStore& store, const std::string& method,
                        const LibraryTarget& target, const std::string& body) {
    if (method == "GET") {
        for (LibraryPicture& picture : store.Pictures(target.Test, true)) {
            if (picture.Name == target.Picture) {
                return AttachmentAnswer("image/jpeg", std::move(picture.Body), picture.Name,
                                        "test");
            }
        }
        return ErrorAnswer(404, "нет такого рисунка");
    }
    StoreOutcome outcome = StoreOutcome::Failed;
    if (method == "PUT") {
        if (!IsStationPicture(body)) {
            return ErrorAnswer(422, "это не JPEG, который станция может показать");
        }
        outcome = store.PutPicture({target.Test, target.Picture, body, 0, UnixMsNow()});
    } else {
        outcome = store.DeletePicture(target.Test, target.Picture, UnixMsNow());
    }
    if (outcome == StoreOutcome::Missing) {
        return ErrorAnswer(404, method == "PUT" ? "нет такого теста" : "нет такого рисунка");
    }
    if (outcome == StoreOutcome::Failed) {
        return ErrorAnswer(503, "рисунок не сохранён");
    }
    Reexamine(store, target.Test);
    library.Republish(store);
    return JsonAnswer(200, TestJson(*store.Test(target.Test), store.Pictures(target.Test, false)));
}

HttpAnswer ServeTest(ClassLibrary& library, LibraryStore& store, const std::string& method,
                     const LibraryTarget& target, const std::string& query,
                     const std::string& body) {
    if (!target.Picture.empty()) {
        return ServePicture(library, store, method, target, body);
    }
    if (method == "GET") {
        return GetTest(store, target.Test, FormParameter(query, "as"));
    }
    if (method == "PUT") {
        return PutTest(library, store, target.Test, body);
    }
    if (method == "PATCH") {
        return PatchTest(library, store, target.Test, body);
    }
    return DeleteTest(library, store, target.Test);
}

bool MethodAllowed(const std::string& method, const LibraryTarget& target) {
    if (target.Test.empty()) {
        return method == "GET";
    }
    if (!target.Picture.empty()) {
        return method == "GET" || method == "PUT" || method == "DELETE";
    }
    return method == "GET" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

}  // namespace

bool IsLibraryApiPath(std::string_view path) {
    return path == kTestsPath || path == kStationsPath ||
           (path.starts_with(kTestsPath) && path.size() > kTestsPath.size() + 1 &&
            path[kTestsPath.size()] == '/');
}

std::size_t LibraryBodyLimit(const RequestHead& head) {
    const std::string_view path = head.Path();
    if (!IsLibraryApiPath(path) || path == kStationsPath) {
        return 0;
    }
    if (head.Method == "PATCH") {
        return kMaxPatchBytes;
    }
    if (head.Method != "PUT") {
        return 0;
    }
    return path.find(kPictures) == std::string_view::npos ? kMaxTestUploadBytes
                                                          : kMaxPictureUploadBytes;
}

bool SameOriginWrite(const RequestHead& head) {
    if (head.Origin.empty()) {
        return true;  // scripts and older browsers send none; browsers send it cross-site
    }
    return !head.Host.empty() &&
           (head.Origin == "http://" + head.Host || head.Origin == "https://" + head.Host);
}

void ServeLibraryApi(ClassLibrary& library, HttpServer& server, std::uint64_t connection,
                     const RequestHead& head) {
    const std::string_view path = head.Path();
    if (path == kStationsPath) {
        if (head.Method != "GET") {
            return server.Answer(connection, ErrorAnswer(405, "только GET"));
        }
        return library.Post([&server, &library, connection](LibraryStore& store, ResultStore&) {
            server.Answer(connection, ListStations(store, library.Published()->Version));
        });
    }
    const LibraryTarget target = ReadTarget(path);
    if (target.Bad) {
        return server.Answer(connection, ErrorAnswer(400, "недопустимое имя файла"));
    }
    if (!MethodAllowed(head.Method, target)) {
        return server.Answer(connection, ErrorAnswer(405, "метод не поддерживается"));
    }
    if (head.Method != "GET" && !SameOriginWrite(head)) {
        return server.Answer(connection, ErrorAnswer(403, "запрос с чужого сайта отклонён"));
    }
    if (target.Test.empty()) {
        return library.Post([&server, connection](LibraryStore& store, ResultStore&) {
            server.Answer(connection, ListTests(store));
        });
    }
    library.Post([&server, &library, connection, target, method = head.Method,
                  query = std::string(head.Query()),
                  body = head.Body](LibraryStore& store, ResultStore&) {
        server.Answer(connection, ServeTest(library, store, method, target, query, body));
    });
}
