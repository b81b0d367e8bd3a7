// SPDX-License-Identifier: GPL-3.0-or-later
// Golden bank folders: each folder of tests/data/convert holds one bank (in.gift, in.aiken or
// in.xml) with its pictures, the station test it must become (expected.ttxt, absent when
// nothing can be converted) and what tezra-tool convert prints for it (expected.txt).

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "interchange/Bank.h"
#include "model/UTypes.h"
#include "tests/common/TempDir.h"
#include "tools/convert/ConvertRun.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFolders = fs::path(TEZRA_TEST_DATA_DIR) / "convert";

fs::path InputOf(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().stem() == "in") {
            return entry.path();
        }
    }
    return {};
}

TEST(ConvertGolden, EachBankGivesTheTestAndTheWarningsBesideIt) {
    std::set<std::string> formats;
    int folders = 0;
    for (const auto& entry : fs::directory_iterator(kFolders)) {
        if (!entry.is_directory()) {
            continue;
        }
        ++folders;
        const fs::path in = InputOf(entry.path());
        SCOPED_TRACE(in.string());
        ASSERT_FALSE(in.empty());
        formats.insert(in.extension().string());
        TempDir out;
        const ConvertOutcome outcome =
            RunConversion({in, out.Path / "out.ttxt", BankFormat::Unknown, BankFormat::Unknown,
                           in.filename().string()});
        std::ostringstream printed;
        PrintConvertText(printed, outcome, false);
        EXPECT_EQ(printed.str(), TempDir::Read(entry.path() / "expected.txt"));
        const fs::path expected = entry.path() / "expected.ttxt";
        ASSERT_EQ(fs::exists(out.Path / "out.ttxt"), fs::exists(expected));
        if (!fs::exists(expected)) {
            EXPECT_EQ(outcome.ExitCode, 1);
            continue;
        }
        EXPECT_EQ(outcome.ExitCode, 0);
        EXPECT_EQ(TempDir::Read(out.Path / "out.ttxt"), TempDir::Read(expected));
        // The station reads what was written: every converted problem, nothing else.
        TTezra tezra;
        ASSERT_TRUE(LoadTestFromText(tezra, TempDir::Read(expected)));
        EXPECT_EQ(static_cast<int>(tezra.Problems.size()), outcome.Converted);
    }
    EXPECT_GE(folders, 9);
    EXPECT_EQ(formats, (std::set<std::string>{".aiken", ".gift", ".xml"}));
}

// Every kind that must be left out, and every picture type, is shown by some golden folder.
TEST(ConvertGolden, EveryLeftOutKindAndPictureCaseIsCovered) {
    std::string all;
    for (const auto& entry : fs::directory_iterator(kFolders)) {
        if (entry.is_directory()) {
            all += TempDir::Read(entry.path() / "expected.txt");
        }
    }
    for (const char* shown : {"эссе",
                              "на соответствие",
                              "числовой с допуском",
                              "числовой с диапазоном",
                              "описание",
                              "вложенные ответы (cloze)",
                              "вычисляемый",
                              "перетаскивание",
                              "случайный",
                              "без ANSWER",
                              "не читается как XML",
                              "base64 не декодируется",
                              "не рисунок JPEG, PNG или GIF",
                              "больше предела станции",
                              "один рисунок",
                              "берутся только файлы из папки банка",
                              "не помещается в cp1251",
                              "убраны пробелы",
                              "со звёздочкой",
                              "прочитан как cp1251",
                              "отзывы, штрафы и подсказки",
                              "(<!ENTITY>) не раскрываются"}) {
        EXPECT_NE(all.find(shown), std::string::npos) << shown;
    }
}

}  // namespace
