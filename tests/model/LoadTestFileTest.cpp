// SPDX-License-Identifier: GPL-3.0-or-later
// LoadTestFile: the reader chosen by extension, the current test replaced, and files that
// cannot be read.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ModelTestSupport.h"
#include "model/Compare.h"
#include "model/TestWriters.h"
#include "platform/StationLimits.h"

namespace {

std::string FixtureText(std::string_view name) {
    const auto bytes = FileBytes(ModelData(name));
    return {bytes.begin(), bytes.end()};
}

TEST(LoadTestFile, ReaderIsChosenByTheUpperCasedExtension) {
    TempDir dir;
    const std::string text = FixtureText("geography.ttxt");
    const std::string binary = FixtureText("geography-scrambled.bin");
    struct Case {
        const char* Name;
        const std::string& Content;
        bool Loads;
    };
    const Case cases[] = {
        {"x.TBin", binary, true}, {"x.bin", binary, true},  {"x.tbin.txt", text, true},
        {"x.TTXT", text, true},   {".ttxt", text, true},    {"x.ttxt.bin", text, false},
        {"x", text, false},       {"x.dat", binary, false}, {"x.", text, false},
        {"тест.txt", text, true},
    };
    const auto reference = ReadFixture("geography.ttxt");
    for (const Case& c : cases) {
        WriteFile(dir / c.Name, c.Content);
        EXPECT_EQ(LoadTestFile(dir / c.Name), c.Loads) << c.Name;
        EXPECT_EQ(SameTezra(CurrentTezra(), *reference), c.Loads) << c.Name;
        EXPECT_EQ(CurrentTezra().TestFolder, dir.Path) << c.Name;
    }
}

TEST(LoadTestFile, MissingFileKeepsThePreviousTest) {
    TempDir dir;
    WriteFile(dir / "a.ttxt", FixtureText("geography.ttxt"));
    ASSERT_TRUE(LoadTestFile(dir / "a.ttxt"));
    const TTezra* before = &CurrentTezra();
    std::filesystem::create_directory(dir / "folder.ttxt");
    EXPECT_FALSE(LoadTestFile(dir / "missing.ttxt"));
    EXPECT_FALSE(LoadTestFile(dir / "folder.ttxt"));
    EXPECT_EQ(&CurrentTezra(), before);
    EXPECT_EQ(CurrentTezra().Id, "geo-05");
}

TEST(LoadTestFile, UnreadableOrDamagedFilesGiveFalseAndAnEmptyTest) {
    TempDir dir;
    WriteFile(dir / "a.ttxt", FixtureText("geography.ttxt"));
    ASSERT_EQ(mkfifo((dir / "pipe.ttxt").c_str(), 0600), 0);  // would block a plain open
    WriteFile(dir / "short.tbin", "TZR");
    WriteFile(dir / "empty.ttxt", "");
    WriteFile(dir / "junk.bin", std::string(100, 'j'));
    for (const char* name : {"pipe.ttxt", "short.tbin", "empty.ttxt", "junk.bin"}) {
        ASSERT_TRUE(LoadTestFile(dir / "a.ttxt"));
        EXPECT_FALSE(LoadTestFile(dir / name)) << name;
        EXPECT_EQ(CurrentTezra().Id, "") << name;
        EXPECT_TRUE(CurrentTezra().Problems.empty()) << name;
    }
}

// A test file as large as the station reads still loads (the text after the test's end is not
// read as problems); one byte more and it is not read at all, so that a huge file cannot take
// the station's memory. The padding is a hole in the file and costs no disk.
TEST(LoadTestFile, FilesAreReadUpToTheSizeLimit) {
    TempDir dir;
    for (const std::size_t size : {kMaxTestFileBytes, kMaxTestFileBytes + 1}) {
        const auto path = dir / "padded.ttxt";
        WriteFile(path, FixtureText("geography.ttxt"));
        std::filesystem::resize_file(path, size);
        const bool within = size <= kMaxTestFileBytes;
        EXPECT_EQ(LoadTestFile(path), within) << size;
        EXPECT_EQ(CurrentTezra().Id, within ? "geo-05" : "") << size;
    }
}

TEST(LoadTestFile, ScrambledFileOfManyReadPieces) {
    // Files are read and unscrambled in pieces of 1 MiB; this one takes several.
    TTezra t;
    for (int i = 0; i < 3; ++i) {
        auto p = std::make_unique<TProblem>();
        p->Id = "p" + std::to_string(i);
        p->Picture.resize(900'001 + static_cast<std::size_t>(i));
        for (std::size_t b = 0; b < p->Picture.size(); ++b) {
            p->Picture[b] = static_cast<std::uint8_t>(b * 7 + static_cast<std::size_t>(i));
        }
        t.Problems.push_back(std::move(p));
    }
    TempDir dir;
    std::vector<std::string> warnings;
    for (bool scramble : {true, false}) {
        ASSERT_TRUE(SaveTestFile(t, dir / "many.bin", scramble, warnings));
        ASSERT_GT(std::filesystem::file_size(dir / "many.bin"), 2u << 20);
        ASSERT_TRUE(LoadTestFile(dir / "many.bin"));
        std::string difference;
        EXPECT_TRUE(SameTezra(t, CurrentTezra(), &difference)) << scramble << difference;
    }
}

TEST(LoadTestFile, BigScrambledFile) {
    ASSERT_TRUE(LoadTestFile(ModelData("big-scrambled.tbin")));
    EXPECT_EQ(CurrentTezra().Problems.size(), 3u);
    EXPECT_EQ(CurrentTezra().TestFolder, ModelData("big-scrambled.tbin").parent_path());
}

}  // namespace
