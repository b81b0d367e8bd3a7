// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool dump, score and pack, run as a separate program.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "model/TestWriters.h"
#include "tests/model/ModelTestSupport.h"

namespace {

using json = nlohmann::ordered_json;

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
    json Json() const { return json::parse(Out); }
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

TRun RunTool(const std::vector<std::string>& args) {
    TempDir dir;
    std::string command = Quote(TEZRA_TOOL_PATH);
    for (const std::string& arg : args) {
        command += " " + Quote(arg);
    }
    command += " 2>" + Quote((dir / "stderr").string());
    TRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.Out.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(dir / "stderr");
    run.Err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return run;
}

std::vector<std::string> Keys(const json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items()) {
        keys.push_back(item.key());
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::vector<std::string> Sorted(std::vector<std::string> keys) {
    std::sort(keys.begin(), keys.end());
    return keys;
}

const std::string kGeography = ModelData("geography.ttxt").string();

TEST(ModelTool, DumpPrintsTheTestAsLoaded) {
    const TRun run = RunTool({"dump", kGeography});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const json d = run.Json();
    EXPECT_EQ(Keys(d),
              Sorted({"Loaded", "Id", "Title", "ShuffleGroups", "ShuffleProblems",
                      "ShuffleVariants", "DeferLimit", "MarkThresholds", "Groups", "Problems"}));
    EXPECT_EQ(d["Loaded"], true);
    EXPECT_EQ(d["Title"], "Столицы и реки");
    EXPECT_EQ(d["ShuffleGroups"], true);
    EXPECT_EQ(d["DeferLimit"], 2);
    EXPECT_EQ(d["MarkThresholds"].dump(), "[0,0.5,1,1.5,2]");
    EXPECT_EQ(d["Groups"].dump(), R"([{"Name":"easy","Quota":1,"Rate":1},)"
                                  R"({"Name":"hard","Quota":1,"Rate":2}])");
    ASSERT_EQ(d["Problems"].size(), 3u);
    const json& p3 = d["Problems"][2];
    EXPECT_EQ(Keys(p3),
              Sorted({"Id", "Title", "Category", "Difficulty", "Group", "Rate", "Condition",
                      "PictureFile", "PictureSize", "PictureHead", "Mode", "Variants"}));
    EXPECT_EQ(p3["Category"], "Россия");
    EXPECT_EQ(p3["Rate"].dump(), "2.5");
    EXPECT_EQ(p3["Condition"][2], "   ; typed, blanks do not count");
    EXPECT_EQ(p3["PictureSize"], 6);
    EXPECT_EQ(p3["PictureHead"], "ffd8ff0010ab");
    EXPECT_EQ(p3["Mode"], 2);
    EXPECT_EQ(p3["Variants"][0].dump(), R"({"Text":"МОСКВА","Weight":100})");
    EXPECT_EQ(d["Problems"][1]["PictureFile"], "rivers.jpg");
}

TEST(ModelTool, DumpPreparedShowsTheDrawAndPreparedValues) {
    const TRun run = RunTool({"dump", ModelData("picture.ttxt").string(), "--prepared"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const json d = run.Json();
    EXPECT_EQ(d["Selected"].dump(), "[0,1]");
    EXPECT_EQ(d["Groups"].dump(), R"([{"Name":"","Quota":2,"Rate":1,"Problems":[0,1]}])");
    // The picture was read from the file beside the test; the head shows its first 32 bytes.
    const auto dot = FileBytes(ModelData("pictures/dot.jpg"));
    EXPECT_EQ(d["Problems"][0]["PictureSize"], dot.size());
    EXPECT_EQ(d["Problems"][0]["PictureHead"].get<std::string>().size(), 64u);
    EXPECT_EQ(d["Problems"][0]["PictureHead"].get<std::string>().substr(0, 8), "ffd8ffe0");
    EXPECT_EQ(d["Problems"][0]["Rate"], 1);

    // The same seed gives the same draw; quotas cap the draw at one problem per group.
    const json a = RunTool({"dump", kGeography, "--prepared", "--seed", "11"}).Json();
    const json b = RunTool({"dump", kGeography, "--prepared", "--seed", "11"}).Json();
    EXPECT_EQ(a["Selected"], b["Selected"]);
    EXPECT_EQ(a["Selected"].size(), 2u);
    EXPECT_EQ(a["Groups"][0]["Problems"].dump(), "[0,2]");  // EASY joins easy
    EXPECT_EQ(a["Problems"][1]["Rate"], 2);                 // taken from its group
    std::set<std::string> draws;
    for (int seed = 1; seed <= 12; ++seed) {
        draws.insert(RunTool({"dump", kGeography, "--prepared", "--seed", std::to_string(seed)})
                         .Json()["Selected"]
                         .dump());
    }
    EXPECT_GT(draws.size(), 2u);
}

TEST(ModelTool, DumpOfATestThatDoesNotLoad) {
    for (const std::string& path :
         {ModelData("missing.ttxt").string(), ModelData("make_fixtures.py").string()}) {
        const TRun run = RunTool({"dump", path});
        EXPECT_EQ(run.Status, 1) << path;
        const json d = run.Json();
        EXPECT_EQ(d["Loaded"], false);
        EXPECT_TRUE(d["Problems"].empty());
        EXPECT_FALSE(run.Err.empty());
    }
}

// A count of two billion problems over megabytes of zeros once gave millions of empty
// problems and gigabytes of memory: dump and check read it as a damaged file.
TEST(ModelTool, CountsPastTheLimitsOfATestAreADamagedFile) {
    TempDir dir;
    std::vector<std::uint8_t> bytes = TBytes().TestHead().Int(0).Int(INT32_MAX).Data;
    bytes.resize(bytes.size() + (8 << 20), 0);
    const auto path = dir / "zeros.tbin";
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
    const TRun dump = RunTool({"dump", path.string()});
    EXPECT_EQ(dump.Status, 1);
    EXPECT_EQ(dump.Json()["Loaded"], false);
    EXPECT_TRUE(dump.Json()["Problems"].empty());
    const TRun check = RunTool({"check", path.string()});
    EXPECT_EQ(check.Status, 1);
    EXPECT_NE(check.Out.find("2147483647 — больше, чем может быть в тесте"), std::string::npos)
        << check.Out;
}

TEST(ModelTool, BadArgumentsGiveStatusTwoAndUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {"dump"},
        {"dump", kGeography, "--seed", "3"},  // --seed needs --prepared
        {"dump", kGeography, "--prepared", "--seed", "x"},
        {"score", kGeography},
        {"pack", kGeography},
        {"pack", kGeography, "/tmp/out.doc"},
        {"pack", kGeography, "/tmp/out.ttxt", "--scramble"},
        {"dump", kGeography, "--bogus"},
    };
    for (const auto& args : cases) {
        const TRun run = RunTool(args);
        EXPECT_EQ(run.Status, 2) << testing::PrintToString(args);
        EXPECT_TRUE(run.Out.empty()) << testing::PrintToString(args);
        // The parser's own errors point to --help; the commands' checks print the usage.
        EXPECT_TRUE(run.Err.find("Usage") != std::string::npos ||
                    run.Err.find("--help") != std::string::npos)
            << testing::PrintToString(args) << run.Err;
    }
}

TEST(ModelTool, ScoreAppliesTheAnswersAsTheStationDoes) {
    TempDir dir;
    WriteFile(dir / "answers.txt", "1\tparis\n2\tSeine\r\n2\tAlps\n\n3\t моск ва \n2\tLoire\n");
    const TRun run = RunTool({"score", kGeography, (dir / "answers.txt").string()});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const json d = run.Json();
    EXPECT_EQ(Keys(d), Sorted({"Points", "Mark", "Scores"}));
    EXPECT_EQ(d["Scores"].dump(), "[100,50,100]");
    EXPECT_EQ(d["Points"].dump(), "2.5");
    EXPECT_EQ(d["Mark"], 5);

    WriteFile(dir / "none.txt", "");
    const json empty = RunTool({"score", kGeography, (dir / "none.txt").string()}).Json();
    EXPECT_EQ(empty["Scores"].dump(), "[0,0,0]");
    EXPECT_EQ(empty["Mark"], 1);

    for (const char* bad : {"x\tParis\n", "4\tParis\n", "0\tParis\n", "1 Paris\n"}) {
        WriteFile(dir / "bad.txt", bad);
        const TRun failed = RunTool({"score", kGeography, (dir / "bad.txt").string()});
        EXPECT_EQ(failed.Status, 2) << bad;
        EXPECT_TRUE(failed.Out.empty()) << bad;
    }
    EXPECT_EQ(RunTool({"score", kGeography, (dir / "missing.txt").string()}).Status, 2);
}

TEST(ModelTool, PackConvertsBetweenFormats) {
    TempDir dir;
    const std::string scrambled = (dir / "g.tbin").string();
    const std::string text = (dir / "g.txt").string();
    ASSERT_EQ(RunTool({"pack", kGeography, scrambled, "--scramble"}).Status, 0);
    EXPECT_NE(FileBytes(scrambled).at(0), 'T');
    ASSERT_EQ(RunTool({"pack", scrambled, text}).Status, 0);
    const json original = RunTool({"dump", kGeography}).Json();
    EXPECT_EQ(RunTool({"dump", scrambled}).Json(), original);
    EXPECT_EQ(RunTool({"dump", text}).Json(), original);

    // What the text format cannot hold is reported on stderr.
    TTezra odd;
    auto problem = std::make_unique<TProblem>();
    problem->Answers.Mode = 7;
    odd.Problems.push_back(std::move(problem));
    std::vector<std::string> warnings;
    ASSERT_TRUE(SaveTestFile(odd, dir / "odd.bin", false, warnings));
    const TRun packed = RunTool({"pack", (dir / "odd.bin").string(), (dir / "odd.ttxt").string()});
    EXPECT_EQ(packed.Status, 0);
    EXPECT_NE(packed.Err.find("Warning"), std::string::npos);
    EXPECT_EQ(RunTool({"dump", (dir / "odd.ttxt").string()}).Json()["Problems"][0]["Mode"], 0);

    const TRun missing = RunTool({"pack", (dir / "none.ttxt").string(), text});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_FALSE(missing.Err.empty());
}

TEST(ModelTool, FloatsPrintAsTheirShortestText) {
    TempDir dir;
    WriteFile(dir / "f.ttxt", Cp("§TEZRA\n§PARAMS\nMARK5=0.1\nMARK4=3e38\nMARK3=1e39\n"
                                 "MARK2=-1e39\n§END PARAMS\n§END TEZRA\n"));
    const json d = RunTool({"dump", (dir / "f.ttxt").string()}).Json();
    EXPECT_EQ(d["MarkThresholds"].dump(), R"([0,"-Infinity","Infinity",3e+38,0.1])");
}

}  // namespace
