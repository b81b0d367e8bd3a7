// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool convert run as a separate program: formats by extension and by --from/--to, exit
// statuses, --json and --quiet, and a UTF-8 station test rewritten in place as cp1251.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "tests/common/RunTool.h"
#include "tests/common/TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::string kGift = "$CATEGORY: Алгебра\n\n::Q1::2+2? {=4 ~5}\n\nEssay {}\n";

TEST(ConvertTool, ExitStatusesAndFormats) {
    TempDir dir;
    const std::string gift = dir.Write("bank.gift", kGift).string();
    dir.Write("bank.dat", kGift);
    dir.Write("essays.gift", "Essay {}\n");
    const struct {
        std::vector<std::string> Args;
        int Exit;
        std::string Out;  // a file that must exist afterwards, or empty
    } cases[] = {
        {{gift, (dir.Path / "a.ttxt").string()}, 0, "a.ttxt"},
        {{gift, (dir.Path / "a.bin").string()}, 0, "a.bin"},
        {{gift, (dir.Path / "a.out").string(), "--to", "tbin-scrambled"}, 0, "a.out"},
        {{gift, (dir.Path / "b.xml").string()}, 0, "b.xml"},
        {{(dir.Path / "b.xml").string(), (dir.Path / "c.gift").string()}, 0, "c.gift"},
        {{(dir.Path / "bank.dat").string(), (dir.Path / "d.ttxt").string(), "--from", "gift"},
         0,
         "d.ttxt"},
        {{(dir.Path / "essays.gift").string(), (dir.Path / "e.ttxt").string()}, 1, ""},
        {{(dir.Path / "bank.dat").string(), (dir.Path / "f.ttxt").string()}, 2, ""},
        {{gift, (dir.Path / "g.aiken").string()}, 2, ""},
        {{gift, (dir.Path / "g.ttxt").string(), "--to", "docx"}, 2, ""},
        {{(dir.Path / "missing.gift").string(), (dir.Path / "h.ttxt").string()}, 2, ""},
        {{gift, (dir.Path / "no" / "such" / "folder.ttxt").string()}, 2, ""},
        {{gift}, 2, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"convert"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        SCOPED_TRACE(args.back());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.ExitCode, c.Exit) << run.Out;
        if (!c.Out.empty()) {
            EXPECT_TRUE(fs::exists(dir.Path / c.Out));
        }
    }
    // Every station form loads in the station with the one converted problem.
    for (const char* name : {"a.ttxt", "a.bin", "d.ttxt"}) {
        ASSERT_TRUE(LoadTestFile(dir.Path / name)) << name;
        ASSERT_EQ(CurrentTezra().Problems.size(), 1u) << name;
        EXPECT_EQ(CurrentTezra().Problems[0]->Group, Utf8ToCp1251("Алгебра"));
    }
    fs::rename(dir.Path / "a.out", dir.Path / "scrambled.tbin");
    EXPECT_NE(TempDir::Read(dir.Path / "scrambled.tbin").substr(0, 4), "TZRA");
    ASSERT_TRUE(LoadTestFile(dir.Path / "scrambled.tbin"));
    EXPECT_EQ(CurrentTezra().Problems.size(), 1u);
}

TEST(ConvertTool, JsonAndQuietReportTheSameFindings) {
    TempDir dir;
    const std::string gift = dir.Write("bank.gift", kGift).string();
    const std::string out = (dir.Path / "out.ttxt").string();
    const ToolRun text = RunTool({"convert", gift, out});
    EXPECT_NE(text.Out.find("bank.gift:5: warning: вопрос пропущен: эссе"), std::string::npos)
        << text.Out;
    EXPECT_NE(text.Out.find("bank.gift: преобразовано задач 1, пропущено 1: эссе 1"),
              std::string::npos);
    const ToolRun json = RunTool({"convert", gift, out, "--json"});
    const auto document = nlohmann::json::parse(json.Out);
    EXPECT_EQ(document["converted"], 1);
    EXPECT_EQ(document["leftOut"]["эссе"], 1);
    EXPECT_EQ(document["errors"], 0);
    bool essay = false;
    for (const auto& d : document["files"][0]["diagnostics"]) {
        essay = essay || (d["line"] == 5 && d["code"] == "left-out");
    }
    EXPECT_TRUE(essay);
    const ToolRun quiet = RunTool({"convert", gift, out, "--quiet"});
    EXPECT_EQ(quiet.ExitCode, 0);
    EXPECT_EQ(quiet.Out, "");
}

TEST(ConvertTool, Utf8StationTestIsRewrittenInPlaceAsCp1251) {
    TempDir dir;
    const std::string utf8 =
        "\xEF\xBB\xBF§TEZRA\n§PARAMS\nTITLE=Тест − проверка\n§END PARAMS\n§GROUPS\n§END GROUPS\n"
        "§PROBLEMS\n§PROBLEM\n§CONDITION\n2 × 2 = ?\n§END CONDITION\n§ANSWER\nMODE=INPUT\n"
        "§VARIANTS\n[100] 4\n§END ANSWER\n§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n";
    const fs::path test = dir.Write("test.ttxt", utf8);
    const ToolRun run = RunTool({"convert", test.string(), test.string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_NE(run.Out.find("test.ttxt:3: warning: символ «−»"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("test.ttxt:10: warning: символ «×»"), std::string::npos);
    const std::string bytes = TempDir::Read(test);
    EXPECT_EQ(bytes.substr(0, 8), "\xA7TEZRA\r\n");
    ASSERT_TRUE(LoadTestFile(test));
    EXPECT_EQ(CurrentTezra().Title, Utf8ToCp1251("Тест - проверка"));
    ASSERT_EQ(CurrentTezra().Problems.size(), 1u);
    EXPECT_EQ(CurrentTezra().Problems[0]->Condition, std::vector<std::string>{"2 x 2 = ?"});
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
}

}  // namespace
