// SPDX-License-Identifier: GPL-3.0-or-later
// The demo station's tests exported to Moodle XML and to GIFT and imported back give the same
// problems: modes, variant texts, weights, groups, and through Moodle XML the picture bytes.

#include <gtest/gtest.h>

#include "interchange/Convert.h"
#include "interchange/Writers.h"
#include "model/UTypes.h"
#include "tests/common/TempDir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = TEZRA_DEMO_TESTS_DIR;

std::unique_ptr<TTezra> LoadDemo(const std::string& name) {
    BankReadResult read = ReadQuestionBankFile(kDemo / name, BankFormatOfPath(kDemo / name));
    EXPECT_FALSE(read.Failed) << name;
    return std::move(read.Tezra);
}

void ExpectSameProblems(const TTezra& original, const TTezra& back, bool pictures,
                        const BankWriteOptions& options) {
    ASSERT_EQ(back.Problems.size(), original.Problems.size());
    for (std::size_t i = 0; i < original.Problems.size(); ++i) {
        SCOPED_TRACE("problem " + std::to_string(i + 1));
        const TProblem& a = *original.Problems[i];
        const TProblem& b = *back.Problems[i];
        EXPECT_EQ(b.Condition, a.Condition);
        EXPECT_EQ(b.Group, a.Group);
        EXPECT_EQ(b.Answers.Mode, a.Answers.Mode);
        ASSERT_EQ(b.Answers.Variants.size(), a.Answers.Variants.size());
        for (std::size_t v = 0; v < a.Answers.Variants.size(); ++v) {
            EXPECT_EQ(b.Answers.Variants[v].Text, a.Answers.Variants[v].Text);
            EXPECT_EQ(b.Answers.Variants[v].Weight, a.Answers.Variants[v].Weight);
        }
        if (!a.Title.empty()) {
            EXPECT_EQ(b.Title, a.Title);
        }
        if (pictures) {
            EXPECT_EQ(b.Id, a.Id);
            EXPECT_EQ(b.Picture, ProblemPicture(a, options));
        }
    }
    // Every group of the original is a group of the imported test.
    for (const TGroupEntry& group : original.Groups) {
        EXPECT_NE(back.FindGroup(group.Name), nullptr) << group.Name;
    }
}

TEST(ConvertRoundTrip, DemoTestsThroughMoodleXmlAndGift) {
    int pictures = 0;
    for (const char* name :
         {"fractions-5.ttxt", "geography-8.ttxt", "informatics-7.ttxt", "spelling-5.txt"}) {
        SCOPED_TRACE(name);
        const std::unique_ptr<TTezra> original = LoadDemo(name);
        ASSERT_GT(original->Problems.size(), 5u);
        BankWriteOptions options;
        options.PictureFolder = kDemo;
        for (const auto& [format, withPictures] :
             {std::pair{BankFormat::MoodleXml, true}, std::pair{BankFormat::Gift, false}}) {
            SCOPED_TRACE(std::string(BankFormatName(format)));
            std::vector<BankWarning> warnings;
            const std::string bank = WriteQuestionBank(*original, format, options, warnings);
            const BankReadResult back = ReadQuestionBank(bank, format, {});
            ASSERT_FALSE(back.Failed);
            EXPECT_TRUE(back.LeftOut.empty());
            ExpectSameProblems(*original, *back.Tezra, withPictures, options);
        }
        for (const auto& problem : original->Problems) {
            pictures += ProblemPicture(*problem, options).empty() ? 0 : 1;
        }
    }
    // The pictures of the demo tests were part of the comparison.
    EXPECT_GE(pictures, 2);
}

// A test made to hit what the bank formats make hard: blanks that HTML would collapse, XML and
// GIFT syntax inside texts, Moodle's listed fractions and a group whose name holds a "/".
// (Blanks at the end of a condition line are not kept: bank texts are trimmed there.)
TEST(ConvertRoundTrip, SyntaxAndBlanksInTextsSurvive) {
    TTezra tezra;
    auto add = [&](std::vector<std::string> condition, std::uint8_t mode,
                   std::vector<TVariant> variants, std::string group) {
        auto problem = std::make_unique<TProblem>();
        problem->Condition = std::move(condition);
        problem->Answers.Mode = mode;
        problem->Answers.Variants = std::move(variants);
        problem->Group = std::move(group);
        tezra.Problems.push_back(std::move(problem));
    };
    add({"  if (a < b && c > d) {", "", "    x = \"y\"; // ]]> }", "end"}, ModeRadio,
        {{"a ~ b", 100}, {"c = d", 0}, {"#e: {f}", -33}, {"%g%", 67}}, "код/C++");
    add({"Отметьте {оба}"}, ModeCombo, {{"один", 50}, {"два", 50}, {"три", -13}}, "");
    add({"Введите \\n"}, ModeInput, {{"x=1", 100}, {"y", 83}, {"z", 17}}, "группа");
    for (BankFormat format : {BankFormat::MoodleXml, BankFormat::Gift}) {
        SCOPED_TRACE(std::string(BankFormatName(format)));
        std::vector<BankWarning> warnings;
        const std::string bank = WriteQuestionBank(tezra, format, {}, warnings);
        const BankReadResult back = ReadQuestionBank(bank, format, {});
        ExpectSameProblems(tezra, *back.Tezra, false, {});
    }
}

}  // namespace
