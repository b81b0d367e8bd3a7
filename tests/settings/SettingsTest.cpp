// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "platform/ProgramDir.h"
#include "settings/UCommon.h"
#include "tests/common/TempDir.h"

namespace {

TEST(Settings, NoIniKeepsBuiltInDefaults) {
    TempDir dir;
    const TSettings settings(dir.Path / "tezra-net");
    EXPECT_EQ(settings.ProgramDir, dir.Path);
    EXPECT_EQ(settings.TestDir, dir.Path / "tezra");
    EXPECT_EQ(settings.SplashDir, dir.Path / "splash");
    EXPECT_EQ(settings.ReportLog, dir.Path / "report.log");
    EXPECT_EQ(settings.IniPath, dir.Path / "tezra-net.ini");
    EXPECT_FALSE(settings.NeedLogin);
    EXPECT_FALSE(settings.NeedPassword);
    EXPECT_TRUE(settings.RefreshTests);
    EXPECT_TRUE(settings.Secure);
    EXPECT_TRUE(settings.SaveResults);
    EXPECT_EQ(settings.ReportLevel, 0);
    EXPECT_FALSE(settings.GroupNames.has_value());
    EXPECT_TRUE(settings.Servers.empty());
    EXPECT_TRUE(settings.TestFiles.empty());
    EXPECT_TRUE(settings.SplashFiles.empty());
    EXPECT_TRUE(settings.TestFile.empty());
}

TEST(Settings, IniWithoutAKeyUsesTheReadDefault) {
    struct Case {
        const char* Ini;
        bool RefreshTests;
        bool Secure;
        bool SaveResults;
        bool NeedLogin;
        std::int32_t ReportLevel;
    };
    const Case cases[] = {
        // An ini without "refreshtezras" turns refreshing off, unlike no ini at all.
        {"[general]\r\n", false, true, true, false, 0},
        {"", false, true, true, false, 0},
        {"[General]\nSecure=0\nNeedLogin=1\nRefreshTezras=1\nreportlevel=$10\n", true, false, true,
         true, 16},
        {"[general]\nsecure=yes\nsaveresults=0\nneedlogin=2\nreportlevel=x\n", false, true, false,
         true, 0},
        {"[other]\nsecure=0\n", false, true, true, false, 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.Write("tezra-net.ini", c.Ini);
        const TSettings settings(dir.Path / "tezra-net");
        EXPECT_EQ(settings.RefreshTests, c.RefreshTests) << c.Ini;
        EXPECT_EQ(settings.Secure, c.Secure) << c.Ini;
        EXPECT_EQ(settings.SaveResults, c.SaveResults) << c.Ini;
        EXPECT_EQ(settings.NeedLogin, c.NeedLogin) << c.Ini;
        EXPECT_EQ(settings.ReportLevel, c.ReportLevel) << c.Ini;
    }
}

TEST(Settings, GroupsAndServersKeepFileOrder) {
    TempDir dir;
    dir.Write("tezra-net.ini",
              "[groups]\r\n5\xC0=\r\n5\xC1=\r\n[servers]\r\nb.school=\r\n127.0.0.1:8080=\r\n");
    const TSettings settings(dir.Path / "tezra-net");
    ASSERT_TRUE(settings.GroupNames.has_value());
    EXPECT_EQ(*settings.GroupNames, (std::vector<std::string>{"5\xC0", "5\xC1"}));
    EXPECT_EQ(settings.Servers, (std::vector<std::string>{"b.school", "127.0.0.1:8080"}));

    TempDir empty;
    empty.Write("tezra-net.ini", "[groups]\n[servers]\n");
    const TSettings emptyGroups(empty.Path / "tezra-net");
    ASSERT_TRUE(emptyGroups.GroupNames.has_value());  // present but empty
    EXPECT_TRUE(emptyGroups.GroupNames->empty());
}

TEST(Settings, IniPathReplacesTheExecutableExtension) {
    TempDir dir;
    dir.Write("station.ini", "[general]\nsecure=0\n");
    EXPECT_FALSE(TSettings(dir.Path / "station.exe").Secure);
    EXPECT_TRUE(TSettings(dir.Path / "other").Secure);
}

// An editor's UTF-8 byte-order mark once hid the [general] section: the login disappeared and
// secure mode came on.
TEST(Settings, IniWithAByteOrderMarkOrThatIsNoRegularFile) {
    struct Case {
        const char* Name;
        std::string Ini;
        bool NeedLogin;
        bool Secure;
    };
    const Case cases[] = {
        {"mark", "\xEF\xBB\xBF[general]\r\nneedlogin=1\r\nsecure=0\r\n", true, false},
        {"no mark", "[general]\r\nneedlogin=1\r\nsecure=0\r\n", true, false},
        {"mark inside", "[general]\r\n\xEF\xBB\xBFneedlogin=1\r\nsecure=0\r\n", false, false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.Write("tezra-net.ini", c.Ini);
        const TSettings settings(dir.Path / "tezra-net");
        EXPECT_EQ(settings.NeedLogin, c.NeedLogin) << c.Name;
        EXPECT_EQ(settings.Secure, c.Secure) << c.Name;
    }
    // A FIFO as the ini, a FIFO and a device among the tests and pictures: passed over as if
    // they were not there, without waiting for a writer.
    TempDir dir;
    ASSERT_EQ(mkfifo((dir.Path / "tezra-net.ini").c_str(), 0644), 0);
    dir.Write("tezra/real.ttxt", "x");
    ASSERT_EQ(mkfifo((dir.Path / "tezra" / "pipe.ttxt").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", dir.Path / "tezra" / "zero.bin");
    std::filesystem::create_directories(dir.Path / "splash");
    ASSERT_EQ(mkfifo((dir.Path / "splash" / "pipe.jpg").c_str(), 0644), 0);
    const TSettings settings(dir.Path / "tezra-net");
    EXPECT_FALSE(settings.NeedLogin);
    EXPECT_TRUE(settings.Secure);
    EXPECT_TRUE(settings.RefreshTests);
    EXPECT_EQ(settings.TestFiles,
              std::vector<std::filesystem::path>{dir.Path / "tezra" / "real.ttxt"});
    EXPECT_TRUE(settings.SplashFiles.empty());
}

TEST(Settings, ScansTestsByExtensionGroupsAndSplashesJpgFirst) {
    TempDir dir;
    for (const char* name : {"tezra/b.txt", "tezra/a.bin", "tezra/z.ttxt", "tezra/A.TBIN",
                             "tezra/m.TXT", "tezra/notes.doc", "tezra/c.desc", "splash/b.jpeg",
                             "splash/c.jpg", "splash/A.JPG", "splash/readme.txt"}) {
        dir.Write(name, "x");
    }
    const TSettings settings(dir.Path / "tezra-net");
    EXPECT_EQ(Names(settings.TestFiles),
              (std::vector<std::string>{"z.ttxt", "b.txt", "m.TXT", "A.TBIN", "a.bin"}));
    EXPECT_EQ(Names(settings.SplashFiles), (std::vector<std::string>{"A.JPG", "c.jpg", "b.jpeg"}));
    EXPECT_EQ(settings.TestFiles.front(), dir.Path / "tezra" / "z.ttxt");
}

TEST(Settings, FindFilesReportsAbsentListAndCounts) {
    TempDir dir;
    dir.Write("t/a.txt", "x");
    dir.Write("t/b.txt", "x");
    EXPECT_EQ(FindFiles(nullptr, dir.Path / "t", "*.txt"), -1);
    std::vector<std::filesystem::path> list{"keep"};
    EXPECT_EQ(FindFiles(&list, dir.Path / "t", "*.txt"), 2);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(FindFiles(&list, dir.Path / "missing", "*.txt"), 0);
}

// An installed station runs its program from a read-only folder and reads everything else,
// report.log included, from the station folder that the environment names.
TEST(Settings, StationFolderFromTheEnvironment) {
    TempDir dir;
    const std::filesystem::path name = ExecutablePath().filename();
    dir.Write(name.string() + ".ini", "[general]\r\nsecure=0\r\n");
    dir.Write("tezra/a.ttxt", "x");
    struct Case {
        std::string Folder;
        std::filesystem::path Program;
    };
    const Case cases[] = {
        {"", ExecutablePath()},
        {dir.Path.string(), dir.Path / name},
        {dir.Path.string() + "/", dir.Path / name},
        {dir.Path.string() + "/tezra/..", dir.Path / name},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Folder);
        EXPECT_EQ(StationProgramPath(c.Folder), c.Program);
    }
    EXPECT_EQ(StationProgramPath("station").parent_path(),
              std::filesystem::current_path() / "station");

    ASSERT_EQ(setenv("TEZRA_STATION_DIR", dir.Path.c_str(), 1), 0);
    const TSettings settings;
    unsetenv("TEZRA_STATION_DIR");
    EXPECT_EQ(settings.ProgramDir, dir.Path);
    EXPECT_EQ(settings.ReportLog, dir.Path / "report.log");
    EXPECT_FALSE(settings.Secure);
    EXPECT_EQ(settings.TestFiles.size(), 1u);
    EXPECT_EQ(TSettings().ProgramDir, ExecutablePath().parent_path());
}

}  // namespace
