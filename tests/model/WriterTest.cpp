// SPDX-License-Identifier: GPL-3.0-or-later
// The writers: what they write reads back to an equal test, and what a format cannot hold is
// reported and written in its closest form.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ModelTestSupport.h"
#include "model/Compare.h"
#include "model/TestWriters.h"

namespace {

using Lines = std::vector<std::string>;

std::unique_ptr<TTezra> ThroughText(const TTezra& t, Lines& warnings) {
    auto back = std::make_unique<TTezra>();
    EXPECT_TRUE(LoadTestFromText(*back, SaveTestToText(t, warnings)));
    return back;
}

std::unique_ptr<TTezra> ThroughBinary(const TTezra& t, bool scramble, Lines& warnings) {
    TMemoryStream stream = SaveTestToBinary(t, scramble, warnings);
    EXPECT_EQ(std::memcmp(stream.Data(), "TZRA", 4) != 0, scramble);
    auto back = std::make_unique<TTezra>();
    EXPECT_TRUE(LoadTestFromBinary(*back, stream));
    return back;
}

void ExpectSame(const TTezra& a, const TTezra& b, const std::string& what) {
    std::string difference;
    EXPECT_TRUE(SameTezra(a, b, &difference)) << what << ": " << difference;
}

// A test with every field filled from a seeded generator; only values that both formats hold.
std::unique_ptr<TTezra> RandomTest(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto text = [&](int maxLength) {
        static const std::string kAlphabet =
            Cp("abcXYZ019 ,.;:=[]<>§\"'!?-_йцукенЁёЯя\\/") + std::string("\x01\x7F\x98\xFF", 4);
        std::string s;
        const int length = pick(maxLength + 1);
        for (int i = 0; i < length; ++i) {
            s += kAlphabet[static_cast<std::size_t>(pick(static_cast<int>(kAlphabet.size())))];
        }
        // Ends that the text format would trim, and a start that reads as a comment or a
        // section line in a group line, are left to the warning tests.
        while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) {
            s.pop_back();
        }
        while (!s.empty() && (static_cast<unsigned char>(s.front()) <= 32 || s.front() == ';' ||
                              s.front() == SectionSign)) {
            s.erase(0, 1);
        }
        return s;
    };
    // A group name never holds ">>", which the text format cannot hold.
    auto name = [&](int maxLength) {
        std::string s = text(maxLength);
        for (std::size_t at = s.find(">>"); at != std::string::npos; at = s.find(">>")) {
            s.erase(at, 1);
        }
        return s;
    };
    const float floats[] = {0.0f,          -0.0f, 0.1f,     1.5f,      -2.75f, 1e-45f,
                            3.4028235e38f, 1e10f, INFINITY, -INFINITY, 100.0f, 0.3333333f};
    auto number = [&] { return floats[pick(12)]; };
    auto t = std::make_unique<TTezra>();
    t->Id = text(12);
    t->Title = text(40);
    t->ShuffleGroups = pick(2) == 1;
    t->ShuffleProblems = pick(2) == 1;
    t->ShuffleVariants = pick(2) == 1;
    t->DeferLimit = static_cast<std::int32_t>(random());
    for (int mark = 2; mark <= 5; ++mark) {
        t->MarkThresholds[mark] = number();
    }
    for (int g = pick(4); g > 0; --g) {
        auto group = std::make_unique<TGroupInfo>();
        group->Name = name(10);
        group->Quota = static_cast<std::int32_t>(random());
        group->Rate = number();
        t->Groups.push_back({group->Name, std::move(group)});
    }
    for (int n = pick(6); n > 0; --n) {
        auto p = std::make_unique<TProblem>();
        p->Id = text(8);
        p->Title = text(20);
        p->Category = text(8);
        p->Difficulty = static_cast<std::int32_t>(random());
        p->Group = t->Groups.empty() || pick(3) == 0 ? name(6) : t->Groups[0].Name;
        p->Rate = number();
        for (int line = pick(5); line > 0; --line) {
            std::string s = text(30);
            if (pick(4) == 0) {
                s = std::string(static_cast<std::size_t>(pick(3)), ' ') + ";" + s + "  ";
            }
            p->Condition.push_back(s);
        }
        p->PictureFile = pick(2) ? text(10) : "";
        for (int b = pick(3) ? 0 : pick(300); b > 0; --b) {
            p->Picture.push_back(static_cast<std::uint8_t>(random()));
        }
        p->Answers.Mode = static_cast<std::uint8_t>(pick(3));
        for (int v = pick(5); v > 0; --v) {
            p->Answers.Variants.push_back({text(15), static_cast<std::int32_t>(random())});
        }
        t->Problems.push_back(std::move(p));
    }
    return t;
}

TEST(Writers, FixturesRoundTripTextBinaryText) {
    for (const char* name : {"geography.ttxt", "no-groups.txt", "picture.ttxt",
                             "geography-scrambled.bin", "big-scrambled.tbin"}) {
        const auto original = ReadFixture(name);
        Lines warnings;
        const std::string text = SaveTestToText(*original, warnings);
        const auto fromText = ThroughText(*original, warnings);
        const auto fromBinary = ThroughBinary(*fromText, true, warnings);
        EXPECT_EQ(SaveTestToText(*fromBinary, warnings), text) << name;
        ExpectSame(*original, *fromText, name);
        ExpectSame(*original, *fromBinary, name);
        ExpectSame(*original, *ThroughBinary(*original, false, warnings), name);
        EXPECT_TRUE(warnings.empty()) << name << ": " << warnings.front();
    }
}

TEST(Writers, GeneratedTestsRoundTripThroughBothFormats) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        const auto original = RandomTest(seed);
        Lines warnings;
        ExpectSame(*original, *ThroughText(*original, warnings), "text " + std::to_string(seed));
        ExpectSame(*original, *ThroughBinary(*original, seed % 2 == 0, warnings),
                   "binary " + std::to_string(seed));
        EXPECT_TRUE(warnings.empty()) << seed << ": " << warnings.front();
    }
}

TEST(Writers, WhatTheTextFormatCannotHoldIsReportedAndWrittenClosest) {
    TTezra t;
    t.Title = " padded ";
    t.MarkThresholds[1] = 1.0f;
    t.MarkThresholds[5] = std::numeric_limits<float>::quiet_NaN();
    auto addGroup = [&t](const std::string& name) {
        auto group = std::make_unique<TGroupInfo>();
        group->Name = name;
        group->Quota = 1;
        t.Groups.push_back({name, std::move(group)});
    };
    addGroup("a>>b");
    addGroup(";note");
    addGroup(Cp("§sect"));
    addGroup("comma, fine");
    auto p = std::make_unique<TProblem>();
    p->Group = "A>>B";
    p->Answers.Mode = 7;
    p->Condition = {Cp("  §end condition and more"), "line\nbreak", "fine"};
    p->Answers.Variants = {{"  x", 1}};
    t.Problems.push_back(std::move(p));

    Lines warnings;
    const auto back = ThroughText(t, warnings);
    EXPECT_EQ(warnings.size(), 11u) << testing::PrintToString(warnings);
    EXPECT_EQ(back->Title, "padded");
    EXPECT_EQ(back->MarkThresholds[1], 0.0f);
    EXPECT_EQ(back->MarkThresholds[5], INFINITY);  // a threshold never reached, as NaN
    ASSERT_EQ(back->Groups.size(), 4u);
    EXPECT_EQ(back->Groups[0].Name, "a> >b");
    EXPECT_EQ(back->Groups[1].Name, "_;note");
    EXPECT_EQ(back->Groups[2].Name, Cp("_§sect"));
    EXPECT_EQ(back->Groups[3].Name, "comma, fine");  // a comma in a name is held
    EXPECT_EQ(back->Groups[3].Group->Quota, 1);
    const TProblem& q = *back->Problems.at(0);
    EXPECT_EQ(q.Group, "A> >B");  // still names its group
    EXPECT_EQ(q.Answers.Mode, ModeRadio);
    EXPECT_EQ(q.Condition, (Lines{"  end condition and more", "line break", "fine"}));
    EXPECT_EQ(q.Answers.Variants.at(0).Text, "x");
    ASSERT_TRUE(back->Prepare());
    EXPECT_EQ(back->Groups[0].Group->Problems.size(), 1u);
}

TEST(Writers, WhatTheBinaryFormatCannotHoldIsReported) {
    TTezra t;
    auto p = std::make_unique<TProblem>();
    p->Condition = {"a\rb", std::string("c\0d", 3), "e"};
    t.Problems.push_back(std::move(p));
    Lines warnings;
    const auto back = ThroughBinary(t, false, warnings);
    EXPECT_EQ(warnings.size(), 2u);
    EXPECT_EQ(back->Problems.at(0)->Condition, (Lines{"a", "b", "c"}));
}

TEST(Writers, SaveTestFileByExtension) {
    TempDir dir;
    const auto original = ReadFixture("geography.ttxt");
    Lines warnings;
    for (const char* name : {"a.ttxt", "a.TXT", "a.tbin", "a.Bin"}) {
        ASSERT_TRUE(SaveTestFile(*original, dir / name, false, warnings)) << name;
        ASSERT_TRUE(LoadTestFile(dir / name)) << name;
        ExpectSame(*original, CurrentTezra(), name);
    }
    ASSERT_TRUE(SaveTestFile(*original, dir / "s.tbin", true, warnings));
    EXPECT_NE(FileBytes(dir / "s.tbin").at(0), 'T');
    ASSERT_TRUE(LoadTestFile(dir / "s.tbin"));
    ExpectSame(*original, CurrentTezra(), "scrambled");
    EXPECT_FALSE(SaveTestFile(*original, dir / "s.ttxt", true, warnings));
    EXPECT_FALSE(SaveTestFile(*original, dir / "a.doc", false, warnings));
    EXPECT_FALSE(SaveTestFile(*original, dir / "missing" / "a.ttxt", false, warnings));
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
