// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/TestFileTypes.h"

namespace {

TEST(TestFileTypes, ExtensionNamesTheFormatInAnyCase) {
    const struct {
        const char* Name;
        TTestFormat Format;
    } cases[] = {
        {"a.ttxt", TTestFormat::Text},
        {"a.TXT", TTestFormat::Text},
        {"dir.bin/a.TBin", TTestFormat::Binary},
        {"a.bin", TTestFormat::Binary},
        {"a.tbin.txt", TTestFormat::Text},
        {"a.txt.bak", TTestFormat::Unknown},
        {"a", TTestFormat::Unknown},
        {"a.desc", TTestFormat::Unknown},
        {"тест.Ttxt", TTestFormat::Text},
        {"a.", TTestFormat::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TestFormatOf(c.Name), c.Format) << c.Name;
    }
}

TEST(TestFileTypes, ExtensionListsForMessages) {
    EXPECT_EQ(TestExtensionList(), ".ttxt, .txt, .tbin or .bin");
    EXPECT_EQ(TestExtensionList(TTestFormat::Binary), ".tbin or .bin");
    EXPECT_EQ(TestExtensionList(TTestFormat::Text, "или"), ".ttxt или .txt");
}

}  // namespace
