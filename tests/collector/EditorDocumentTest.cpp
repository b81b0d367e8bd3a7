// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's document and the station's model both ways: the demo tests go through the
// document and back unchanged, text the station file cannot hold is refused at its field, the
// editor's hints land where they belong, and the zip writer's checksum.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "collector/EditorCheck.h"
#include "collector/EditorDocument.h"
#include "collector/LibraryCheck.h"
#include "collector/ZipWriter.h"
#include "model/Compare.h"
#include "model/TestWriters.h"

namespace {

using Json = nlohmann::json;

const std::filesystem::path kDemo =
    std::filesystem::path(TEZRA_TEST_DATA_DIR) / ".." / ".." / "examples" / "station" / "tezra";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The document of a test as the page gets it: through JSON text and back.
Json DocumentOf(const TTezra& test) {
    return Json::parse(TestToDocument(test, "").dump());
}

Json OneProblemDoc() {
    return Json::parse(R"({
        "title": "Проба", "groups": [{"name": "Раздел", "quota": null, "rate": 1}],
        "problems": [{"group": "Раздел", "text": "Сколько?", "kind": "one",
                      "variants": [{"text": "два", "weight": 100}]}]})");
}

TEST(EditorDocument, DemoTestsReadBackUnchangedThroughTheDocument) {
    for (const char* name :
         {"fractions-5.ttxt", "geography-8.ttxt", "informatics-7.ttxt", "spelling-5.txt"}) {
        SCOPED_TRACE(name);
        TTezra original;
        ASSERT_TRUE(LoadLibraryTest(original, name, ReadFile(kDemo / name)));
        ASSERT_FALSE(original.Problems.empty());

        TTezra edited;
        std::string error;
        ASSERT_TRUE(DocumentToTest(DocumentOf(original), edited, error)) << error;
        std::vector<std::string> warnings;
        const std::string text = SaveTestToText(edited, warnings);
        EXPECT_TRUE(warnings.empty());
        TTezra reread;
        ASSERT_TRUE(LoadTestFromText(reread, text));
        std::string difference;
        EXPECT_TRUE(SameTezra(original, reread, &difference)) << difference;
    }
}

TEST(EditorDocument, RefusesWhatTheStationFileCannotHold) {
    struct Case {
        const char* Pointer;  // where the value goes
        const char* Value;
        const char* Field;
        int Problem;
        const char* Suggestion;  // "" for none
    };
    const Case cases[] = {
        {"/title", "x ≤ 5", "title", -1, "<="},
        {"/problems/0/text", "Смайлик 🙂", "problem.text", 0, ""},
        {"/problems/0/variants/0/text", "3 − 1", "problem.variants", 0, "-"},
        {"/groups/0/name", "π-раздел", "group.name", -1, "pi"},
        {"/chooserText", "日本", "chooserText", -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Pointer);
        Json doc = OneProblemDoc();
        doc[Json::json_pointer(c.Pointer)] = c.Value;
        TTezra test;
        std::string chooser;
        std::vector<bool> embedded;
        DocFault fault;
        ASSERT_FALSE(ReadTestDocument(doc, test, chooser, embedded, fault));
        EXPECT_EQ(fault.Where.Field, c.Field);
        EXPECT_EQ(fault.Where.Problem, c.Problem);
        EXPECT_EQ(fault.Suggestion, c.Suggestion);
        EXPECT_NE(fault.Message.find("Windows-1251"), std::string::npos) << fault.Message;
        EXPECT_NE(fault.Message.find(fault.Char), std::string::npos);
    }
    // Cyrillic, "ё", "№" and "€" are in the code page and pass.
    Json doc = OneProblemDoc();
    doc["title"] = "Ёлка № 5 — 10 €";
    TTezra test;
    std::string error;
    ASSERT_TRUE(DocumentToTest(doc, test, error)) << error;
    EXPECT_EQ(test.Title, "\xA8\xEB\xEA\xE0 \xB9 5 \x97 10 \x88");
}

TEST(EditorDocument, RefusesTextThatWouldBreakTheFileLayout) {
    const std::pair<const char*, Json> cases[] = {
        {"/title", "две\nстроки"},
        {"/problems/0/variants/0/text", "a\rb"},
        {"/problems/0/text",
         "начало\n  \xC2\xA7"
         "end condition\nконец"},
        {"/groups/0/name", "a >> b"},
        {"/problems/0/kind", "many"},
        {"/problems/0/rate", "1.5"},
        {"/defer", -1},
        {"/groups/0/quota", 2.5},
        {"/chooserText", std::string(1001, 'x')},
        {"/problems/0/picture", Json{{"file", "../x.jpg"}, {"embedded", true}}},
    };
    for (const auto& [pointer, value] : cases) {
        SCOPED_TRACE(pointer);
        Json doc = OneProblemDoc();
        doc[Json::json_pointer(pointer)] = value;
        TTezra test;
        std::string error;
        EXPECT_FALSE(DocumentToTest(doc, test, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(EditorDocument, HintsAndCheckerFindingsNameTheirPlace) {
    const Json doc = Json::parse(R"({
        "title": "Подсказки", "marks": {"5": 4, "4": 3, "3": 2, "2": 1},
        "groups": [{"name": "А", "quota": 5, "rate": 1}, {"name": "Б", "quota": null, "rate": 1}],
        "problems": [
          {"group": "А", "text": "Один", "kind": "one",
           "variants": [{"text": "да", "weight": 50}, {"text": "нет", "weight": 0}]},
          {"group": "А", "text": "Ввод", "kind": "typed",
           "variants": [{"text": "ёж", "weight": 100}, {"text": "два слова", "weight": 100}]},
          {"group": "А", "text": "Несколько", "kind": "several",
           "variants": [{"text": "x", "weight": 40}, {"text": "y", "weight": 40},
                        {"text": "z", "weight": -100}]},
          {"group": "А", "text": "Ввод с парой", "kind": "typed",
           "variants": [{"text": "ёлка", "weight": 100}, {"text": "елка", "weight": 100}]},
          {"group": "Б", "text": "Все задачи раздела", "kind": "typed",
           "variants": [{"text": "4", "weight": 100}]}]})");
    TTezra test;
    std::string error;
    ASSERT_TRUE(DocumentToTest(doc, test, error)) << error;
    std::vector<std::string> warnings;
    const EditorCheck check = CheckEditedTest(test, SaveTestToText(test, warnings), {});

    // (problem, variant, group, source, words in the text) of every expected finding.
    struct Expected {
        int Problem;
        int Variant;
        int Group;
        const char* Source;
        const char* Words;
    };
    const Expected expected[] = {
        // The checker's own words on weights; the editor adds no second hint of its own.
        {0, -1, -1, "checker", "RADIO"},
        {1, 0, -1, "editor", "«ё»"},
        {1, 1, -1, "checker", ""},  // the checker's own word on the blank; no second hint
        {2, -1, -1, "checker", "а не 100"},
        {-1, -1, 0, "checker", ""},  // the quota above the section's size
    };
    auto index = [](const nlohmann::ordered_json& v) { return v.is_null() ? -1 : v.get<int>(); };
    for (const Expected& e : expected) {
        int found = 0;
        for (const auto& finding : check.Findings) {
            const auto& at = finding["where"];
            found += index(at["problem"]) == e.Problem && index(at["variant"]) == e.Variant &&
                             index(at["group"]) == e.Group && finding["source"] == e.Source &&
                             finding["text"].get<std::string>().find(e.Words) != std::string::npos
                         ? 1
                         : 0;
        }
        EXPECT_EQ(found, 1) << e.Problem << "/" << e.Variant << "/" << e.Group << " "
                            << check.Findings.dump(1);
    }
    for (const auto& finding : check.Findings) {
        // No hint repeats what the checker said of the weights.
        EXPECT_TRUE(finding["source"] == "checker" ||
                    index(finding["where"]["problem"]) == 1) << finding.dump();
        // The typed answer with both spellings gets no hint.
        EXPECT_NE(index(finding["where"]["problem"]), 3) << finding.dump();
        // A section that gives every problem says nothing of its (largest) quota.
        EXPECT_NE(index(finding["where"]["group"]), 1) << finding.dump();
    }
    // Problems 1, 3 and 4 give full points, 0 half and 2 at most 80 %: 0.5 + 1 + 0.8 + 1 + 1.
    EXPECT_FLOAT_EQ(check.MaxPoints, 4.3f);
}

TEST(EditorDocument, TextLinesMapToTheirProblemAndVariant) {
    TTezra test;
    std::string error;
    Json doc = OneProblemDoc();
    doc["problems"].push_back(doc["problems"][0]);
    doc["problems"][1]["variants"].push_back({{"text", "три"}, {"weight", 0}});
    ASSERT_TRUE(DocumentToTest(doc, test, error)) << error;
    std::vector<std::string> warnings;
    const std::string text = SaveTestToText(test, warnings);
    const std::vector<DocPlace> places = MapTextLines(text);
    std::istringstream lines(text);
    std::string line;
    std::size_t number = 0;
    int variantsSeen = 0;
    while (std::getline(lines, line)) {
        ++number;
        ASSERT_LT(number, places.size());
        if (line.starts_with("[0] ")) {
            EXPECT_EQ(places[number].Problem, 1);
            EXPECT_EQ(places[number].Variant, 1);
            ++variantsSeen;
        } else if (line.starts_with("GROUP=")) {
            EXPECT_EQ(places[number].Field, "problem.group");
        }
    }
    EXPECT_EQ(variantsSeen, 1);
}

TEST(ZipWriter, ChecksumMatchesTheStandardCheckValue) {
    // The CRC-32 check value of "123456789" and of nothing, as the zip format defines it.
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32(""), 0u);
    ZipWriter zip;
    EXPECT_FALSE(zip.Add("", "x", 0));
    EXPECT_TRUE(zip.Add("tezra/a.ttxt", "abc", 0));
    const std::string archive = zip.Finish();
    // One local header (30 + name + data), one directory entry (46 + name), the end (22).
    EXPECT_EQ(archive.size(), 30u + 12 + 3 + 46 + 12 + 22);
    EXPECT_EQ(archive.substr(0, 4), std::string("PK\x03\x04", 4));
}

}  // namespace
