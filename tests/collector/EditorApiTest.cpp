// SPDX-License-Identifier: GPL-3.0-or-later
// The test editor's interface on a collector on loopback: saves with revisions (a stale one is
// refused), the kept versions, writes without the page's token, import of other formats,
// pictures within the station's limits, export and the library as a zip that unzip accepts.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "collector/LibraryCheck.h"
#include "collector/LibraryStore.h"
#include "model/Compare.h"
#include "platform/Cp1251.h"
#include "tests/collector/CollectorFixture.h"

namespace {

using Json = nlohmann::json;

const std::filesystem::path kData(TEZRA_TEST_DATA_DIR);
const std::filesystem::path kDemo = kData / ".." / ".." / "examples" / "station" / "tezra";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The teacher's browser: Basic login plus the editor's token on every write.
class Editor {
public:
    Editor() {
        const Json token = Get("/api/editor/token");
        Token = token.value("token", std::string());
    }

    std::string Raw(const std::string& method, const std::string& target,
                    const std::string& body = {}, const std::string& extra = {}) {
        return Exchange(Server.Port(), method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                           TeacherAuthorization() + extra + "Content-Length: " +
                                           std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    std::string Write(const std::string& method, const std::string& target,
                      const std::string& body) {
        return Raw(method, target, body, "X-Tezra-Token: " + Token + "\r\n");
    }
    Json Get(const std::string& target) {
        return Json::parse(BodyOf(Raw("GET", target)), nullptr, false);
    }
    // A write's status and JSON answer.
    std::pair<int, Json> Send(const std::string& method, const std::string& target,
                              const Json& body) {
        const std::string answer = Write(method, target, body.dump());
        return {StatusOf(answer), Json::parse(BodyOf(answer), nullptr, false)};
    }

    RunningCollector Server;
    std::string Token;
};

Json Doc(const std::string& title) {
    Json doc = Json::parse(R"({"groups": [{"name": "Р", "quota": null, "rate": 1}],
        "problems": [{"group": "Р", "text": "2+2?", "kind": "typed",
                      "variants": [{"text": "4", "weight": 100}]}]})");
    doc["title"] = title;
    return doc;
}

TEST(EditorApi, SavesWithRevisionsRefusesStaleOnesAndFoldsQuickSavesIntoOneVersion) {
    Editor editor;
    ASSERT_EQ(editor.Token.size(), 64u);
    auto [created, first] =
        editor.Send("POST", "/api/editor/tests", {{"name", "Счёт.ttxt"}, {"doc", Doc("v1")}});
    ASSERT_EQ(created, 201) << first.dump();
    EXPECT_EQ(first["revision"], 1);
    EXPECT_EQ(editor.Send("POST", "/api/editor/tests", {{"name", "Счёт.ttxt"}}).first, 409);

    const std::string path = "/api/editor/tests/%D0%A1%D1%87%D1%91%D1%82.ttxt";
    for (int revision = 1; revision < 22; ++revision) {
        auto [status, saved] = editor.Send(
            "PUT", path,
            {{"doc", Doc("v" + std::to_string(revision + 1))}, {"revision", revision}});
        ASSERT_EQ(status, 200) << saved.dump();
        ASSERT_EQ(saved["revision"], revision + 1);
    }
    // A second tab still holding revision 21 is refused, and nothing changes.
    auto [stale, refusal] =
        editor.Send("PUT", path, {{"doc", Doc("other tab")}, {"revision", 21}});
    EXPECT_EQ(stale, 409);
    EXPECT_EQ(refusal["revision"], 22);
    EXPECT_NE(refusal["message"].get<std::string>().find("другой вкладке"), std::string::npos);
    const Json opened = editor.Get(path);
    EXPECT_EQ(opened["doc"]["title"], "v22");
    EXPECT_EQ(opened["revision"], 22);

    // Saves seconds apart fold into one version; the new test keeps its own.
    const auto revisions = [&editor](const std::string& test) {
        std::vector<int> list;
        const Json answer = editor.Get(test + "/versions");
        for (const Json& version : answer["versions"]) {
            list.push_back(version.value("revision", 0));
        }
        return list;
    };
    EXPECT_EQ(revisions(path), (std::vector<int>{22, 1}));
    EXPECT_EQ(editor.Get(path + "/versions/1")["doc"]["title"], "v1");
    EXPECT_EQ(StatusOf(editor.Raw("GET", path + "/versions/5")), 404);

    // A restore is a version of its own: the state before it stays in the list.
    auto [restored, answer] =
        editor.Send("POST", path + "/versions/1/restore", {{"revision", 22}});
    EXPECT_EQ(restored, 200) << answer.dump();
    EXPECT_EQ(answer["revision"], 23);
    EXPECT_EQ(editor.Get(path)["doc"]["title"], "v1");
    EXPECT_EQ(revisions(path), (std::vector<int>{23, 22, 1}));

    // The station file stays a cp1251 text with CR LF line ends.
    const std::string file = BodyOf(editor.Raw("GET", path + "/export?as=ttxt"));
    EXPECT_NE(file.find("TITLE=v1\r\n"), std::string::npos);

    EXPECT_EQ(editor.Send("POST", path + "/rename", {{"to", "Arithmetic.tbin"}}).first, 422);
    auto [renamed, moved] = editor.Send("POST", path + "/rename", {{"to", "Arithmetic.ttxt"}});
    EXPECT_EQ(renamed, 200) << moved.dump();
    EXPECT_EQ(moved["revision"], 23);
    const std::string renamedPath = "/api/editor/tests/Arithmetic.ttxt";
    EXPECT_EQ(revisions(renamedPath), (std::vector<int>{23, 22, 1}));
    EXPECT_EQ(StatusOf(editor.Raw("GET", path)), 404);

    // A file uploaded over the test from the library's view is a version of its own, and the
    // editor still holding revision 23 is refused rather than writing over the file.
    const std::string upload = Utf8ToCp1251(
        "§TEZRA\r\n§PARAMS\r\nTITLE=uploaded\r\n§END PARAMS\r\n§PROBLEMS\r\n"
        "§END PROBLEMS\r\n§END TEZRA\r\n");
    EXPECT_EQ(StatusOf(editor.Raw("PUT", "/api/tests/Arithmetic.ttxt", upload)), 200);
    EXPECT_EQ(revisions(renamedPath), (std::vector<int>{24, 23, 22, 1}));
    EXPECT_EQ(editor.Send("PUT", renamedPath, {{"doc", Doc("editor")}, {"revision", 23}}).first,
              409);
    EXPECT_EQ(editor.Get(renamedPath)["doc"]["title"], "uploaded");

    // Work kept in a browser, taken back over that newer upload, still needs the revision it
    // goes on top of, and it is a version of its own: the upload stays in the list (a plain
    // change seconds later would fold into the upload's version).
    const Json back = {{"doc", Doc("kept in the browser")}, {"revision", 23}, {"replace", true}};
    EXPECT_EQ(editor.Send("PUT", renamedPath, back).first, 409);
    Json onTop = back;
    onTop["revision"] = 24;
    EXPECT_EQ(editor.Send("PUT", renamedPath, onTop).first, 200);
    EXPECT_EQ(revisions(renamedPath), (std::vector<int>{25, 24, 23, 22, 1}));
    EXPECT_EQ(editor.Get(renamedPath + "/versions/24")["doc"]["title"], "uploaded");
    EXPECT_EQ(editor.Send("PUT", renamedPath, {{"doc", Doc("typed on")}, {"revision", 25}}).first,
              200);
    EXPECT_EQ(revisions(renamedPath), (std::vector<int>{26, 24, 23, 22, 1}));
}

// Half an hour of typing saved every 10 seconds, on the store itself with its clock given.
TEST(EditorApi, VersionsLieAboutAMinuteApartAndTwentyAreKept) {
    TempDir dir;
    std::string error;
    const std::unique_ptr<LibraryStore> store =
        OpenLibraryStore(FreshDatabase()(dir.Path), "test", error);
    ASSERT_TRUE(store) << error;
    LibraryTest test{"Typing.ttxt", "body", "Typing", "", 1, 0, 0, "{}", false, 1'000'000'000};
    std::int64_t revision = 0;
    ASSERT_EQ(store->SaveEditedTest(test, 0, EditorSaveKind::Create, revision),
              EditorSaveOutcome::Saved);
    for (int save = 1; save <= 180; ++save) {
        test.ChangedMs += 10'000;
        ASSERT_EQ(store->SaveEditedTest(test, revision, EditorSaveKind::Change, revision),
                  EditorSaveOutcome::Saved);
    }
    std::vector<EditorVersion> versions = store->EditorVersions(test.Name);
    ASSERT_EQ(versions.size(), static_cast<std::size_t>(kEditorVersionsKept));
    EXPECT_EQ(versions.front().Revision, 181);
    EXPECT_EQ(versions.front().SavedMs, test.ChangedMs);
    for (std::size_t i = 2; i < versions.size(); ++i) {
        const std::int64_t gap = versions[i - 1].SavedMs - versions[i].SavedMs;
        EXPECT_GE(gap, kEditorVersionSpanMs - 10'000) << i;
        EXPECT_LE(gap, kEditorVersionSpanMs) << i;
    }

    // A restore adds a version; a change right after it folds into that one, not into the
    // version from before the restore.
    const std::int64_t beforeRestore = versions.front().Revision;
    test.ChangedMs += 1'000;
    ASSERT_EQ(store->SaveEditedTest(test, revision, EditorSaveKind::Replace, revision),
              EditorSaveOutcome::Saved);
    test.ChangedMs += 1'000;
    ASSERT_EQ(store->SaveEditedTest(test, revision, EditorSaveKind::Change, revision),
              EditorSaveOutcome::Saved);
    versions = store->EditorVersions(test.Name);
    ASSERT_EQ(versions.size(), static_cast<std::size_t>(kEditorVersionsKept));
    EXPECT_EQ(versions[0].Revision, beforeRestore + 2);
    EXPECT_EQ(versions[1].Revision, beforeRestore);
}

TEST(EditorApi, WritesNeedTheSessionsTokenAndRefuseTextOutsideCp1251) {
    Editor editor;
    ASSERT_EQ(editor.Send("POST", "/api/editor/tests", {{"name", "a.ttxt"}}).first, 201);
    const std::string body = Json{{"doc", Doc("x")}, {"revision", 1}}.dump();
    const std::string other(64, 'a');
    // (extra headers, expected status)
    const std::pair<std::string, int> cases[] = {
        {"", 403},
        {"X-Tezra-Token: " + other + "\r\n", 403},
        {"X-Tezra-Token: " + editor.Token + "\r\nOrigin: http://evil.example\r\n", 403},
        {"X-Tezra-Token: " + editor.Token + "\r\nCookie: tezra_session=" + other + "\r\n", 403},
        {"X-Tezra-Token: " + editor.Token + "\r\n", 200},
    };
    for (const auto& [extra, status] : cases) {
        SCOPED_TRACE(extra);
        const std::string answer = editor.Raw("PUT", "/api/editor/tests/a.ttxt", body, extra);
        EXPECT_EQ(StatusOf(answer), status) << BodyOf(answer);
    }
    Json doc = Doc("x");
    doc["problems"][0]["variants"][0]["text"] = "½";
    auto [status, fault] =
        editor.Send("PUT", "/api/editor/tests/a.ttxt", {{"doc", doc}, {"revision", 2}});
    EXPECT_EQ(status, 422);
    EXPECT_EQ(fault["where"]["field"], "problem.variants");
    EXPECT_EQ(fault["suggestion"], "1/2");
    EXPECT_EQ(editor.Get("/api/editor/tests/a.ttxt")["revision"], 2);
}

TEST(EditorApi, ImportsOtherFormatsWithoutSaving) {
    Editor editor;
    struct Case {
        std::filesystem::path File;
        std::string Name;
        bool Warned;  // the conversion has something to say
    };
    const Case cases[] = {
        {kData / "convert" / "gift-ru" / "in.gift", "bank.gift", true},
        {kData / "convert" / "moodle-ru" / "in.xml", "bank.xml", true},
        {kData / "model" / "geography-scrambled.bin", "geo.bin", false},
        {kData / "model" / "geography.tbin", "geo.tbin", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string answer =
            editor.Write("POST", "/api/editor/import?name=" + c.Name, ReadFile(c.File));
        ASSERT_EQ(StatusOf(answer), 200) << BodyOf(answer);
        const Json imported = Json::parse(BodyOf(answer));
        EXPECT_FALSE(imported["doc"]["problems"].empty());
        EXPECT_EQ(!imported["warnings"].empty(), c.Warned) << imported["warnings"].dump();
    }
    // The scrambled binary reads as the plain one.
    const Json scrambled =
        Json::parse(BodyOf(editor.Write("POST", "/api/editor/import?name=g.bin",
                                        ReadFile(kData / "model" / "geography-scrambled.bin"))));
    const Json plain = Json::parse(BodyOf(editor.Write(
        "POST", "/api/editor/import?name=g.tbin", ReadFile(kData / "model" / "geography.tbin"))));
    EXPECT_EQ(scrambled["doc"], plain["doc"]);
    EXPECT_EQ(StatusOf(editor.Write("POST", "/api/editor/import?name=x.xml", "<quiz")), 422);
    EXPECT_EQ(StatusOf(editor.Write("POST", "/api/editor/import?name=x.doc", "x")), 400);
    EXPECT_EQ(editor.Get("/api/tests"), Json::array());  // nothing was saved
}

// A JPEG whose frame header claims width x height.
std::string WithSize(std::string jpeg, int width, int height) {
    for (std::size_t i = 2; i + 9 < jpeg.size();) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        const std::size_t length = (static_cast<unsigned char>(jpeg[i + 2]) << 8) |
                                   static_cast<unsigned char>(jpeg[i + 3]);
        if (marker >= 0xC0 && marker <= 0xC2) {
            jpeg[i + 5] = static_cast<char>(height >> 8);
            jpeg[i + 6] = static_cast<char>(height & 0xFF);
            jpeg[i + 7] = static_cast<char>(width >> 8);
            jpeg[i + 8] = static_cast<char>(width & 0xFF);
            return jpeg;
        }
        i += 2 + length;
    }
    return {};
}

TEST(EditorApi, PicturesWithinTheStationsLimitsAndTheLibraryZip) {
    Editor editor;
    const std::string jpeg = ReadFile(kDemo / "fractions-pie.jpg");
    const std::string huge = WithSize(jpeg, 10000, 10000);  // 100 million pixels
    ASSERT_FALSE(huge.empty());
    ASSERT_EQ(editor.Send("POST", "/api/editor/tests", {{"name", "pie.ttxt"}}).first, 201);

    // (body, expected status)
    const std::pair<std::string, int> uploads[] = {
        {huge, 422}, {"not a picture", 422}, {jpeg.substr(0, 100), 422}, {jpeg, 200}};
    for (const auto& [bytes, status] : uploads) {
        EXPECT_EQ(
            StatusOf(editor.Write("PUT", "/api/editor/tests/pie.ttxt/pictures/pie.jpg", bytes)),
            status);
    }
    const Json size = Json::parse(
        BodyOf(editor.Write("PUT", "/api/editor/tests/pie.ttxt/pictures/pie.jpg", jpeg)));
    EXPECT_GT(size["width"].get<int>(), 0);
    EXPECT_EQ(size["shownWidth"], size["width"]);

    // Over 10 MB: refused from the head, with a message for the teacher.
    const std::string tooBig =
        Exchange(editor.Server.Port(),
                 "PUT /api/editor/tests/pie.ttxt/pictures/big.jpg HTTP/1.1\r\n"
                 "Host: 127.0.0.1\r\n" +
                     TeacherAuthorization() + "X-Tezra-Token: " + editor.Token +
                     "\r\nContent-Length: 10485761\r\n\r\n");
    EXPECT_EQ(StatusOf(tooBig), 413);
    EXPECT_NE(BodyOf(tooBig).find("10 МБ"), std::string::npos);

    // One problem shows it embedded, another beside the test; then the whole library zipped.
    Json doc = Doc("Пирог");
    doc["chooserText"] = "Дроби: пирог";
    doc["problems"][0]["picture"] = {{"file", "pie.jpg"}, {"embedded", true}};
    doc["problems"].push_back(doc["problems"][0]);
    doc["problems"][1]["picture"]["embedded"] = false;
    auto [saved, answer] =
        editor.Send("PUT", "/api/editor/tests/pie.ttxt", {{"doc", doc}, {"revision", 1}});
    ASSERT_EQ(saved, 200) << answer.dump();
    const Json opened = editor.Get("/api/editor/tests/pie.ttxt");
    EXPECT_EQ(opened["doc"]["problems"][0]["picture"]["embedded"], true);
    EXPECT_EQ(opened["doc"]["problems"][1]["picture"],
              Json({{"file", "pie.jpg"}, {"embedded", false}}));
    const std::string handle = opened["doc"]["problems"][0]["picture"]["file"];
    EXPECT_EQ(BodyOf(editor.Raw("GET", "/api/editor/tests/pie.ttxt/pictures/" + handle)), jpeg);

    const std::string zip = BodyOf(editor.Raw("GET", "/api/editor/library.zip"));
    const std::filesystem::path file = editor.Server.Dir.Path / "library.zip";
    std::ofstream(file, std::ios::binary) << zip;
    const std::string quoted = "'" + file.string() + "'";
    EXPECT_EQ(std::system(("unzip -tq " + quoted + " > /dev/null").c_str()), 0);
    const std::filesystem::path out = editor.Server.Dir.Path / "stick";
    ASSERT_EQ(std::system(("unzip -q " + quoted + " -d '" + out.string() + "'").c_str()), 0);
    // The stick's folder holds the test as saved, its description and its picture.
    EXPECT_EQ(ReadFile(out / "tezra" / "pie.ttxt"),
              BodyOf(editor.Raw("GET", "/api/editor/tests/pie.ttxt/export?as=ttxt")));
    EXPECT_EQ(ReadFile(out / "tezra" / "pie.desc"), Utf8ToCp1251("Дроби: пирог\r\n"));
    EXPECT_EQ(ReadFile(out / "tezra" / "pie.jpg"), jpeg);
    TTezra stick;
    ASSERT_TRUE(LoadLibraryTest(stick, "pie.ttxt", ReadFile(out / "tezra" / "pie.ttxt")));
    ASSERT_EQ(stick.Problems.size(), 2u);
    EXPECT_EQ(std::string(stick.Problems[0]->Picture.begin(), stick.Problems[0]->Picture.end()),
              jpeg);
    EXPECT_EQ(stick.Problems[1]->PictureFile, "pie.jpg");
}

TEST(EditorApi, ExportsEveryFormatOfTheSameTest) {
    Editor editor;
    const std::string demo = ReadFile(kDemo / "geography-8.ttxt");
    TTezra original;
    ASSERT_TRUE(LoadLibraryTest(original, "geography-8.ttxt", demo));
    ASSERT_EQ(StatusOf(editor.Raw("PUT", "/api/tests/geography-8.ttxt", demo)), 201);
    const Json opened = editor.Get("/api/editor/tests/geography-8.ttxt");
    // The upload is the test's first version.
    EXPECT_EQ(opened["revision"], 1);
    auto [saved, answer] = editor.Send("PUT", "/api/editor/tests/geography-8.ttxt",
                                       {{"doc", opened["doc"]}, {"revision", 1}});
    ASSERT_EQ(saved, 200) << answer.dump();
    for (const char* as : {"ttxt", "tbin", "tbin-scrambled"}) {
        SCOPED_TRACE(as);
        const std::string file = BodyOf(
            editor.Raw("GET", std::string("/api/editor/tests/geography-8.ttxt/export?as=") + as));
        TTezra exported;
        ASSERT_TRUE(
            LoadLibraryTest(exported, as == std::string("ttxt") ? "x.ttxt" : "x.tbin", file));
        std::string difference;
        EXPECT_TRUE(SameTezra(original, exported, &difference)) << difference;
    }
    EXPECT_NE(
        BodyOf(editor.Raw("GET", "/api/editor/tests/geography-8.ttxt/export?as=gift")).find("{"),
        std::string::npos);
    EXPECT_NE(BodyOf(editor.Raw("GET", "/api/editor/tests/geography-8.ttxt/export?as=moodle-xml"))
                  .find("<quiz>"),
              std::string::npos);
    EXPECT_EQ(StatusOf(editor.Raw("GET", "/api/editor/tests/geography-8.ttxt/export?as=pdf")),
              400);
}

}  // namespace
