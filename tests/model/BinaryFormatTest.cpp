// SPDX-License-Identifier: GPL-3.0-or-later
// The binary test format: records, strings, bounds and damaged files.

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/Compare.h"
#include "platform/StationLimits.h"

namespace {

using Lines = std::vector<std::string>;

TEST(BinaryFormat, PlainAndScrambledFixturesEqualTheTextFixture) {
    const auto text = ReadFixture("geography.ttxt");
    for (const char* name : {"geography.tbin", "geography-scrambled.bin"}) {
        bool ok = false;
        const auto binary = ReadFixture(name, &ok);
        EXPECT_TRUE(ok) << name;
        std::string difference;
        EXPECT_TRUE(SameTezra(*text, *binary, &difference)) << name << ": " << difference;
    }
}

TEST(BinaryFormat, ScrambledFileLongerThanOneKeystreamBlock) {
    bool ok = false;
    const auto t = ReadFixture("big-scrambled.tbin", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(t->Title, Cp("Большой тест"));
    ASSERT_EQ(t->Problems.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const TProblem& p = *t->Problems[static_cast<std::size_t>(k)];
        EXPECT_EQ(p.Id, "b" + std::to_string(k));
        EXPECT_EQ(p.Condition, Lines{"Picture " + std::to_string(k)});
        ASSERT_EQ(p.Picture.size(), 30000u);
        for (std::size_t i = 0; i < p.Picture.size(); ++i) {
            ASSERT_EQ(p.Picture[i], static_cast<std::uint8_t>(i * 31 + k)) << k << " " << i;
        }
        EXPECT_EQ(p.Answers.Variants.at(1).Text, "no");
    }
}

TEST(BinaryFormat, StreamStrings) {
    struct Case {
        std::vector<std::uint8_t> Bytes;
        std::string Text;
        std::size_t Position;
    };
    const Case cases[] = {
        {TBytes().Str("abc").Data, "abc", 7},
        {TBytes().Int(0).Raw("x").Data, "", 4},
        {TBytes().Int(-5).Raw("abcdef").Data, "", 4},
        {TBytes().Int(10).Raw("abc").Data, "abc", 7},  // cut off: the bytes that are there
        {TBytes().Int(INT32_MAX).Data, "", 4},
        {{0x03, 0x00}, "", 2},  // no whole length
        {{}, "", 0},
    };
    for (const Case& c : cases) {
        TMemoryStream stream(c.Bytes.data(), c.Bytes.size());
        EXPECT_EQ(ReadStreamString(stream), c.Text);
        EXPECT_EQ(stream.Position(), c.Position);
    }
}

TEST(BinaryFormat, RecordFields) {
    TBytes b;
    b.Raw("TZRA").Str(Cp("Тест")).Str("title").Int(-1 ^ 4).Int(-3);
    for (float mark : {9.0f, 1.0f, 2.0f, 3.0f, 4.0f}) {
        b.Float(mark);
    }
    b.Int(2).Str("g1").Int(5).Float(0.5f).Str("g2").Int(-1).Float(
        std::bit_cast<float>(0x7FC00001));
    b.Int(1).Raw("PRBL").Str("id").Str("ti").Str("cat").Int(-4).Str("g1").Float(2.5f);
    b.Str("a\r\nb\rc\n").Str("pic.jpg").Int(3).Raw("\xFF\xD8\xFF");
    b.Raw("ANSW").Byte(7).Int(2).Int(-50).Str("x").Int(100).Str("");
    bool ok = false;
    const auto t = ReadBytes(b.Data, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(t->Id, Cp("Тест"));
    EXPECT_TRUE(t->ShuffleGroups == false && t->ShuffleProblems && t->ShuffleVariants);
    EXPECT_EQ(t->DeferLimit, -3);
    EXPECT_EQ(t->MarkThresholds[1], 9.0f);
    EXPECT_EQ(t->MarkThresholds[5], 4.0f);
    ASSERT_EQ(t->Groups.size(), 2u);
    EXPECT_EQ(t->Groups[1].Name, "g2");
    EXPECT_EQ(t->Groups[1].Group->Quota, -1);
    EXPECT_EQ(Bits(t->Groups[1].Group->Rate), 0x7FC00001u);  // any bit pattern is kept
    const TProblem& p = *t->Problems.at(0);
    EXPECT_EQ(p.Category, "cat");
    EXPECT_EQ(p.Difficulty, -4);
    EXPECT_EQ(p.Rate, 2.5f);
    EXPECT_EQ(p.Condition, (Lines{"a", "b", "c"}));
    EXPECT_EQ(p.PictureFile, "pic.jpg");
    EXPECT_EQ(p.Picture, (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF}));
    EXPECT_EQ(p.Answers.Mode, 7);  // stored unchanged
    ASSERT_EQ(p.Answers.Variants.size(), 2u);
    EXPECT_EQ(p.Answers.Variants[0].Weight, -50);
    EXPECT_EQ(p.Answers.Variants[1].Text, "");
}

TEST(BinaryFormat, ConditionTextEndsAtNul) {
    TBytes b;
    b.TestHead().Int(0).Int(1).Raw("PRBL").Str("").Str("").Str("").Int(0).Str("").Float(0);
    b.Str(std::string("a\nb\0c\n", 6)).Str("").Int(0).Raw("ANSW").Byte(0).Int(0);
    EXPECT_EQ(ReadBytes(b.Data)->Problems.at(0)->Condition, (Lines{"a", "b"}));
}

TEST(BinaryFormat, CountsAndLengthsOfZeroOrLessReadNothing) {
    TBytes b;
    b.TestHead().Int(-7).Int(1);
    b.Raw("PRBL").Str("p").Str("").Str("").Int(0).Str("").Float(0).Str("").Str("");
    b.Int(-5).Raw("ANSW").Byte(1).Int(0);
    bool ok = false;
    const auto t = ReadBytes(b.Data, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(t->Groups.empty());
    ASSERT_EQ(t->Problems.size(), 1u);
    EXPECT_TRUE(t->Problems[0]->Picture.empty());
    EXPECT_EQ(t->Problems[0]->Answers.Mode, ModeCombo);

    const auto none = ReadBytes(TBytes().TestHead().Int(0).Int(0).Data, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(none->Problems.empty());
}

TEST(BinaryFormat, ProblemWithAWrongTagIsKeptEmptyAndReadingGoesOn) {
    TBytes b;
    b.TestHead().Int(0).Int(2).Raw("XXXX").Problem("second");
    bool ok = false;
    const auto t = ReadBytes(b.Data, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(t->Problems.size(), 2u);
    EXPECT_EQ(t->Problems[0]->Id, "");
    EXPECT_TRUE(t->Problems[0]->Answers.Variants.empty());
    EXPECT_EQ(t->Problems[1]->Id, "second");
}

TEST(BinaryFormat, AnswerWithAWrongTagFailsItsProblemOnly) {
    TBytes b;
    b.TestHead().Int(0).Int(1).Raw("PRBL").Str("p").Str("").Str("").Int(3).Str("g").Float(0);
    b.Str("c").Str("").Int(0).Raw("answ").Byte(2).Int(0);
    bool ok = false;
    const auto t = ReadBytes(b.Data, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(t->Problems.size(), 1u);
    EXPECT_EQ(t->Problems[0]->Difficulty, 3);
    EXPECT_EQ(t->Problems[0]->Answers.Mode, ModeRadio);
}

TEST(BinaryFormat, CountsBeyondTheDataAppendNothingForMissingRecords) {
    bool ok = true;
    // Counts at the limits of a test with fewer records present. A group count with one group
    // present: one group, then the problem count cannot be read.
    const auto groups =
        ReadBytes(TBytes().TestHead().Int(kMaxGroups).Str("g").Int(1).Float(1).Data, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(groups->Groups.size(), 1u);
    // A problem count far beyond the one record present.
    const auto problems =
        ReadBytes(TBytes().TestHead().Int(0).Int(kMaxProblems).Problem("only").Data, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(problems->Problems.size(), 1u);
    EXPECT_EQ(problems->Problems[0]->Id, "only");
    // A picture length beyond the data: nothing allocated, the problem fails and stays.
    TBytes picture;
    picture.TestHead().Int(0).Int(2).Raw("PRBL").Str("p").Str("").Str("").Int(0).Str("");
    picture.Float(0).Str("").Str("").Int(INT32_MAX).Raw("JPEG");
    const auto big = ReadBytes(picture.Data, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(big->Problems.size(), 1u);
    EXPECT_EQ(big->Problems[0]->Id, "p");
    EXPECT_TRUE(big->Problems[0]->Picture.empty());
    // A variant count beyond the data.
    TBytes variants;
    variants.TestHead().Int(0).Int(1).Raw("PRBL").Str("v").Str("").Str("").Int(0).Str("");
    variants.Float(0).Str("").Str("").Int(0).Raw("ANSW").Byte(0).Int(kMaxVariants).Int(5).Str("a");
    const auto many = ReadBytes(variants.Data, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(many->Problems.at(0)->Answers.Variants.size(), 1u);
}

// Counts past the limits of any test make the file damaged, before anything is allocated for
// them: a problem count of two billion over megabytes of zeros once gave millions of empty
// problems.
TEST(BinaryFormat, CountsPastTheLimitsAreADamagedTest) {
    struct Recorder : TReadSink {
        std::vector<TReadEvent> Past;
        void Note(const TReadEvent& event) override {
            if (event.Note == TReadNote::TooManyRecords) {
                Past.push_back(event);
            }
        }
    };
    auto withVariants = [](std::int32_t count) {
        TBytes bytes;
        bytes.TestHead().Int(0).Int(1).Raw("PRBL").Str("v").Str("").Str("").Int(0).Str("");
        return bytes.Float(0).Str("").Str("").Int(0).Raw("ANSW").Byte(0).Int(count).Data;
    };
    struct Case {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        TReadBlock Block;
        std::int64_t Count;
    };
    std::vector<std::uint8_t> zeros = TBytes().TestHead().Int(0).Int(INT32_MAX).Data;
    zeros.resize(zeros.size() + (4 << 20), 0);
    const Case cases[] = {
        {"groups", TBytes().TestHead().Int(kMaxGroups + 1).Data, TReadBlock::Groups,
         kMaxGroups + 1},
        {"problems", TBytes().TestHead().Int(0).Int(kMaxProblems + 1).Problem("p").Data,
         TReadBlock::Problems, kMaxProblems + 1},
        {"variants", withVariants(kMaxVariants + 1), TReadBlock::Variants, kMaxVariants + 1},
        {"problems over zeros", zeros, TReadBlock::Problems, INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TTezra tezra;
        TMemoryStream stream(c.Bytes.data(), c.Bytes.size());
        Recorder recorder;
        EXPECT_FALSE(LoadTestFromBinary(tezra, stream, &recorder));
        EXPECT_LE(tezra.Problems.size(), 1u);
        ASSERT_EQ(recorder.Past.size(), 1u);
        EXPECT_EQ(recorder.Past[0].Block, c.Block);
        EXPECT_EQ(recorder.Past[0].Number, c.Count);
        TMemoryStream again(c.Bytes.data(), c.Bytes.size());
        EXPECT_FALSE(LoadTestFromBinary(tezra, again, nullptr));
    }
}

TEST(BinaryFormat, EveryTruncationKeepsTheRecordsBeforeTheCut) {
    const std::vector<std::uint8_t> whole = FileBytes(ModelData("geography.tbin"));
    const auto full = ReadBytes(whole);
    ASSERT_EQ(full->Problems.size(), 3u);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + size);
        bool ok = true;
        const auto t = ReadBytes(cut, &ok);
        if (size < 4) {
            EXPECT_FALSE(ok) << size;
        }
        ASSERT_LE(t->Problems.size(), full->Problems.size()) << size;
        // Every problem but the last one read is whole.
        for (std::size_t i = 0; i + 1 < t->Problems.size(); ++i) {
            EXPECT_EQ(t->Problems[i]->Id, full->Problems[i]->Id) << size;
            EXPECT_EQ(t->Problems[i]->Answers.Variants.size(),
                      full->Problems[i]->Answers.Variants.size())
                << size;
        }
        EXPECT_LE(t->Groups.size(), full->Groups.size()) << size;
    }
}

TEST(BinaryFormat, WrongOrUnscrambledTestTagLoadsNothing) {
    bool ok = true;
    // "tzra" is not the magic: the file is descrambled, and what comes out is no test.
    const auto lower = ReadBytes(TBytes().Raw("tzra").Str("id").Int(0).Int(0).Data, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lower->Id, "");
    EXPECT_TRUE(lower->Problems.empty());
    ReadBytes({'T', 'Z', 'R'}, &ok);
    EXPECT_FALSE(ok);
}

}  // namespace
