// SPDX-License-Identifier: GPL-3.0-or-later
// The text test format: the test, problem, answer and group readers.

#include <gtest/gtest.h>

#include "ModelTestSupport.h"

namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> ProblemIds(const TTezra& tezra) {
    std::vector<std::string> ids;
    for (const auto& problem : tezra.Problems) {
        ids.push_back(problem->Id);
    }
    return ids;
}

// A test whose PARAMS block holds the given lines.
std::unique_ptr<TTezra> ReadParams(const std::string& lines, bool* result = nullptr) {
    return ReadText("§TEZRA\n§PARAMS\n" + lines + "§END PARAMS\n§END TEZRA\n", result);
}

// A test of one problem whose text lies between its PROBLEM and END PROBLEM lines.
std::unique_ptr<TTezra> ReadProblem(const std::string& body) {
    return ReadText("§TEZRA\n§PROBLEMS\n§PROBLEM\n" + body +
                    "§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n");
}

TEST(TextFormat, GeographyFixtureReadsEveryField) {
    bool ok = false;
    const auto t = ReadFixture("geography.ttxt", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(t->Id, "geo-05");
    EXPECT_EQ(t->Title, Cp("Столицы и реки"));
    EXPECT_TRUE(t->ShuffleGroups && t->ShuffleProblems && t->ShuffleVariants);
    EXPECT_EQ(t->DeferLimit, 2);
    EXPECT_EQ(t->MarkThresholds.Values, (std::array<float, 5>{0.0f, 0.5f, 1.0f, 1.5f, 2.0f}));
    ASSERT_EQ(t->Groups.size(), 2u);
    EXPECT_EQ(t->Groups[1].Name, "hard");
    EXPECT_EQ(t->Groups[1].Group->Name, "hard");
    EXPECT_EQ(t->Groups[1].Group->Quota, 1);
    EXPECT_EQ(t->Groups[1].Group->Rate, 2.0f);
    ASSERT_EQ(t->Problems.size(), 3u);

    const TProblem& p2 = *t->Problems[1];
    EXPECT_EQ(p2.Condition, Lines{"Tick the rivers shown on the map."});
    EXPECT_EQ(p2.PictureFile, "rivers.jpg");
    EXPECT_EQ(p2.Answers.Mode, ModeCombo);
    ASSERT_EQ(p2.Answers.Variants.size(), 3u);
    EXPECT_EQ(p2.Answers.Variants[2].Text, "Alps");
    EXPECT_EQ(p2.Answers.Variants[2].Weight, -50);
    EXPECT_EQ(p2.Rate, 0.0f);  // no RATE line

    const TProblem& p3 = *t->Problems[2];
    EXPECT_EQ(p3.Id, "p3");
    EXPECT_EQ(p3.Title, Cp("Столица"));
    EXPECT_EQ(p3.Category, Cp("Россия"));
    EXPECT_EQ(p3.Difficulty, 3);
    EXPECT_EQ(p3.Group, "EASY");
    EXPECT_EQ(p3.Rate, 2.5f);
    // Condition lines as written: blank lines, ";" lines and leading blanks stay.
    EXPECT_EQ(p3.Condition, (Lines{Cp("Назовите столицу России."), "",
                                   "   ; typed, blanks do not count", "\tindented"}));
    EXPECT_EQ(p3.Picture, (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0x00, 0x10, 0xAB}));
    EXPECT_EQ(p3.Answers.Mode, ModeInput);
    ASSERT_EQ(p3.Answers.Variants.size(), 2u);
    EXPECT_EQ(p3.Answers.Variants[0].Text, Cp("МОСКВА"));
    EXPECT_EQ(p3.Answers.Variants[1].Text, "Moscow");
    EXPECT_EQ(p3.Answers.Variants[1].Weight, 50);
}

TEST(TextFormat, FirstMeaningfulLineMustOpenTheTest) {
    bool ok = false;
    EXPECT_EQ(ReadText("; comment\n\n   \n§TEZRA\n§END TEZRA\n", &ok)->Problems.size(), 0u);
    EXPECT_TRUE(ok);
    const auto wrong = ReadText("x\n§TEZRA\n§PARAMS\nID=a\n§END PARAMS\n", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(wrong->Id, "");
    ReadText("", &ok);
    EXPECT_FALSE(ok);
    ReadText("§tezra", &ok);  // by prefix and ignoring case; the end of the file ends the test
    EXPECT_TRUE(ok);
}

TEST(TextFormat, TestParameters) {
    EXPECT_EQ(ReadParams("id = geo-05\n")->Id, "geo-05");
    EXPECT_EQ(ReadParams("TITLE\n")->Title, "TITLE");
    EXPECT_EQ(ReadParams("TITLE2=x\n")->Title, "x");
    EXPECT_EQ(ReadParams("IDENT=9\n")->Id, "9");  // "ID" is the first keyword that matches
    EXPECT_EQ(ReadParams("DEFER=-2\n")->DeferLimit, -2);
    EXPECT_EQ(ReadParams("DEFER=two\n")->DeferLimit, 0);

    const auto five = ReadParams("SHUFFLE=5\n");
    EXPECT_TRUE(five->ShuffleGroups);
    EXPECT_FALSE(five->ShuffleProblems);
    EXPECT_TRUE(five->ShuffleVariants);
    const auto hex = ReadParams("SHUFFLE=$6\n");
    EXPECT_TRUE(hex->ShuffleGroups && hex->ShuffleProblems && !hex->ShuffleVariants);
    const auto cleared = ReadParams("SHUFFLE=7\nSHUFFLE=x\n");
    EXPECT_FALSE(cleared->ShuffleGroups || cleared->ShuffleProblems || cleared->ShuffleVariants);

    const auto marks = ReadParams("MARK5=1e1\nMARK4=3,5\nMARK3=-0.25\nMARK2=7\nMARK1=9\n");
    EXPECT_EQ(marks->MarkThresholds.Values, (std::array<float, 5>{0, 7, -0.25f, 0, 10}));
    const auto unknown = ReadParams("COLOR=red\n; MARK5=4\nMARK5=4\n");
    EXPECT_EQ(unknown->MarkThresholds[5], 4.0f);
}

TEST(TextFormat, EmptyNumericValuesTakeTheirDefaultsAndReadingGoesOn) {
    bool ok = false;
    const auto t = ReadParams("SHUFFLE=7\nSHUFFLE=\nDEFER=\nMARK5=\nMARK3=2\nTITLE=after\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(t->ShuffleGroups || t->ShuffleProblems || t->ShuffleVariants);
    EXPECT_EQ(t->MarkThresholds[3], 2.0f);
    EXPECT_EQ(t->Title, "after");

    const auto p = ReadProblem(
        "§PARAMS\nDIFFICULTY=\nRATE=\nID=x\n§END PARAMS\n"
        "§ANSWER\nMODE=COMBO\n§VARIANTS\n[100] a\n§END ANSWER\n");
    ASSERT_EQ(p->Problems.size(), 1u);
    EXPECT_EQ(p->Problems[0]->Difficulty, 0);
    EXPECT_EQ(p->Problems[0]->Rate, 1.0f);
    EXPECT_EQ(p->Problems[0]->Id, "x");
    EXPECT_EQ(p->Problems[0]->Answers.Variants.size(), 1u);
}

TEST(TextFormat, EndOfFileBreaksOffOnlyWhereABlockLoopMeetsAnEmptyLine) {
    bool ok = true;
    // The trailing blank line is the last line: empty where the loop looks for a section.
    const auto broken = ReadText("§TEZRA\n§PARAMS\nID=x\n\n", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(broken->Id, "x");
    // Ending on a parameter line, the loop ends with the file.
    ReadText("§TEZRA\n§PARAMS\nID=x", &ok);
    EXPECT_TRUE(ok);
    // Inside a problem's PARAMS block only the problem is broken off.
    const auto partial = ReadText("§TEZRA\n§PROBLEMS\n§PROBLEM\n§PARAMS\nID=p\nGROUP=g", &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(partial->Problems.size(), 1u);
    EXPECT_EQ(partial->Problems[0]->Group, "g");
}

TEST(TextFormat, GroupLines) {
    struct Case {
        std::string Line;
        std::string Name;
        std::int32_t Quota;
        float Rate;
    };
    const Case cases[] = {
        {"easy >> 2, 1.5", "easy", 2, 1.5f},
        {"algebra >> 3", "algebra", 0, 3.0f},
        {"algebra >> 3, x", "algebra", 3, 1.0f},
        {">> 4, 0.5", "", 4, 0.5f},
        {"x12.5", "", 0, 12.5f},  // no ">>": only the first character goes
        {"a,b >> 1, 2", "a,b", 1, 2.0f},
        {Cp("  Алгебра  >>  7 ,  2  "), Cp("Алгебра"), 7, 2.0f},
        {"", "", 0, 1.0f},
        {"a >> b >> 1, 2", "a", 0, 2.0f},
        {"a >> 2,3,4", "a", 2, 1.0f},
        {"a >> 2, 1,5", "a", 2, 1.0f},
    };
    for (const Case& c : cases) {
        TGroupInfo group;
        group.Quota = 99;
        group.Name = "old";
        EXPECT_TRUE(group.LoadFromLine(c.Line));
        EXPECT_EQ(group.Name, c.Name) << c.Line;
        EXPECT_EQ(group.Quota, c.Quota) << c.Line;
        EXPECT_EQ(group.Rate, c.Rate) << c.Line;
    }
}

TEST(TextFormat, GroupsBlockWithoutItsEndLine) {
    // The section line that stops the block is parsed as a group line too (an empty name); it
    // is the PROBLEMS line here, and the problems are still found on it.
    const auto t = ReadText(
        "§TEZRA\n§GROUPS\nEasy >> 1, 1\n; note\n§PROBLEMS\n§PROBLEM\n§PARAMS\nID=q\n"
        "§END PARAMS\n§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n");
    ASSERT_EQ(t->Groups.size(), 2u);
    EXPECT_EQ(t->Groups[0].Name, "Easy");
    EXPECT_EQ(t->Groups[1].Name, "");
    EXPECT_EQ(ProblemIds(*t), Lines{"q"});
}

TEST(TextFormat, ProblemsAreFoundWithoutAGroupsBlock) {
    bool ok = false;
    const auto t = ReadFixture("no-groups.txt", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(t->Id, "no-groups");
    ASSERT_EQ(t->Problems.size(), 2u);
    EXPECT_EQ(t->Problems[1]->Condition, Lines{"3 + 3 = ?"});
    EXPECT_TRUE(t->Groups.empty());

    // Also right after the opening line, and after a PARAMS block without its END line.
    EXPECT_EQ(ReadText("§TEZRA\n§PROBLEMS\n§PROBLEM\n§END PROBLEM\n")->Problems.size(), 1u);
    EXPECT_EQ(
        ReadText("§TEZRA\n§PARAMS\nID=1\n§PROBLEMS\n§PROBLEM\n§END PROBLEM\n")->Problems.size(),
        1u);
}

TEST(TextFormat, ProblemParameters) {
    const auto t = ReadProblem(
        "§PARAMS\nDIFFICULTY=hard\nRATE=abc\nGROUP=Алгебра\nCATEGORY= c \nTITLE=Задача\n"
        "; ID=skipped\n§END PARAMS\n");
    const TProblem& p = *t->Problems.at(0);
    EXPECT_EQ(p.Difficulty, 0);
    EXPECT_EQ(p.Rate, 1.0f);  // a RATE that does not parse
    EXPECT_EQ(p.Group, Cp("Алгебра"));
    EXPECT_EQ(p.Category, "c");
    EXPECT_EQ(p.Title, Cp("Задача"));
    EXPECT_EQ(p.Id, "");
    EXPECT_EQ(ReadProblem("§PARAMS\nRATE=-3\nDIFFICULTY=-7\n§END PARAMS\n")->Problems[0]->Rate,
              -3.0f);
}

TEST(TextFormat, ConditionLinesAreTakenAsWritten) {
    const auto t = ReadProblem(
        "§CONDITION\n   ; three blanks first\n\n  x  \n§CONDITION\n"
        "ab\rc\r\n \t§end condition \n");
    EXPECT_EQ(t->Problems.at(0)->Condition,
              (Lines{"   ; three blanks first", "", "  x  ", Cp("§CONDITION"), "abc"}));
    // A condition that runs to the end of the file keeps its lines.
    const auto open = ReadText("§TEZRA\n§PROBLEMS\n§PROBLEM\n§CONDITION\none\n two");
    EXPECT_EQ(open->Problems.at(0)->Condition, (Lines{"one", " two"}));
}

TEST(TextFormat, PictureBlockMustEndAtTheAnswerLine) {
    const auto t = ReadText(
        "§TEZRA\n§PROBLEMS\n"
        "§PROBLEM\n§PICTURE\nFILE=a.jpg\nDATA=PPNIPP\n§CONDITION\nc\n§END CONDITION\n"
        "§ANSWER\nMODE=COMBO\n§VARIANTS\n[100] a\n§END ANSWER\n§END PROBLEM\n"
        "§PROBLEM\n§PARAMS\nID=next\n§END PARAMS\n§ANSWER\nMODE=INPUT\n§VARIANTS\n[1] b\n"
        "§END ANSWER\n§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n");
    ASSERT_EQ(t->Problems.size(), 2u);
    const TProblem& first = *t->Problems[0];
    EXPECT_EQ(first.PictureFile, "a.jpg");
    EXPECT_EQ(first.Picture, (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF}));
    EXPECT_TRUE(first.Condition.empty());
    EXPECT_EQ(first.Answers.Mode, ModeRadio);
    EXPECT_TRUE(first.Answers.Variants.empty());
    const TProblem& next = *t->Problems[1];
    EXPECT_EQ(next.Id, "next");
    EXPECT_EQ(next.Answers.Mode, ModeInput);
    ASSERT_EQ(next.Answers.Variants.size(), 1u);
    EXPECT_EQ(next.Answers.Variants[0].Weight, 1);
}

TEST(TextFormat, BlockOutOfOrderIsPassedOverWithTheRest) {
    const auto t = ReadProblem(
        "§CONDITION\nc\n§END CONDITION\n§PARAMS\nID=lost\n§END PARAMS\n"
        "§ANSWER\nMODE=COMBO\n§VARIANTS\n[5] v\n§END ANSWER\n");
    const TProblem& p = *t->Problems.at(0);
    EXPECT_EQ(p.Condition, Lines{"c"});
    EXPECT_EQ(p.Id, "");
    EXPECT_TRUE(p.Answers.Variants.empty());
}

TEST(TextFormat, AnswerBlockWithoutModeLineLosesItsVariants) {
    const auto t = ReadProblem("§ANSWER\n§VARIANTS\n[100] a\n§END ANSWER\n");
    EXPECT_EQ(t->Problems.at(0)->Answers.Mode, ModeRadio);
    EXPECT_TRUE(t->Problems.at(0)->Answers.Variants.empty());
    const auto unknownMode = ReadProblem("§ANSWER\nMODE=CHECK\n§VARIANTS\n[1] a\n§END ANSWER\n");
    EXPECT_EQ(unknownMode->Problems.at(0)->Answers.Mode, ModeRadio);
    EXPECT_EQ(unknownMode->Problems.at(0)->Answers.Variants.size(), 1u);
}

TEST(TextFormat, VariantLines) {
    const auto t = ReadProblem(
        "§ANSWER\nMODE=RADIO\n§VARIANTS\n[100]\n[abc\n[]\n[-50]   Alps  \n[5]x]y\n[x] t\n"
        "[ 7] seven\n; comment\n[$10] hex\nplain line\n[1] late\n§END ANSWER\n");
    const auto& variants = t->Problems.at(0)->Answers.Variants;
    const std::vector<std::pair<std::string, std::int32_t>> expected = {
        {"", 100}, {"[abc", 0}, {"Alps", -50}, {"x]y", 5}, {"t", 0}, {"seven", 7}, {"hex", 16}};
    ASSERT_EQ(variants.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(variants[i].Text, expected[i].first) << i;
        EXPECT_EQ(variants[i].Weight, expected[i].second) << i;
    }
}

TEST(TextFormat, ProblemWithoutItsEndLineRunsOnToTheNextEndLine) {
    const std::string a =
        "§PROBLEM\n§PARAMS\nID=a\n§END PARAMS\n§ANSWER\nMODE=RADIO\n§VARIANTS\n[1] x\n"
        "§END ANSWER\n";
    auto problem = [](const std::string& id) {
        return "§PROBLEM\n§PARAMS\nID=" + id + "\n§END PARAMS\n§END PROBLEM\n";
    };
    // The next problem's end line ends this one; that next problem is lost.
    const auto t = ReadText("§TEZRA\n§PROBLEMS\n" + a + problem("b") + problem("c") +
                            "§END PROBLEMS\n§END TEZRA\n");
    EXPECT_EQ(ProblemIds(*t), (Lines{"a", "c"}));
    // The END PROBLEMS line ends it; the problem list then runs on to the end of the file.
    const auto u =
        ReadText("§TEZRA\n§PROBLEMS\n" + a + "§END PROBLEMS\n§END TEZRA\n" + problem("z"));
    EXPECT_EQ(ProblemIds(*u), (Lines{"a", "z"}));
}

TEST(TextFormat, ReadingStopsAtTheEndOfTheTest) {
    const auto t = ReadText(
        "§TEZRA\n§PROBLEMS\n§PROBLEM\n§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n"
        "§PROBLEMS\n§PROBLEM\n§END PROBLEM\n");
    EXPECT_EQ(t->Problems.size(), 1u);
}

}  // namespace
