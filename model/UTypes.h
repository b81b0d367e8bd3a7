// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test model: one loaded test (TTezra) with its problems (TProblem), their answer blocks
// (TAnswers) and the problem groups (TGroupInfo); the text and binary readers, the scrambler,
// the preparation of a test for one student and the scoring. All text is cp1251 bytes.

#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/MemoryStream.h"
#include "model/ReadNotes.h"
#include "model/TextReader.h"
#include "platform/TestFileTypes.h"

// Answer modes of TAnswers::Mode.
constexpr std::uint8_t ModeRadio = 0;  // exactly one variant is chosen
constexpr std::uint8_t ModeCombo = 1;  // any number of variants are ticked
constexpr std::uint8_t ModeInput = 2;  // the student types the answer

// The bits of the SHUFFLE number, the same in both file formats.
constexpr std::int32_t ShuffleGroupsBit = 4;    // draw the groups in random order
constexpr std::int32_t ShuffleProblemsBit = 2;  // draw a random subset of each group
constexpr std::int32_t ShuffleVariantsBit = 1;  // show the variants in random order

// Quota of a group that the test does not list: all of its problems are drawn.
constexpr std::int32_t UnlimitedQuota = 2147483647;

// The score of a problem that has not been computed yet: the quiet NaN 0xFFC00000.
constexpr float UnscoredScore = std::bit_cast<float>(0xFFC00000u);

// One answer variant: its text and its weight in percent of the problem's full score.
struct TVariant {
    std::string Text;
    std::int32_t Weight = 0;
};

// A binary test whose counts promise more records than any test may hold
// (platform/StationLimits.h): the reader gives the whole test up.
struct TDamagedTest : std::runtime_error {
    TDamagedTest() : std::runtime_error("a count exceeds the limits of a test") {}
};

class TAnswers {
public:
    std::uint8_t Mode = ModeRadio;
    std::vector<TVariant> Variants;  // in file order; looked up without regard to case

    // Reads one answer block, from just after its ANSWER line through its END ANSWER line.
    bool LoadFromText(TTextReader& reader);
    // Reads one binary answer record. A variant count above kMaxVariants makes the whole
    // test damaged: it throws TDamagedTest, which TTezra::LoadFromStream turns into false.
    bool LoadFromStream(TMemoryStream& stream, TReadSink* sink = nullptr);

    // Index of the first variant whose text equals text ignoring case, or -1.
    int IndexOfVariant(std::string_view text) const;
    // The weight of one given answer; 0 when no variant matches. INPUT answers are compared
    // with every blank removed and upper-cased.
    std::int32_t GetWeight(std::string_view answer) const;
};

class TProblem {
public:
    std::vector<std::string> Condition;  // the condition text, one entry per line
    std::string PictureFile;             // name of a picture file, cp1251
    std::vector<std::uint8_t> Picture;   // JPEG bytes; empty means no picture
    TAnswers Answers;
    std::string Id;
    std::string Title;
    std::string Category;
    std::int32_t Difficulty = 0;
    std::string Group;  // name of the problem's group; compared without regard to case
    float Rate = 0.0f;
    std::vector<std::string> Given;  // the answers the student gave
    float Score = UnscoredScore;     // percent 0 to 100, cached; NaN until computed

    // Reads one problem, from just after its PROBLEM line through its END PROBLEM line.
    bool LoadFromText(TTextReader& reader);
    bool LoadFromStream(TMemoryStream& stream, TReadSink* sink = nullptr);

    // Reads PictureFile into Picture, found as FindPictureFile finds it. False, with Picture
    // unchanged, when there is no such file; false, with Picture empty, when it cannot be read.
    bool LoadPictureFile(const std::filesystem::path& testFolder = {},
                         const std::filesystem::path& programFolder = {});
    // Clears Given and marks the score as not computed.
    void ClearAnswer();
    // The score in percent, 0 to 100, computed once from Given and then cached.
    float GetScore();
};

class TGroupInfo {
public:
    std::string Name;
    std::int32_t Quota = 0;           // problems of this group that a student gets
    float Rate = 1.0f;                // given to problems whose own rate is not positive
    std::vector<TProblem*> Problems;  // the group's problems in file order (Prepare)

    // Parses one line of the GROUPS block: name >> quota, rate. The text reader, when given,
    // tells its sink about a number that takes its default.
    bool LoadFromLine(std::string_view line, const TTextReader* reader = nullptr);
    bool LoadFromStream(TMemoryStream& stream);
};

// One entry of TTezra::Groups: the group's name and the group, which the test owns.
struct TGroupEntry {
    std::string Name;
    std::unique_ptr<TGroupInfo> Group;
};

// Minimum points for each mark; indexed by the mark, 1 to 5. The entry of mark 1 is carried
// by the binary format only and no computation reads it.
struct TMarkThresholds {
    std::array<float, 5> Values{};
    float& operator[](int mark) { return Values[static_cast<std::size_t>(mark - 1)]; }
    float operator[](int mark) const { return Values[static_cast<std::size_t>(mark - 1)]; }
};

class TTezra {
public:
    TTezra() = default;
    TTezra(const TTezra&) = delete;
    TTezra& operator=(const TTezra&) = delete;

    std::string Id;
    std::string Title;
    std::vector<std::unique_ptr<TProblem>> Problems;  // every problem, in file order
    std::vector<TProblem*> Selected;  // the problems drawn for the student, in order shown
    std::vector<TProblem*> Pending;   // the problems still to answer; item 0 is on screen
    std::vector<TGroupEntry> Groups;  // listed groups first, then those Prepare created
    bool ShuffleGroups = false;
    bool ShuffleProblems = false;
    bool ShuffleVariants = false;
    std::int32_t DeferLimit = 0;
    TMarkThresholds MarkThresholds;
    std::int32_t DeferCount = 0;
    // The folder of the file the test was loaded from; relative picture names are also
    // looked up there.
    std::filesystem::path TestFolder;
    // The folder of the station program, where relative picture names are looked up before
    // the test's folder; empty for the station's own (StationProgramPath).
    std::filesystem::path ProgramFolder;

    bool LoadFromText(TTextReader& reader);
    // Reads a test record; the sink, when given, hears where each record stands and what
    // could not be read.
    bool LoadFromStream(TMemoryStream& stream, TReadSink* sink = nullptr);

    // The three shuffle flags as a SHUFFLE number, and set from one (other bits are ignored).
    std::int32_t ShuffleFlags() const {
        return (ShuffleGroups ? ShuffleGroupsBit : 0) |
               (ShuffleProblems ? ShuffleProblemsBit : 0) |
               (ShuffleVariants ? ShuffleVariantsBit : 0);
    }
    void SetShuffleFlags(std::int32_t flags) {
        ShuffleGroups = (flags & ShuffleGroupsBit) != 0;
        ShuffleProblems = (flags & ShuffleProblemsBit) != 0;
        ShuffleVariants = (flags & ShuffleVariantsBit) != 0;
    }

    // Loads picture files, puts every problem into its group and fits the quotas.
    bool Prepare();
    // Draws the student's problems into Selected and Pending.
    bool SelectProblems();
    void ResetAnswers();
    bool CanDefer() const { return DeferCount < DeferLimit; }
    // The sum of all problems' scores times 0.01.
    float GetPoints();
    // The mark, 1 to 5, for the points: the highest mark whose threshold they reach.
    int GetMark(float points) const;

    // Index of the first group whose name equals name ignoring case, or -1.
    int IndexOfGroup(std::string_view name) const;
    TGroupInfo* FindGroup(std::string_view name) const;

private:
    bool ReadText(TTextReader& reader);
    bool ReadStream(TMemoryStream& stream, TReadSink* sink);
};

// Shuffle an object list or a variant list in place; every order is equally likely.
void ShuffleList(std::vector<TProblem*>& list);
void ShuffleStrings(std::vector<TVariant>& list);

// Reads one string field of a binary test; never fails and never reads past the data.
std::string ReadStreamString(TMemoryStream& stream);
// XORs the whole content with the 64 KiB keystream, each 64 KiB block starting again at the
// keystream's first byte; the position is 0 afterwards. Applying it twice restores the content.
bool ScrambleStream(TMemoryStream& stream);
// XORs size bytes that stand at the given offset of a content as ScrambleStream does, so that
// a content can be scrambled piece by piece.
void ScrambleBytes(std::uint8_t* data, std::size_t size, std::size_t offset);
// The keystream: 32768 little-endian words of the generator seeded with 21874.
const std::array<std::uint8_t, 65536>& ScrambleKeystream();

// Readers of a whole test held in memory. The binary one unscrambles the content in place
// when it does not begin with "TZRA". The sink, when given, hears what the readers read and
// pass over; what they read is the same with or without it.
bool LoadTestFromText(TTezra& tezra, std::string_view text, TReadSink* sink = nullptr);
bool LoadTestFromBinary(TTezra& tezra, TMemoryStream& stream, TReadSink* sink = nullptr);

// The current test of the station; a fresh empty test until a file is loaded.
TTezra& CurrentTezra();
// Replaces the current test with a fresh one and reads the file into it, choosing the reader
// by the extension (TestFileTypes). False when there is no file at the path (the current test
// stays), when the extension is none of these, when the file cannot be read, or when the
// reader breaks off.
bool LoadTestFile(const std::filesystem::path& path, TReadSink* sink = nullptr);

// Where a picture named in a test lives: an absolute name as it is; a relative one in the
// current folder, the program's folder (programFolder, or the station's own from
// StationProgramPath when empty), then the test's folder. "\" counts as a separator. Empty
// when none of them has the file.
std::filesystem::path FindPictureFile(std::string_view name,
                                      const std::filesystem::path& testFolder,
                                      const std::filesystem::path& programFolder = {});
