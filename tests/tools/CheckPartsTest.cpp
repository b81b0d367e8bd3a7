// SPDX-License-Identifier: GPL-3.0-or-later
// The small parts of the test checker that read untrusted bytes or walk the result servers.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tests/common/Loopback.h"
#include "tests/common/TempDir.h"
#include "tools/check/CheckText.h"
#include "tools/check/PictureCheck.h"
#include "tools/check/ServerCheck.h"
#include "tools/check/StationCheck.h"

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(CheckParts, JpegFrameSizeReadsTheFrameHeaderAndNeverPastTheData) {
    const std::string frame = std::string("\xFF\xC0\x00\x11\x08", 5) + "\x01\x02" + "\x03\x04";
    const struct {
        std::string Bytes;
        std::optional<std::pair<int, int>> Size;
    } cases[] = {
        {"\xFF\xD8" + frame, std::pair{0x0304, 0x0102}},
        // Fill bytes, a stand-alone marker and a table segment before the frame header.
        {"\xFF\xD8\xFF\xFF\xD0" + std::string("\xFF\xDB\x00\x04\xAA\xBB", 6) + frame,
         std::pair{0x0304, 0x0102}},
        {std::string("\xFF\xD8\xFF\xC2\x00\x11\x08\x00\x10\x00\x20", 11), std::pair{32, 16}},
        {"\xFF\xD8" + frame.substr(0, 8), std::nullopt},  // cut inside the frame header
        {std::string("\xFF\xD8\xFF\xDA\x00\x02", 6) + frame, std::nullopt},  // scan first
        {std::string("\xFF\xD8\xFF\xDB\xFF\xFF", 6), std::nullopt},  // a length past the end
        {std::string("\xFF\xD8\xFF\xDB\x00\x01", 6) + frame, std::nullopt},  // length below 2
        {"\xFF\xD8 text" + frame, std::nullopt},
        {"GIF89a", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Bytes));
        // A copy of exactly the bytes, so that reading past them is caught by the sanitizer.
        const std::vector<std::uint8_t> bytes = Bytes(c.Bytes);
        EXPECT_EQ(JpegFrameSize(bytes.data(), bytes.size()), c.Size);
    }
}

TEST(CheckParts, PictureErrorsTellWhyTheStationCannotShowThePicture) {
    const std::string dot = TempDir::Read(std::filesystem::path(TEZRA_TEST_DATA_DIR) / "model" /
                                          "pictures" / "dot.jpg");
    const std::string huge =
        std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x20\x00\x20\x01\x03", 12) + "tail";
    const struct {
        std::string Bytes;
        const char* Code;  // nullptr: shown
    } cases[] = {
        {dot, nullptr},
        {"", "p-empty"},
        {"not a picture", "p-not-jpeg"},
        {huge, "p-too-large"},  // 8193 x 8192 pixels
        {dot.substr(0, 200), "p-damaged"},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> bytes = Bytes(c.Bytes);
        const auto error = PictureError(bytes.data(), bytes.size(), 7, "p", "рисунок");
        ASSERT_EQ(error.has_value(), c.Code != nullptr) << c.Code;
        if (error) {
            EXPECT_EQ(error->Code, c.Code);
            EXPECT_EQ(error->Place, 7u);
            EXPECT_EQ(error->Severity, TSeverity::Error);
        }
    }
}

TEST(CheckParts, Utf8IsToldFromWindows1251) {
    const struct {
        const char* Bytes;
        bool Utf8;
    } cases[] = {
        {"\xCF\xF0\xE8\xE2\xE5\xF2", false},  // "Привет" in cp1251
        {"Привет", true},
        {"\xEF\xBB\xBF"
         "TEZRA",
         true},
        {"plain ASCII", false},
        {"\xD0", false},          // a sequence cut short
        {"\xD0\x9F\xF0", false},  // a good sequence, then a bad one
        {"\xA7TEZRA", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LooksLikeUtf8(c.Bytes), c.Utf8) << c.Bytes;
    }
}

TEST(CheckParts, ServersAreProbedInTheOrderAndWithThePortsOfTheStationsWalk) {
    const LoopbackListener up = ListenOnLoopback(8);
    ASSERT_GE(up.Fd, 0);
    const std::string port = std::to_string(up.Port);
    const int down = UnusedLoopbackPort();
    const std::vector<std::string> servers = {"127.0.0.1:" + std::to_string(down),
                                              "127.0.0.1:" + port, "127.0.0.1", ""};
    // The start server comes first unless the list holds it; a server without a port takes
    // the port of the attempt before it.
    const std::vector<TServerProbe> probes = ProbeServers("LOCALHOST:" + port, servers, 2000);
    ::close(up.Fd);
    ASSERT_EQ(probes.size(), 5u);
    const struct {
        int ListIndex;
        bool Reachable;
        std::string Why;
    } expected[] = {{-1, true, ""},
                    {0, false, "соединение отвергнуто"},
                    {1, true, ""},
                    {2, true, ""},
                    {3, false, "в адресе нет имени сервера"}};
    for (std::size_t i = 0; i < probes.size(); ++i) {
        SCOPED_TRACE(probes[i].Address);
        EXPECT_EQ(probes[i].ListIndex, expected[i].ListIndex);
        EXPECT_EQ(probes[i].Reachable, expected[i].Reachable);
        EXPECT_EQ(probes[i].Why, expected[i].Why);
    }
    EXPECT_EQ(ProbeServers(servers[1], servers, 2000).size(), 4u);  // listed: tried in place
}

// A report.log that cannot take a record is told, and a FIFO under its name does not hold the
// check.
TEST(CheckParts, StationTellsWhenReportLogTakesNoRecord) {
    struct Case {
        const char* Name;
        void (*Make)(const std::filesystem::path& log);
        bool Refused;
    };
    const Case cases[] = {
        {"missing", [](const std::filesystem::path&) {}, false},
        {"regular file", [](const std::filesystem::path& log) { std::ofstream(log) << "x"; },
         false},
        {"folder",
         [](const std::filesystem::path& log) { std::filesystem::create_directory(log); }, true},
        {"fifo", [](const std::filesystem::path& log) { ::mkfifo(log.c_str(), 0644); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempDir dir;
        dir.Write("tezra/a.ttxt", "x");
        c.Make(dir.Path / "report.log");
        TStationCheckOptions options;
        options.Folder = dir.Path.string();
        options.StartServer = "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
        TCheckRun run;
        ASSERT_TRUE(CheckStation(options, run));
        bool refused = false;
        for (const TFileReport& file : run.Files) {
            for (const TDiagnostic& diagnostic : file.Diagnostics) {
                refused = refused || diagnostic.Code == "report-log-not-writable";
            }
        }
        EXPECT_EQ(refused, c.Refused);
    }
}

// A full disk takes no record either: the check says so before the students find out.
TEST(CheckParts, StationTellsWhenTheDiskHasNoRoomForARecord) {
    TempDir dir;
    const auto station = dir.Path / "station";
    std::filesystem::create_directories(station);
    if (::mount("tezra-test", station.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
        GTEST_SKIP() << "a 64 KiB tmpfs cannot be mounted here (it needs root)";
    }
    struct Unmount {
        std::filesystem::path Path;
        ~Unmount() { ::umount2(Path.c_str(), MNT_DETACH); }
    } unmount{station};
    std::filesystem::create_directories(station / "tezra");
    std::ofstream(station / "tezra" / "a.ttxt") << "x";
    std::ofstream(station / "report.log") << "x";
    std::vector<std::string> found;
    for (int fill = 0; fill < 2; ++fill) {
        TStationCheckOptions options;
        options.Folder = station.string();
        options.StartServer = "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
        TCheckRun run;
        ASSERT_TRUE(CheckStation(options, run));
        std::string text;
        for (const TFileReport& file : run.Files) {
            for (const TDiagnostic& diagnostic : file.Diagnostics) {
                if (diagnostic.Code == "report-log-not-writable") {
                    text = diagnostic.Text;
                }
            }
        }
        found.push_back(text);
        std::ofstream(station / "filler") << std::string(128 * 1024, 'f');
    }
    EXPECT_EQ(found[0], "");
    EXPECT_NE(found[1].find("на диске нет места"), std::string::npos) << found[1];
}

}  // namespace
