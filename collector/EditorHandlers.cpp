// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/EditorHandlers.h"

#include <filesystem>
#include <memory>

#include "collector/EditorCheck.h"
#include "collector/EditorDocument.h"
#include "collector/EditorFiles.h"
#include "collector/JsonAnswer.h"
#include "collector/LibraryCheck.h"
#include "collector/ReceivedTime.h"
#include "collector/ResultQuery.h"
#include "model/TestWriters.h"
#include "platform/Cp1251.h"
#include "platform/TestFileTypes.h"
#include "tools/sync/PlainNames.h"

namespace {

using Json = nlohmann::ordered_json;

const char* const kNoTest = "Нет такого теста.";
const char* const kBadJson = "Ожидается объект JSON.";

// A stored test read back into the model.
struct StoredTest {
    LibraryTest Record;
    std::unique_ptr<TTezra> Tezra = std::make_unique<TTezra>();
    std::vector<LibraryPicture> Pictures;
};

std::optional<StoredTest> LoadStored(LibraryStore& store, const std::string& name) {
    std::optional<LibraryTest> record = store.Test(name);
    if (!record) {
        return std::nullopt;
    }
    StoredTest stored;
    stored.Record = std::move(*record);
    stored.Pictures = store.Pictures(name, true);
    LoadLibraryTest(*stored.Tezra, name, stored.Record.Body);
    return stored;
}

Json FindingsAnswer(const EditorCheck& check) {
    return {{"findings", check.Findings}, {"maxPoints", check.MaxPoints}};
}

// The station text of a test for the checker and what the checker says of it.
EditorCheck CheckTest(const TTezra& test, const std::vector<LibraryPicture>& pictures) {
    std::vector<std::string> warnings;
    return CheckEditedTest(test, SaveTestToText(test, warnings), pictures);
}

Json OpenAnswer(LibraryStore& store, const StoredTest& stored) {
    Json doc = TestToDocument(*stored.Tezra, {});
    doc["chooserText"] = stored.Record.ChooserText;
    const EditorCheck check = CheckTest(*stored.Tezra, stored.Pictures);
    doc["maxPoints"] = check.MaxPoints;
    return {{"name", stored.Record.Name},
            {"revision", store.EditorRevision(stored.Record.Name)},
            {"published", stored.Record.Published},
            {"doc", doc},
            {"findings", check.Findings},
            {"maxPoints", check.MaxPoints}};
}

// What a save needs besides the document.
struct SavePlan {
    std::string Name;
    std::int64_t BasedOn = 0;
    bool Create = false;
    const StoredTest* Old = nullptr;          // the test as it is stored, if it is
    std::vector<LibraryPicture> NewPictures;  // pictures to store with the test
    bool Replace = false;  // the whole test replaced: an old version, or a copy taken back
};

EditorSaveKind KindOf(const SavePlan& plan) {
    return plan.Create    ? EditorSaveKind::Create
           : plan.Replace ? EditorSaveKind::Replace
                          : EditorSaveKind::Change;
}

HttpAnswer FaultAnswer(const DocFault& fault) {
    return EditorJson(422, fault.Json());
}

// Gives every embedded picture its bytes, from the test's pictures or from the embedded
// picture of the stored test under the same name. A picture kept beside the test whose bytes
// were only embedded so far becomes a picture of the test, so that switching it over loses
// nothing.
bool FillPictures(TTezra& test, const std::vector<bool>& embedded, SavePlan& plan,
                  std::vector<LibraryPicture>& pictures, DocFault& fault) {
    for (std::size_t i = 0; i < test.Problems.size(); ++i) {
        TProblem& problem = *test.Problems[i];
        if (problem.PictureFile.empty()) {
            continue;
        }
        const std::string name = Cp1251ToUtf8(problem.PictureFile);
        const std::string bytes =
            PictureBytes(name, pictures, plan.Old ? plan.Old->Tezra.get() : nullptr);
        if (!embedded[i]) {
            if (!bytes.empty() && !HasPicture(pictures, name)) {
                plan.NewPictures.push_back({plan.Name, name, bytes, 0, UnixMsNow()});
                pictures.push_back(plan.NewPictures.back());
            }
            continue;
        }
        if (bytes.empty()) {
            fault.Where = {static_cast<int>(i), -1, -1, "problem.picture"};
            fault.Message = "Рисунок «" + name + "» задачи " + std::to_string(i + 1) +
                            " не найден на сервере: загрузите его снова.";
            return false;
        }
        problem.Picture.assign(bytes.begin(), bytes.end());
        problem.PictureFile.clear();
    }
    return true;
}

std::string StationBody(const TTezra& test, const std::string& name) {
    std::vector<std::string> warnings;
    if (TestFormatOf(std::filesystem::path(name)) == TTestFormat::Text) {
        return SaveTestToText(test, warnings);
    }
    const TMemoryStream stream = SaveTestToBinary(test, false, warnings);
    return std::string(reinterpret_cast<const char*>(stream.Data()), stream.Size());
}

HttpAnswer StaleAnswer(std::int64_t revision, bool create) {
    if (create) {
        return EditorJson(409,
                          {{"message", "Тест с таким именем уже есть."}, {"revision", revision}});
    }
    return EditorJson(409, {{"message",
                             "Тест уже изменён в другой вкладке или другим учителем "
                             "(версия " +
                                 std::to_string(revision) +
                                 "). Откройте его заново, чтобы не потерять ни одну "
                                 "из правок."},
                            {"revision", revision}});
}

HttpAnswer SaveDocument(ClassLibrary& library, LibraryStore& store, const nlohmann::json& doc,
                        SavePlan& plan) {
    TTezra test;
    std::string chooser;
    std::vector<bool> embedded;
    DocFault fault;
    if (!ReadTestDocument(doc, test, chooser, embedded, fault)) {
        return FaultAnswer(fault);
    }
    std::vector<LibraryPicture> pictures = plan.Old ? plan.Old->Pictures : plan.NewPictures;
    if (!FillPictures(test, embedded, plan, pictures, fault)) {
        return FaultAnswer(fault);
    }
    LibraryTest record;
    record.Name = plan.Name;
    record.Body = StationBody(test, plan.Name);
    // The checker runs once, for the library's record. The page asks for the findings
    // placed in the editor on its own after every change, so a save does not build them.
    const bool text = TestFormatOf(std::filesystem::path(plan.Name)) == TTestFormat::Text;
    const TestExamination examination =
        text ? ExamineReport(plan.Name, record.Body,
                             CheckTestBody(plan.Name, record.Body, pictures))
             : ExamineTest(plan.Name, record.Body, pictures);
    if (!examination.Loadable) {
        return EditorMessage(422, "Станция не сможет прочитать этот тест.");
    }
    record.Title = Cp1251ToUtf8(test.Title);
    record.ChooserText = Cp1251ToUtf8(chooser);
    record.Published = plan.Old && plan.Old->Record.Published;
    record.Problems = static_cast<std::int64_t>(test.Problems.size());
    record.Errors = examination.Errors;
    record.Warnings = examination.Warnings;
    record.Diagnostics = examination.Report.dump();
    record.ChangedMs = UnixMsNow();
    std::int64_t revision = 0;
    switch (store.SaveEditedTest(record, plan.BasedOn, KindOf(plan), revision)) {
        case EditorSaveOutcome::Stale:
            return StaleAnswer(revision, plan.Create);
        case EditorSaveOutcome::Missing:
            return EditorMessage(404, kNoTest);
        case EditorSaveOutcome::Failed:
            return EditorMessage(503, "Тест не сохранён: база данных не приняла изменение.");
        case EditorSaveOutcome::Saved:
            break;
    }
    for (const LibraryPicture& picture : plan.NewPictures) {
        if (store.PutPicture(picture) != StoreOutcome::Done) {
            return EditorMessage(503, "Тест сохранён, а рисунок «" + picture.Name + "» — нет.");
        }
    }
    library.Republish(store);
    return EditorJson(
        plan.Create ? 201 : 200,
        {{"revision", revision}, {"savedMs", record.ChangedMs}, {"name", plan.Name}});
}

nlohmann::json ParseBody(const std::string& body) {
    return nlohmann::json::parse(body, nullptr, false);
}

// The revision a write was based on: the body's "revision"; 0 when absent.
std::optional<std::int64_t> BasedOn(const nlohmann::json& body) {
    const auto found = body.find("revision");
    if (found == body.end() || found->is_null()) {
        return std::nullopt;
    }
    if (!found->is_number_integer() || found->get<std::int64_t>() < 0) {
        return -1;
    }
    return found->get<std::int64_t>();
}

HttpAnswer PutTest(ClassLibrary& library, LibraryStore& store, const EditorRequest& request) {
    const nlohmann::json body = ParseBody(request.Body);
    if (!body.is_object() || !body.contains("doc")) {
        return EditorMessage(400, "Ожидается объект JSON с полями doc и revision.");
    }
    const std::optional<std::int64_t> basedOn = BasedOn(body);
    if (!basedOn || *basedOn < 0) {
        return EditorMessage(400, "Не указано, на какой версии основано изменение (revision).");
    }
    const std::optional<StoredTest> old = LoadStored(store, request.Test);
    if (!old) {
        return EditorMessage(404, kNoTest);
    }
    SavePlan plan{request.Test, *basedOn, false, &*old, {}};
    // Work the browser kept while it could not save, taken back over a newer version, replaces
    // the test as a whole: it is a version of its own, so the version it replaces stays listed.
    const auto replace = body.find("replace");
    plan.Replace = replace != body.end() && replace->is_boolean() && replace->get<bool>();
    return SaveDocument(library, store, body["doc"], plan);
}

// Pictures sent with a new test: [{"file", "dataBase64"}], each checked as an upload is.
bool ReadNewPictures(const nlohmann::json& list, const std::string& test,
                     std::vector<LibraryPicture>& pictures, std::string& error) {
    if (list.is_null()) {
        return true;
    }
    if (!list.is_array()) {
        error = "pictures: ожидается список.";
        return false;
    }
    for (const nlohmann::json& item : list) {
        const std::string name = item.is_object() ? item.value("file", std::string()) : "";
        const auto data = item.is_object() ? item.find("dataBase64") : item.end();
        std::string bytes;
        if (!IsLibraryPictureName(name) || data == item.end() || !data->is_string() ||
            !DecodePictureBase64(data->get<std::string>(), bytes) || !IsStationPicture(bytes)) {
            error = "Рисунок «" + name +
                    "» не подходит станции (нужен JPEG, который она может "
                    "показать).";
            return false;
        }
        pictures.push_back({test, name, std::move(bytes), 0, UnixMsNow()});
    }
    return true;
}

Json NewDocument() {
    return {{"title", "Новый тест"},
            {"groups", Json::array({{{"name", "Раздел 1"}, {"quota", nullptr}, {"rate", 1}}})},
            {"problems", Json::array()}};
}

HttpAnswer CreateTest(ClassLibrary& library, LibraryStore& store, const EditorRequest& request) {
    const nlohmann::json body = ParseBody(request.Body);
    if (!body.is_object()) {
        return EditorMessage(400, kBadJson);
    }
    const std::string name = body.value("name", std::string());
    if (!IsLibraryTestName(name)) {
        return EditorMessage(400, "Недопустимое имя файла теста: нужно имя вида «Тест.ttxt».");
    }
    SavePlan plan{name, 0, true, nullptr, {}};
    std::string error;
    if (!ReadNewPictures(body.contains("pictures") ? body["pictures"] : nlohmann::json(), name,
                         plan.NewPictures, error)) {
        return EditorMessage(422, error);
    }
    const std::string from = body.value("from", std::string());
    if (from.empty()) {
        const nlohmann::json doc =
            body.contains("doc") ? body["doc"] : nlohmann::json::parse(NewDocument().dump());
        return SaveDocument(library, store, doc, plan);
    }
    const std::optional<StoredTest> source = LoadStored(store, from);
    if (!source) {
        return EditorMessage(404, kNoTest);
    }
    plan.NewPictures = source->Pictures;
    for (LibraryPicture& picture : plan.NewPictures) {
        picture.Test = name;
    }
    plan.Old = &*source;  // embedded pictures are taken from it
    plan.Create = true;
    nlohmann::json doc = nlohmann::json::parse(TestToDocument(*source->Tezra, {}).dump());
    doc["chooserText"] = source->Record.ChooserText;
    return SaveDocument(library, store, doc, plan);
}

HttpAnswer RenameTest(ClassLibrary& library, LibraryStore& store, const EditorRequest& request) {
    const nlohmann::json body = ParseBody(request.Body);
    const std::string to = body.is_object() ? body.value("to", std::string()) : "";
    if (!IsLibraryTestName(to)) {
        return EditorMessage(400, "Недопустимое имя файла теста.");
    }
    if (store.Test(to)) {
        return EditorMessage(409, "Тест с таким именем уже есть.");
    }
    // The station picks the reader by the extension: the stored file keeps its format.
    if (TestFormatOf(std::filesystem::path(to)) !=
        TestFormatOf(std::filesystem::path(request.Test))) {
        return EditorMessage(422,
                             "Переименование не меняет вид файла: оставьте расширение "
                             "(текстовый .ttxt/.txt или двоичный .tbin/.bin).");
    }
    switch (store.RenameTest(request.Test, to, UnixMsNow())) {
        case StoreOutcome::Missing:
            return EditorMessage(404, kNoTest);
        case StoreOutcome::Failed:
            return EditorMessage(503, "Тест не переименован.");
        case StoreOutcome::Done:
            break;
    }
    library.Republish(store);
    return EditorJson(200, {{"name", to}, {"revision", store.EditorRevision(to)}});
}

HttpAnswer ListVersions(LibraryStore& store, const EditorRequest& request) {
    if (!store.Test(request.Test)) {
        return EditorMessage(404, kNoTest);
    }
    Json versions = Json::array();
    for (const EditorVersion& version : store.EditorVersions(request.Test)) {
        versions.push_back({{"revision", version.Revision},
                            {"savedMs", version.SavedMs},
                            {"problems", version.Problems},
                            {"title", version.Title}});
    }
    return EditorJson(200, {{"versions", versions}});
}

// A version as a document; its pictures that were embedded keep their names.
std::optional<Json> VersionDocument(const EditorVersion& version, const std::string& name) {
    TTezra test;
    if (!LoadLibraryTest(test, name, version.Body)) {
        return std::nullopt;
    }
    Json doc = TestToDocument(test, {});
    doc["chooserText"] = version.ChooserText;
    return doc;
}

HttpAnswer GetVersion(LibraryStore& store, const EditorRequest& request) {
    const std::optional<EditorVersion> version =
        store.EditorVersionOf(request.Test, request.Revision);
    if (!version) {
        return EditorMessage(404, "Нет такой версии.");
    }
    const std::optional<Json> doc = VersionDocument(*version, request.Test);
    if (!doc) {
        return EditorMessage(422, "Эта версия не читается.");
    }
    return EditorJson(
        200, {{"revision", version->Revision}, {"savedMs", version->SavedMs}, {"doc", *doc}});
}

HttpAnswer RestoreVersion(ClassLibrary& library, LibraryStore& store,
                          const EditorRequest& request) {
    const std::optional<EditorVersion> version =
        store.EditorVersionOf(request.Test, request.Revision);
    const std::optional<StoredTest> old = LoadStored(store, request.Test);
    if (!version || !old) {
        return EditorMessage(404, "Нет такой версии.");
    }
    const nlohmann::json body =
        request.Body.empty() ? nlohmann::json::object() : ParseBody(request.Body);
    if (!body.is_object()) {
        return EditorMessage(400, kBadJson);
    }
    // The version's embedded pictures are read from the version itself.
    StoredTest source;
    source.Record = old->Record;
    source.Pictures = old->Pictures;
    if (!LoadLibraryTest(*source.Tezra, request.Test, version->Body)) {
        return EditorMessage(422, "Эта версия не читается.");
    }
    const std::optional<std::int64_t> basedOn = BasedOn(body);
    if (basedOn && *basedOn < 0) {
        return EditorMessage(400, "revision: ожидается целое число.");
    }
    nlohmann::json doc = nlohmann::json::parse(TestToDocument(*source.Tezra, {}).dump());
    doc["chooserText"] = version->ChooserText;
    SavePlan plan{request.Test, basedOn ? *basedOn : store.EditorRevision(request.Test),
                  false,        &source,
                  {},           true};
    return SaveDocument(library, store, doc, plan);
}

HttpAnswer CheckRequest(LibraryStore& store, const EditorRequest& request) {
    const nlohmann::json body = ParseBody(request.Body);
    if (!body.is_object() || !body.contains("doc")) {
        return EditorMessage(400, "Ожидается объект JSON с полем doc.");
    }
    TTezra test;
    std::string chooser;
    std::vector<bool> embedded;
    DocFault fault;
    if (!ReadTestDocument(body["doc"], test, chooser, embedded, fault)) {
        return FaultAnswer(fault);
    }
    const std::string name = body.value("name", std::string());
    std::optional<StoredTest> old;
    if (IsLibraryTestName(name)) {
        old = LoadStored(store, name);
    }
    std::vector<LibraryPicture> pictures = old ? old->Pictures : std::vector<LibraryPicture>{};
    SavePlan plan{name, 0, false, old ? &*old : nullptr, {}};
    if (!FillPictures(test, embedded, plan, pictures, fault)) {
        return FaultAnswer(fault);
    }
    return EditorJson(200, FindingsAnswer(CheckTest(test, pictures)));
}

HttpAnswer ServeTest(ClassLibrary& library, LibraryStore& store, const EditorRequest& request) {
    if (request.Method == "PUT") {
        return PutTest(library, store, request);
    }
    const std::optional<StoredTest> stored = LoadStored(store, request.Test);
    if (!stored) {
        return EditorMessage(404, kNoTest);
    }
    return EditorJson(200, OpenAnswer(store, *stored));
}

}  // namespace

HttpAnswer EditorJson(int status, const nlohmann::ordered_json& document) {
    return JsonAnswer(status, document);
}

HttpAnswer EditorMessage(int status, const std::string& text) {
    return EditorJson(status, {{"message", text}});
}

HttpAnswer HandleEditorRequest(ClassLibrary& library, LibraryStore& store,
                               const EditorRequest& request) {
    switch (request.Route) {
        case EditorRoute::Check:
            return CheckRequest(store, request);
        case EditorRoute::Import:
            return ImportFile(FormParameter(request.Query, "name"), request.Body);
        case EditorRoute::Zip:
            return LibraryZip(store);
        case EditorRoute::Create:
            return CreateTest(library, store, request);
        case EditorRoute::Test:
            return ServeTest(library, store, request);
        case EditorRoute::Rename:
            return RenameTest(library, store, request);
        case EditorRoute::Versions:
            return ListVersions(store, request);
        case EditorRoute::Version:
            return GetVersion(store, request);
        case EditorRoute::Restore:
            return RestoreVersion(library, store, request);
        case EditorRoute::Picture:
            return ServePicture(library, store, request);
        case EditorRoute::Export:
            return ExportTest(store, request.Test, FormParameter(request.Query, "as"));
    }
    return EditorMessage(404, "Нет такого адреса.");
}
