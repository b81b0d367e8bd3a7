// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/FileEnum.h"
#include "tests/common/TempDir.h"

namespace {

TEST(FileEnum, MatchesExtensionWithoutCaseAndSortsNames) {
    TempDir dir;
    for (const char* name : {"b.txt", "A.TXT", "c.Txt", "d.ttxt", "e.txt.bak", ".hidden.txt",
                             "f.tXt", "ё.txt", "Ж.txt"}) {
        dir.Write(name, "x");
    }
    std::filesystem::create_directory(dir.Path / "folder.txt");
    EXPECT_EQ(Names(EnumerateFiles(dir.Path, "*.txt")),
              (std::vector<std::string>{"A.TXT", "b.txt", "c.Txt", "f.tXt", "ё.txt", "Ж.txt"}));
    EXPECT_EQ(Names(EnumerateFiles(dir.Path, "*.ttxt")), std::vector<std::string>{"d.ttxt"});
}

TEST(FileEnum, JpegIsNotMatchedByJpg) {
    TempDir dir;
    dir.Write("one.jpg", "x");
    dir.Write("two.jpeg", "x");
    EXPECT_EQ(Names(EnumerateFiles(dir.Path, "*.jpg")), std::vector<std::string>{"one.jpg"});
    EXPECT_EQ(Names(EnumerateFiles(dir.Path, "*.jpeg")), std::vector<std::string>{"two.jpeg"});
}

TEST(FileEnum, MissingFolderGivesNothing) {
    EXPECT_TRUE(EnumerateFiles("/nonexistent/tezra", "*.txt").empty());
}

TEST(FileEnum, PathFromTextTakesBackslashAsSeparator) {
    EXPECT_EQ(PathFromText("pics\\map.jpg"), std::filesystem::path("pics/map.jpg"));
    EXPECT_EQ(PathFromText("\xEA\xE0\xF0\xF2\xE0.jpg"), std::filesystem::path("карта.jpg"));
    EXPECT_EQ(FileNameText("/x/карта.jpg"), "\xEA\xE0\xF0\xF2\xE0.jpg");
}

}  // namespace
