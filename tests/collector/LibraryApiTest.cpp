// SPDX-License-Identifier: GPL-3.0-or-later
// The class library's names, the manifest reader, and the teacher's and the stations'
// endpoints of a collector on loopback: who may do what, what is refused and why, and that
// a journal record and a result received over the network end up once.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "collector/StationApi.h"
#include "platform/Cp1251.h"
#include "tests/collector/CollectorFixture.h"
#include "tools/sync/PlainNames.h"
#include "tools/sync/SyncProtocol.h"

namespace {

const std::string kStationKey = "station-key-7f3a";

const std::string kTextTest = Utf8ToCp1251(
    "§TEZRA\r\n§PARAMS\r\nTITLE=Проба\r\n§END PARAMS\r\n§PROBLEMS\r\n§PROBLEM\r\n"
    "§CONDITION\r\nДва плюс два?\r\n§END CONDITION\r\n§ANSWER\r\nMODE=INPUT\r\n"
    "§VARIANTS\r\n[100] 4\r\n§END ANSWER\r\n§END PROBLEM\r\n§END PROBLEMS\r\n"
    "§END TEZRA\r\n");

// A collector in this process that also serves the stations.
class LibraryCollector {
public:
    LibraryCollector() {
        CollectorOptions options;
        options.Database = FreshDatabase()(Dir.Path);
        options.Password = kTeacherPassword;
        options.StationKey = kStationKey;
        std::string error;
        Service = CollectorService::Start(options, "127.0.0.1", 0, error);
        if (Service) {
            thread_ = std::thread([this] { Service->Run(); });
        }
    }
    ~LibraryCollector() {
        if (Service) {
            Service->Stop();
            thread_.join();
        }
    }

    // One request with a body; headers end with CR LF each.
    std::string Request(const std::string& method, const std::string& target,
                        const std::string& headers, const std::string& body = {}) {
        return Exchange(Service->Port(),
                        method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
                            "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    std::string Teacher(const std::string& method, const std::string& target,
                        const std::string& body = {}, const std::string& extra = {}) {
        return Request(method, target, TeacherAuthorization() + extra, body);
    }
    std::string Station(const std::string& method, const std::string& target,
                        const std::string& body = {}) {
        return Request(method, target, "Authorization: Bearer " + kStationKey + "\r\n", body);
    }

    TempDir Dir;
    std::unique_ptr<CollectorService> Service;

private:
    std::thread thread_;
};

nlohmann::json JsonOf(const std::string& answer) {
    return nlohmann::json::parse(BodyOf(answer), nullptr, false);
}

std::string JournalRecord(const std::string& user, const std::string& points,
                          const std::string& start) {
    return "===================\r\nUser=" + user +
           "\r\nGroup=7A\r\nTest=Проба\r\nQuestions=5\r\n"
           "Points=" +
           points + "\r\nMark=4\r\nStart at=" + start + "\r\nDuration=3:00\r\n";
}

}  // namespace

TEST(LibraryNames, OnlyPlainStationFileNamesPass) {
    const std::string hundred = std::string(95, 'a') + ".ttxt";
    const struct {
        std::string Name;
        bool Test;
        bool Picture;
    } rows[] = {
        {"geography-8.ttxt", true, false},
        {"география-8.TBIN", true, false},
        {"old.txt", true, false},
        {"old.bin", true, false},
        {"рисунок 1.JPG", false, true},
        {"a.jpeg", false, true},
        {hundred, true, false},
        {"a" + hundred, false, false},  // 101 bytes
        {"", false, false},
        {"a/b.ttxt", false, false},
        {"a\\b.ttxt", false, false},
        {"..ttxt", false, false},
        {"a..b.ttxt", false, false},
        {".hidden.ttxt", false, false},
        {"tab\t.ttxt", false, false},
        {std::string("nul\0.ttxt", 9), false, false},
        {"bad\xC3.ttxt", false, false},      // cut UTF-8
        {"bad\xC0\xAF.ttxt", false, false},  // overlong "/"
        {"test.doc", false, false},
        {"test", false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsLibraryTestName(row.Name), row.Test) << row.Name;
        EXPECT_EQ(IsLibraryPictureName(row.Name), row.Picture) << row.Name;
    }
    std::string decoded;
    EXPECT_TRUE(DecodePathSegment("%D0%B0+b%2Fc", decoded));
    EXPECT_EQ(decoded, "а+b/c");
    for (const char* bad : {"%", "%4", "%zz", "a%G1"}) {
        EXPECT_FALSE(DecodePathSegment(bad, decoded)) << bad;
    }
}

TEST(SyncManifest, LyingManifestsAreRefused) {
    const std::string hash(64, 'a');
    const auto entry = [&hash](const std::string& name, long long size) {
        return "{\"name\":\"" + name + "\",\"size\":" + std::to_string(size) + ",\"sha256\":\"" +
               hash + "\"}";
    };
    std::string many = "{\"version\":\"v\",\"files\":[";
    for (int i = 0; i < 10000; ++i) {
        many += (i ? "," : "") + entry("t" + std::to_string(i) + ".ttxt", 1);
    }
    many += "]}";
    const struct {
        std::string Text;
        bool Good;
    } rows[] = {
        {"{\"version\":\"v\",\"files\":[" + entry("a.ttxt", 10) + "," + entry("a.jpg", 0) + "]}",
         true},
        {"{\"version\":\"v\",\"files\":[]}", true},
        {"{\"version\":\"v\",\"files\":[" + entry("../a.ttxt", 10) + "]}", false},
        {"{\"version\":\"v\",\"files\":[" + entry("sub/a.ttxt", 10) + "]}", false},
        {"{\"version\":\"v\",\"files\":[" + entry("a.ttxt", 2LL << 30) + "]}", false},
        {"{\"version\":\"v\",\"files\":[" + entry("a.ttxt", -1) + "]}", false},
        {"{\"version\":\"v\",\"files\":[" + entry("a.ttxt", 1) + "," + entry("a.ttxt", 1) + "]}",
         false},
        {"{\"version\":\"v\",\"files\":[{\"name\":\"a.ttxt\",\"size\":1,\"sha256\":\"xyz\"}]}",
         false},
        {"{\"version\":\"v\",\"files\":[\"a.ttxt\"]}", false},
        {"{\"files\":[]}", false},
        {"[1,2,3]", false},
        {"{\"version\":\"v\",\"files\":[", false},
        {many, false},
    };
    for (const auto& row : rows) {
        std::string error;
        const auto manifest = ParseManifest(row.Text, error);
        EXPECT_EQ(manifest.has_value(), row.Good) << row.Text.substr(0, 120);
        EXPECT_EQ(error.empty(), row.Good) << error;
    }
}

TEST(LibraryApi, TeacherStationAndStrangerEachGetOnlyTheirShare) {
    LibraryCollector collector;
    ASSERT_TRUE(collector.Service);
    EXPECT_EQ(StatusOf(collector.Teacher("PUT", "/api/tests/proba.ttxt", kTextTest)), 201);
    const std::string station = "Authorization: Bearer " + kStationKey + "\r\n";
    const std::string cross = "Origin: http://attacker.example\r\n";
    const struct {
        std::string Method, Target, Headers, Body;
        int Status;
    } rows[] = {
        {"GET", "/api/tests", "", "", 401},
        {"GET", "/api/tests", station, "", 401},  // the station key is no teacher password
        {"PATCH", "/api/tests/proba.ttxt", station, "{\"published\":true}", 413},
        {"GET", "/station/manifest", "", "", 401},
        {"GET", "/station/manifest", TeacherAuthorization(), "", 401},
        {"GET", "/station/manifest", "Authorization: Bearer wrong\r\n", "", 401},
        {"GET", "/station/files/proba.ttxt", station, "", 404},  // not published yet
        {"PUT", "/station/files/proba.ttxt", station, "x", 413},
        {"DELETE", "/station/files/proba.ttxt", station, "", 404},
        {"GET", "/api/tests", TeacherAuthorization(), "", 200},
        {"PATCH", "/api/tests/proba.ttxt", TeacherAuthorization() + cross, "{\"published\":1}",
         403},
        {"DELETE", "/api/tests/proba.ttxt", TeacherAuthorization() + cross, "", 403},
        {"PUT", "/api/tests/other.ttxt", TeacherAuthorization() + "Origin: null\r\n", kTextTest,
         403},
        {"PATCH", "/api/tests/proba.ttxt", TeacherAuthorization() + "Origin: http://127.0.0.1\r\n",
         "{\"nonsense\":1}", 400},
        {"PATCH", "/api/tests/proba.ttxt", TeacherAuthorization(), "{\"published\":\"yes\"}", 400},
        {"PATCH", "/api/tests/proba.ttxt", TeacherAuthorization(),
         "{\"chooser_text\":\"two\\nlines\"}", 400},
        {"PATCH", "/api/tests/missing.ttxt", TeacherAuthorization(), "{\"published\":true}", 404},
        {"PUT", "/api/tests/..%2Fevil.ttxt", TeacherAuthorization(), kTextTest, 400},
        {"PUT", "/api/tests/evil.sh", TeacherAuthorization(), kTextTest, 400},
        {"PUT", "/api/tests/junk.tbin", TeacherAuthorization(), "not a test at all", 422},
        {"PUT", "/api/tests/proba.ttxt/pictures/a.jpg", TeacherAuthorization(), "not a jpeg", 422},
        {"PUT", "/api/tests/missing.ttxt/pictures/a.jpg", TeacherAuthorization(), "x", 422},
        {"DELETE", "/api/tests/proba.ttxt/pictures/a.jpg", TeacherAuthorization(), "", 404},
        {"GET", "/api/tests/proba.ttxt?as=docx", TeacherAuthorization(), "", 400},
        {"POST", "/api/tests/proba.ttxt", TeacherAuthorization(), "", 405},
        {"GET", "/api/tests", TeacherAuthorization() + "Transfer-Encoding: chunked\r\n", "", 411},
        {"PATCH", "/api/tests/proba.ttxt", TeacherAuthorization(),
         "{\"published\":true,\"chooser_text\":\"Проба, 7 класс\"}", 200},
        {"GET", "/station/files/proba.ttxt", station, "", 200},
        {"GET", "/station/files/proba.desc", station, "", 200},
        {"GET", "/station/files/..%2Fresults.sqlite", station, "", 404},
    };
    for (const auto& row : rows) {
        const std::string answer =
            collector.Request(row.Method, row.Target, row.Headers, row.Body);
        EXPECT_EQ(StatusOf(answer), row.Status) << row.Method << " " << row.Target << "\n"
                                                << row.Headers << answer.substr(0, 300);
    }
    const std::string junk = collector.Teacher("PUT", "/api/tests/junk.tbin", "not a test");
    const nlohmann::json report = JsonOf(junk);
    ASSERT_TRUE(report.contains("files")) << junk;
    EXPECT_EQ(report["files"][0]["file"], "junk.tbin");
    EXPECT_FALSE(report["files"][0]["diagnostics"].empty());
    EXPECT_FALSE(report["loadable"].get<bool>());
    // The refused upload left nothing behind; the published test is listed as it is.
    const nlohmann::json tests = JsonOf(collector.Teacher("GET", "/api/tests"));
    ASSERT_EQ(tests.size(), 1u);
    EXPECT_EQ(tests[0]["name"], "proba.ttxt");
    EXPECT_EQ(tests[0]["title"], "Проба");
    EXPECT_EQ(tests[0]["problems"], 1);
    EXPECT_EQ(tests[0]["published"], true);
    EXPECT_EQ(tests[0]["chooser_text"], "Проба, 7 класс");
    EXPECT_EQ(tests[0]["errors"], 0);
    // The station gets exactly the file and a cp1251 description.
    EXPECT_EQ(BodyOf(collector.Station("GET", "/station/files/proba.ttxt")), kTextTest);
    EXPECT_EQ(BodyOf(collector.Station("GET", "/station/files/proba.desc")),
              "\xCF\xF0\xEE\xE1\xE0, 7 \xEA\xEB\xE0\xF1\xF1\r\n");
}

TEST(LibraryApi, ManifestFollowsPublishingAndFormatsRoundTrip) {
    LibraryCollector collector;
    ASSERT_TRUE(collector.Service);
    const auto manifest = [&collector] {
        std::string error;
        auto parsed = ParseManifest(BodyOf(collector.Station("GET", "/station/manifest")), error);
        EXPECT_TRUE(parsed) << error;
        return parsed.value_or(Manifest{});
    };
    const Manifest empty = manifest();
    EXPECT_TRUE(empty.Files.empty());
    ASSERT_EQ(StatusOf(collector.Teacher("PUT", "/api/tests/a.ttxt", kTextTest)), 201);
    EXPECT_EQ(manifest().Version, empty.Version);  // unpublished tests do not go out
    ASSERT_EQ(StatusOf(collector.Teacher("PATCH", "/api/tests/a.ttxt", "{\"published\":true}")),
              200);
    const Manifest one = manifest();
    ASSERT_EQ(one.Files.size(), 1u);
    EXPECT_EQ(one.Files[0].Name, "a.ttxt");
    EXPECT_EQ(one.Files[0].Size, static_cast<std::int64_t>(kTextTest.size()));
    EXPECT_EQ(one.Files[0].Sha256, Sha256Hex(kTextTest));
    EXPECT_NE(one.Version, empty.Version);
    // Each station format reads back through the library to the same test.
    for (const std::string as : {"ttxt", "tbin", "tbin-scrambled"}) {
        const std::string file = BodyOf(collector.Teacher("GET", "/api/tests/a.ttxt?as=" + as));
        const std::string name = as == "ttxt" ? "b.ttxt" : "b-" + as + ".tbin";
        const std::string answer = collector.Teacher("PUT", "/api/tests/" + name, file);
        EXPECT_EQ(StatusOf(answer), 201) << as << answer;
        EXPECT_EQ(JsonOf(answer)["title"], "Проба") << as;
        EXPECT_EQ(JsonOf(answer)["problems"], 1) << as;
    }
    EXPECT_EQ(manifest().Version, one.Version);
    ASSERT_EQ(StatusOf(collector.Teacher("DELETE", "/api/tests/a.ttxt")), 200);
    EXPECT_EQ(manifest().Version, empty.Version);
    EXPECT_EQ(StatusOf(collector.Station("GET", "/station/files/a.ttxt")), 404);
}

TEST(LibraryApi, EachResultOnceWhetherItCameByNetworkOrJournal) {
    LibraryCollector collector;
    ASSERT_TRUE(collector.Service);
    // A result over the network now, and the station's journal that holds it and one more.
    const std::string received =
        Exchange(collector.Service->Port(),
                 "GET /tezra/result?group=7A&user=Ivanov&res=45000&mark=4 HTTP/1.1\r\n\r\n");
    ASSERT_EQ(StatusOf(received), 200) << received;
    const std::time_t now = std::time(nullptr) - 60;
    std::tm local{};
    localtime_r(&now, &local);
    char start[40];
    std::strftime(start, sizeof start, "%d.%m.%Y %H:%M:%S", &local);
    const std::string journal = JournalRecord("Ivanov", "4.5", start) +
                                JournalRecord("Petrov", "3.25", start) +
                                "===================\r\nUser=Cut\r\n";
    for (int pass = 0; pass < 2; ++pass) {
        const std::string answer =
            collector.Station("POST", "/station/journal?host=pc-07", journal);
        ASSERT_EQ(StatusOf(answer), 200) << answer;
        const nlohmann::json summary = JsonOf(answer);
        EXPECT_EQ(summary["added"], pass == 0 ? 1 : 0) << pass;
        EXPECT_EQ(summary["present"], pass == 0 ? 1 : 2) << pass;
        EXPECT_EQ(summary["problems"].size(), 1u) << pass;  // the record cut short
    }
    const nlohmann::json rows = JsonOf(collector.Teacher("GET", "/api/results"))["rows"];
    ASSERT_EQ(rows.size(), 2u) << rows.dump();
    EXPECT_EQ(rows[0]["user"], "Ivanov");
    EXPECT_EQ(rows[0]["source"], "http");
    EXPECT_EQ(rows[1]["user"], "Petrov");
    EXPECT_EQ(rows[1]["source"], "report.log");
    const nlohmann::json stations = JsonOf(collector.Teacher("GET", "/api/stations"));
    ASSERT_EQ(stations["stations"].size(), 1u);
    EXPECT_EQ(stations["stations"][0]["host"], "pc-07");
    // Each of the journal's two records counts once, though the journal came twice.
    EXPECT_EQ(stations["stations"][0]["records"], 2);
}

TEST(LibraryApi, BodiesAreBoundedBeforeTheyAreRead) {
    LibraryCollector collector;
    ASSERT_TRUE(collector.Service);
    const struct {
        std::string Head;
        int Status;
    } rows[] = {
        // Too large for what the path takes: refused on the head alone.
        {"PUT /api/tests/a.ttxt HTTP/1.1\r\n" + TeacherAuthorization() +
             "Content-Length: 52428801\r\n\r\n",
         413},
        {"PUT /api/tests/a.ttxt/pictures/p.jpg HTTP/1.1\r\n" + TeacherAuthorization() +
             "Content-Length: 10485761\r\n\r\n",
         413},
        {"POST /station/journal HTTP/1.1\r\nAuthorization: Bearer " + kStationKey +
             "\r\nContent-Length: " + std::to_string(kMaxJournalChunk + 1) + "\r\n\r\n",
         413},
        // Without the password or the key no body is taken at all.
        {"PUT /api/tests/a.ttxt HTTP/1.1\r\nContent-Length: 10\r\n\r\n", 413},
        {"POST /station/journal HTTP/1.1\r\nContent-Length: 10\r\n\r\n", 413},
        {"PUT /api/tests/a.ttxt HTTP/1.1\r\n" + TeacherAuthorization() +
             "Content-Length: 12x\r\n\r\n",
         400},
        {"PUT /api/tests/a.ttxt HTTP/1.1\r\n" + TeacherAuthorization() +
             "Content-Length: 5\r\nContent-Length: 6\r\n\r\n",
         400},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StatusOf(Exchange(collector.Service->Port(), row.Head)), row.Status) << row.Head;
    }
    // An upload that stalls halfway holds up nobody: a station is answered meanwhile.
    RawClient stalled(collector.Service->Port());
    ASSERT_TRUE(stalled.Send("PUT /api/tests/a.ttxt HTTP/1.1\r\n" + TeacherAuthorization() +
                             "Content-Length: 1000000\r\n\r\n" + std::string(1000, 'x')));
    EXPECT_EQ(StatusOf(collector.Station("GET", "/station/manifest")), 200);
    EXPECT_EQ(StatusOf(collector.Teacher("GET", "/api/tests")), 200);
    // A client that asks before it sends its body is told to go on.
    RawClient client(collector.Service->Port());
    ASSERT_TRUE(client.Send("PUT /api/tests/a.ttxt HTTP/1.1\r\n" + TeacherAuthorization() +
                            "Expect: 100-continue\r\nContent-Length: " +
                            std::to_string(kTextTest.size()) + "\r\n\r\n"));
    const std::string interim = client.ReadAnswer();
    EXPECT_EQ(StatusOf(interim), 100) << interim;
    ASSERT_TRUE(client.Send(kTextTest));
    EXPECT_EQ(StatusOf(client.ReadAnswer()), 201);
}
