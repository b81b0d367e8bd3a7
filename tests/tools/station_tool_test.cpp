// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/common/RunTool.h"
#include "tests/common/TempDir.h"

namespace {

TEST(StationTool, PrintsWhatTheStationReads) {
    TempDir dir;
    dir.Write("tezra-net.ini",
              "[general]\r\nneedlogin=1\r\nsecure=0\r\n[groups]\r\n5\xC0=\r\n"
              "[servers]\r\n127.0.0.1:8301=\r\n");
    dir.Write("tezra/b.bin", "x");
    dir.Write("tezra/a.ttxt", "x");
    dir.Write("tezra/a.desc", "\xC3\xE5\xEE\xE3\xF0\xE0\xF4\xE8\xFF\r\n");
    dir.Write("splash/s.jpeg", "x");
    dir.Write("splash/t.jpg", "x");

    const ToolRun run = RunTool({"station", dir.Path.string()});
    ASSERT_EQ(run.ExitCode, 0) << run.Out;
    const auto json = nlohmann::json::parse(run.Out);
    EXPECT_EQ(json.size(), 15u);
    EXPECT_EQ(json["ProgramDir"], dir.Path.string());
    EXPECT_EQ(json["ReportLog"], (dir.Path / "report.log").string());
    EXPECT_EQ(json["NeedLogin"], true);
    EXPECT_EQ(json["Secure"], false);
    EXPECT_EQ(json["RefreshTests"], false);
    EXPECT_EQ(json["ReportLevel"], 0);
    EXPECT_EQ(json["GroupNames"], nlohmann::json::array({"5А"}));
    EXPECT_EQ(json["Servers"], nlohmann::json::array({"127.0.0.1:8301"}));
    EXPECT_EQ(json["TestFiles"], nlohmann::json::array({(dir.Path / "tezra/a.ttxt").string(),
                                                        (dir.Path / "tezra/b.bin").string()}));
    EXPECT_EQ(json["TestNames"], nlohmann::json::array({"География", "b"}));
    EXPECT_EQ(json["SplashFiles"], nlohmann::json::array({(dir.Path / "splash/t.jpg").string(),
                                                          (dir.Path / "splash/s.jpeg").string()}));
}

TEST(StationTool, EmptyFolderHasDefaultsAndNoGroups) {
    TempDir dir;
    const ToolRun run = RunTool({"station", dir.Path.string()});
    ASSERT_EQ(run.ExitCode, 0);
    const auto json = nlohmann::json::parse(run.Out);
    EXPECT_TRUE(json["GroupNames"].is_null());
    EXPECT_EQ(json["RefreshTests"], true);
    EXPECT_EQ(json["Secure"], true);
    EXPECT_EQ(json["TestFiles"], nlohmann::json::array());
}

TEST(StationTool, BadArgumentsGiveUsage) {
    EXPECT_EQ(RunTool({"station"}).ExitCode, 2);
    EXPECT_EQ(RunTool({"station", "/nonexistent/station"}).ExitCode, 2);
    EXPECT_EQ(RunTool({}).ExitCode, 2);
    EXPECT_EQ(RunTool({"no-such-command"}).ExitCode, 2);
}

}  // namespace
