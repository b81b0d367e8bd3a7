// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool check run as a separate program: exit statuses, the JSON document, --quiet, and
// the check of a whole station folder with result servers listening on 127.0.0.1.

#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "settings/AttemptJournal.h"
#include "tests/common/Loopback.h"
#include "tests/common/RunTool.h"
#include "tests/common/TempDir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = TEZRA_TEST_DATA_DIR;

std::string Check(const std::string& name) {
    return (kData / "check" / name).string();
}

// The lines of the output that contain the text.
std::vector<std::string> LinesWith(const std::string& out, const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        const std::string line = out.substr(start, end - start);
        if (line.find(text) != std::string::npos) {
            lines.push_back(line);
        }
        start = end == std::string::npos ? out.size() : end + 1;
    }
    return lines;
}

// A listener that accepts connections on 127.0.0.1 and a port where nobody listens.
struct TServers {
    LoopbackListener Up = ListenOnLoopback(8);
    int DownPort = UnusedLoopbackPort();
    ~TServers() {
        if (Up.Fd >= 0) {
            ::close(Up.Fd);
        }
    }
    std::string UpAddress() const { return "127.0.0.1:" + std::to_string(Up.Port); }
    std::string DownAddress() const { return "127.0.0.1:" + std::to_string(DownPort); }
};

TEST(CheckTool, ExitStatusTellsErrorsFromWarningsFromBadArguments) {
    const struct {
        std::vector<std::string> Args;
        int Status;
    } cases[] = {
        {{"check", (kData / "model" / "no-groups.txt").string()}, 0},
        {{"check", Check("marks.ttxt")}, 0},                       // warnings only
        {{"check", Check("marks.ttxt"), Check("empty.ttxt")}, 1},  // one file has an error
        {{"check", Check("no-such-file.ttxt")}, 1},
        {{"check"}, 2},
        {{"check", "--ip", "127.0.0.1", Check("marks.ttxt")}, 2},  // --ip needs --station
        {{"check", "--station", Check("marks.ttxt")}, 2},          // not a folder
        {{"check", "--no-such-option", Check("marks.ttxt")}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.back());
        EXPECT_EQ(RunTool(c.Args).ExitCode, c.Status);
    }
}

TEST(CheckTool, JsonHoldsTheSameFindingsAndQuietKeepsErrorsOnly) {
    const std::vector<std::string> files = {Check("answers.ttxt"), Check("truncated.tbin")};
    std::vector<std::string> args = {"check", "--json"};
    args.insert(args.end(), files.begin(), files.end());
    const ToolRun all = RunTool(args);
    ASSERT_EQ(all.ExitCode, 1);
    const auto json = nlohmann::json::parse(all.Out);
    EXPECT_EQ(json["errors"], 2);
    EXPECT_EQ(json["warnings"], 9);
    const auto& answers = json["files"][0];
    EXPECT_EQ(answers["file"], files[0]);
    EXPECT_EQ(answers["summary"]["given"], 6);
    EXPECT_EQ(answers["summary"]["highestPoints"], 3.8);
    EXPECT_EQ(answers["diagnostics"][0]["line"], 17);
    EXPECT_EQ(answers["diagnostics"][0]["code"], "radio-no-100");
    const auto& binary = json["files"][1]["diagnostics"][0];
    EXPECT_EQ(binary["offset"], 200);
    EXPECT_EQ(binary["severity"], "error");

    args.push_back("--quiet");
    const auto quiet = nlohmann::json::parse(RunTool(args).Out);
    EXPECT_EQ(quiet["files"][0]["diagnostics"].size(), 1u);
    EXPECT_EQ(quiet["files"][0]["diagnostics"][0]["code"], "variant-lost");

    const ToolRun text = RunTool({"check", "--quiet", files[0], files[1]});
    EXPECT_EQ(text.Out, files[0] +
                            ":94: error: вариант «[50] c» пропущен: список вариантов кончился "
                            "раньше, на строке 93 «50] b»\n" +
                            files[1] + ":200: error: данные кончаются внутри записи ответов\n");
}

// A station with a little of everything wrong, and one where only warnings remain.
TEST(CheckTool, StationFolderIsCheckedAsTheStationReadsIt) {
    const TServers servers;
    ASSERT_GE(servers.Up.Fd, 0);
    TempDir dir;
    dir.Write("tezra-net.ini",
              "stray=1\r\n[general]\r\nneedlogin=yes\r\nsecure=0\r\nsecure=1\r\nsaveresult=1\r\n"
              "[extra]\r\n[servers]\r\n" +
                  servers.DownAddress() + "=\r\n" + servers.UpAddress() +
                  "=primary\r\n[general]\r\nneedlogin=1\r\n");
    const std::string test = TempDir::Read(kData / "model" / "no-groups.txt");
    dir.Write("tezra/a.ttxt", test);
    dir.Write("tezra/a.desc", "\r\nsecond line\r\n");
    dir.Write("tezra/b.txt", TempDir::Read(Check("nothing-drawn.ttxt")));
    dir.Write("tezra/b.desc", "Тест");  // UTF-8, which the chooser would garble
    dir.Write("tezra/lost.desc", "Описание без теста");
    // A picture named from the program folder, found there as the station finds it.
    std::string withPicture = test;
    withPicture.replace(withPicture.find("\xA7"
                                         "ANSWER"),
                        0, "\xA7PICTURE\nFILE=pics\\dot.jpg\n");
    dir.Write("tezra/c.ttxt", withPicture);
    dir.Write("pics/dot.jpg", TempDir::Read(kData / "model" / "pictures" / "dot.jpg"));
    dir.Write("splash/good.jpg", TempDir::Read(kData / "model" / "pictures" / "dot.jpg"));
    dir.Write("splash/bad.jpeg", "not a picture");
    fs::create_directories(dir.Path / "report.log");  // a folder: no record can be appended

    const std::string root = dir.Path.string();
    const ToolRun run = RunTool({"check", "--station", root, "--ip", servers.DownAddress()});
    EXPECT_EQ(run.ExitCode, 1);
    const std::vector<std::string> expected = {
        root + "/tezra-net.ini:1: warning: строка стоит до первого раздела",
        root +
            "/tezra-net.ini:3: warning: значение «yes» ключа «needlogin» — не целое число: "
            "берётся 0",
        root + "/tezra-net.ini:5: warning: ключ «secure» уже задан в строке 4: действует первый",
        root + "/tezra-net.ini:6: warning: неизвестный ключ «saveresult» в разделе [general]",
        root + "/tezra-net.ini:7: warning: неизвестный раздел [extra]",
        root + "/tezra-net.ini:9: warning: сервер результатов «" + servers.DownAddress() +
            "» не принимает соединение: соединение отвергнуто",
        root +
            "/tezra-net.ini:10: warning: в разделе [servers] читается только часть до «=»: "
            "«primary» после «=» не действует",
        root + "/tezra-net.ini:11: warning: раздел [general] уже был в строке 2",
        root + "/tezra/a.ttxt: задач 2,",
        root + "/tezra/a.desc:1: warning: первая строка описания пуста",
        root +
            "/tezra/c.ttxt: задач 2, группы: без группы все 2; ученику даётся 2, наибольший "
            "балл 2; ошибок 0, предупреждений 0",
        root + "/tezra/b.txt:1: error: ученик не получит ни одной задачи",
        root + "/tezra/b.desc:1: warning: описание, похоже, в кодировке UTF-8",
        root + "/tezra/lost.desc: warning: рядом нет теста с тем же именем",
        root + "/splash/bad.jpeg: error: рисунок заставки: не JPEG",
        root + ": error: в " + root + "/report.log нельзя дописать запись",
        root + ": тестов 3, рисунков заставки 2, серверов результатов отвечает 1 из 2",
    };
    for (const std::string& line : expected) {
        EXPECT_EQ(LinesWith(run.Out, line).size(), 1u) << line << "\n" << run.Out;
    }
    // The start server is listed in [servers] (here the one that is down), so it is tried
    // once, in its place in the list.
    EXPECT_TRUE(LinesWith(run.Out, "сервер, с которым станция запускается").empty());
    EXPECT_TRUE(LinesWith(run.Out, "good.jpg").empty());

    fs::remove(dir.Path / "report.log");
    const ToolRun quiet =
        RunTool({"check", "--quiet", "--station", root, "--ip", servers.UpAddress()});
    EXPECT_EQ(LinesWith(quiet.Out, "warning").size(), 0u);
    EXPECT_EQ(LinesWith(quiet.Out, ": error: ").size(), 2u) << quiet.Out;
    EXPECT_FALSE(fs::exists(dir.Path / "report.log"));  // checked, never written
}

TEST(CheckTool, StationWithoutAnyAnsweringServerCannotSendResults) {
    const TServers servers;
    TempDir dir;
    dir.Write("tezra-net.ini",
              "[general]\r\nsaveresults=0\r\n[servers]\r\n" + servers.DownAddress() + "=\r\n");
    dir.Write("tezra/a.ttxt", TempDir::Read(kData / "model" / "no-groups.txt"));
    const std::string root = dir.Path.string();
    const ToolRun down = RunTool({"check", "--station", root, "--ip", "127.0.0.1:0"});
    EXPECT_EQ(down.ExitCode, 1);
    EXPECT_EQ(LinesWith(down.Out, root + ": warning: сервер, с которым станция запускается, "
                                         "«127.0.0.1:0» не принимает соединение: порт — не "
                                         "число от 1 до 65535")
                  .size(),
              1u)
        << down.Out;
    EXPECT_EQ(LinesWith(down.Out, root + ": error: ни один сервер результатов").size(), 1u);
    EXPECT_EQ(LinesWith(down.Out, root + ": warning: в папке splash нет рисунков").size(), 1u);

    const ToolRun up = RunTool({"check", "--station", root, "--ip", servers.UpAddress()});
    EXPECT_EQ(up.ExitCode, 0) << up.Out;
}

TEST(CheckTool, StationReportsATestWaitingAfterACrash) {
    const TServers servers;
    TempDir dir;
    dir.Write("tezra/a.ttxt", TempDir::Read(kData / "model" / "no-groups.txt"));
    TAttemptJournal journal;
    journal.User = "Smith";
    journal.Group = "9B";
    journal.TestName = "a";
    journal.TestFile = (dir.Path / "tezra" / "a.ttxt").string();
    journal.Start = journal.Saved = {{2024, 6, 11}, 36000000};
    journal.Progress.Selected = {0, 1};
    journal.Progress.Pending = {1};
    journal.Progress.Given = {{"x"}, {}};
    const std::string root = dir.Path.string();
    const struct {
        const char* name;
        std::string journal;
        std::string expected;  // the warning's text from its start
    } cases[] = {
        {"a test waits", EncodeAttemptJournal(journal),
         "в " + root +
             "/attempt.dat ждёт тест, прерванный сбоем: Smith (9B), a, осталось "
             "задач: 1"},
        {"damaged", "TZAJ!", root + "/attempt.dat повреждён"},
    };
    for (const auto& c : cases) {
        dir.Write("attempt.dat", c.journal);
        const ToolRun run = RunTool({"check", "--station", root, "--ip", servers.UpAddress()});
        EXPECT_EQ(run.ExitCode, 0) << c.name << run.Out;  // a warning, not an error
        EXPECT_EQ(LinesWith(run.Out, root + ": warning: " + c.expected).size(), 1u)
            << c.name << run.Out;
    }
}

// The demo station checks without errors when its start server answers; its [servers] may
// be down, which only warns.
TEST(CheckTool, DemoStationHasNoErrors) {
    const TServers servers;
    const fs::path demo = kData.parent_path().parent_path() / "examples" / "station";
    const ToolRun run =
        RunTool({"check", "--station", demo.string(), "--ip", servers.UpAddress()});
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_TRUE(LinesWith(run.Out, "error").empty()) << run.Out;
    EXPECT_EQ(LinesWith(run.Out, ": задач ").size(), 4u) << run.Out;
    EXPECT_EQ(LinesWith(run.Out, "тестов 4, рисунков заставки 4").size(), 1u) << run.Out;
}

}  // namespace
