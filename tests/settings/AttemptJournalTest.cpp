// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AttemptJournal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/DurableFile.h"
#include "tests/common/TempDir.h"

namespace {

TAttemptJournal Sample() {
    TAttemptJournal journal;
    journal.Group = "9\xC1";
    journal.User = "\xC8\xE2\xE0\xED\xEE\xE2";
    journal.TestName = "algebra";
    journal.TestFile = "/var/lib/tezra-net/tezra/algebra.ttxt";
    journal.Fingerprint.Size = 1234;
    journal.Fingerprint.Digest = Sha256("test bytes");
    journal.Start = {{2024, 6, 11}, 36000000};
    journal.Saved = {{2024, 6, 11}, 36125000};
    journal.Progress.Selected = {4, 0, 2};
    journal.Progress.Pending = {2};
    journal.Progress.Given = {{"a", "c"}, {"  Rome "}, {}};
    journal.Progress.DeferCount = 1;
    journal.Progress.Points = 1.5f;
    journal.Progress.Mark = 4;
    return journal;
}

void ExpectSame(const TAttemptJournal& a, const TAttemptJournal& b) {
    EXPECT_EQ(a.Group, b.Group);
    EXPECT_EQ(a.User, b.User);
    EXPECT_EQ(a.TestName, b.TestName);
    EXPECT_EQ(a.TestFile, b.TestFile);
    EXPECT_EQ(a.Fingerprint, b.Fingerprint);
    EXPECT_EQ(a.Start.Absolute(), b.Start.Absolute());
    EXPECT_EQ(a.Saved.Absolute(), b.Saved.Absolute());
    EXPECT_EQ(a.Progress.Selected, b.Progress.Selected);
    EXPECT_EQ(a.Progress.Pending, b.Progress.Pending);
    EXPECT_EQ(a.Progress.Given, b.Progress.Given);
    EXPECT_EQ(a.Progress.DeferCount, b.Progress.DeferCount);
    EXPECT_EQ(a.Progress.Points, b.Progress.Points);
    EXPECT_EQ(a.Progress.Mark, b.Progress.Mark);
}

// Puts a correct checksum back after the bytes were altered, so that only the contents lie.
std::string Resigned(std::string bytes) {
    const std::size_t signedSize = bytes.size() - 32;
    const TSha256 digest = Sha256(std::string_view(bytes).substr(0, signedSize));
    bytes.replace(signedSize, 32, std::string(digest.begin(), digest.end()));
    return bytes;
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

TEST(AttemptJournal, KeepsEveryFieldThroughTheFile) {
    TempDir dir;
    const auto path = dir.Path / "attempt.dat";
    EXPECT_EQ(ReadAttemptJournal(path).Kind, TJournalRead::State::Missing);
    TAttemptJournal finished = Sample();
    finished.Progress.Pending.clear();
    finished.Group = finished.User = "";
    for (const TAttemptJournal& journal : {Sample(), finished}) {
        ASSERT_TRUE(WriteAttemptJournal(path, journal));
        const TJournalRead read = ReadAttemptJournal(path);
        ASSERT_EQ(read.Kind, TJournalRead::State::Valid);
        ExpectSame(*read.Journal, journal);
        EXPECT_FALSE(std::filesystem::exists(ReplacementPath(path)));
    }
    EXPECT_TRUE(RemoveFileDurably(path));
    EXPECT_TRUE(RemoveFileDurably(path));  // already gone
    EXPECT_EQ(ReadAttemptJournal(path).Kind, TJournalRead::State::Missing);
}

TEST(AttemptJournal, AJournalThatLiesIsDamaged) {
    using Change = std::function<void(TAttemptJournal&)>;
    const std::pair<const char*, Change> lies[] = {
        {"pending twice",
         [](TAttemptJournal& j) {
             j.Progress.Pending = {2, 2};
         }},
        {"pending not drawn", [](TAttemptJournal& j) { j.Progress.Pending = {7}; }},
        {"drawn twice",
         [](TAttemptJournal& j) {
             j.Progress.Selected = {4, 4, 2};
         }},
        {"answers for fewer problems", [](TAttemptJournal& j) { j.Progress.Given.pop_back(); }},
        {"a pending problem answered", [](TAttemptJournal& j) { j.Progress.Given[2] = {"x"}; }},
        {"negative deferrals", [](TAttemptJournal& j) { j.Progress.DeferCount = -1; }},
        {"mark 0", [](TAttemptJournal& j) { j.Progress.Mark = 0; }},
        {"mark 6", [](TAttemptJournal& j) { j.Progress.Mark = 6; }},
        {"points not a number", [](TAttemptJournal& j) { j.Progress.Points = std::nanf(""); }},
        {"negative points", [](TAttemptJournal& j) { j.Progress.Points = -1; }},
        {"no test file", [](TAttemptJournal& j) { j.TestFile.clear(); }},
        {"month 13", [](TAttemptJournal& j) { j.Start.Date.Month = 13; }},
        {"30 February",
         [](TAttemptJournal& j) {
             j.Saved.Date = {2024, 2, 30};
         }},
        {"a day past its end", [](TAttemptJournal& j) { j.Start.Ms = kMsPerDay; }},
        {"saved before the start",
         [](TAttemptJournal& j) {
             j.Saved.Date = {2024, 6, 10};
         }},
    };
    for (const auto& [name, change] : lies) {
        TAttemptJournal journal = Sample();
        change(journal);
        EXPECT_FALSE(DecodeAttemptJournal(EncodeAttemptJournal(journal))) << name;
    }

    // Raw lies, each under a correct checksum. The first text (the class) starts at 10.
    const std::string good = EncodeAttemptJournal(Sample());
    ASSERT_TRUE(DecodeAttemptJournal(good));
    // From the end: the answers (33 bytes), the pending list (8), the drawn list (16).
    const std::size_t selectedCount = good.size() - 32 - 33 - 8 - 16;
    const std::pair<const char*, std::function<std::string()>> raw[] = {
        {"ten million drawn",
         [&] {
             std::string b = good;
             PutU32(b, selectedCount, 10000000);
             return Resigned(b);
         }},
        {"the class longer than the file",
         [&] {
             std::string b = good;
             PutU32(b, 10, 0x7FFFFFFF);
             return Resigned(b);
         }},
        {"a byte after the last answer",
         [&] {
             std::string b = good;
             b.insert(b.size() - 32, 1, '\0');
             PutU32(b, 6, static_cast<std::uint32_t>(b.size() - 42));
             return Resigned(b);
         }},
        {"a payload length that is wrong",
         [&] {
             std::string b = good;
             PutU32(b, 6, static_cast<std::uint32_t>(b.size()));
             return Resigned(b);
         }},
        {"version 2",
         [&] {
             std::string b = good;
             b[4] = 2;
             return Resigned(b);
         }},
        {"another magic", [&] { return Resigned("TZAX" + good.substr(4)); }},
        {"the checksum of other bytes", [&] { return good.substr(0, good.size() - 1) + "?"; }},
    };
    for (const auto& [name, make] : raw) {
        EXPECT_FALSE(DecodeAttemptJournal(make())) << name;
    }
    // The count at selectedCount is really the drawn count: three problems.
    EXPECT_EQ(static_cast<unsigned char>(good[selectedCount]), 3u);
}

TEST(AttemptJournal, EveryCutAndEveryAlteredByteIsDamaged) {
    const std::string good = EncodeAttemptJournal(Sample());
    for (std::size_t size = 0; size < good.size(); ++size) {
        EXPECT_FALSE(DecodeAttemptJournal(good.substr(0, size))) << "cut at " << size;
    }
    for (std::size_t at = 0; at < good.size(); ++at) {
        std::string altered = good;
        altered[at] = static_cast<char>(altered[at] ^ 0x10);
        EXPECT_FALSE(DecodeAttemptJournal(altered)) << "byte " << at;
    }
}

TEST(AttemptJournal, FilesThatAreNotJournalsAreDamaged) {
    TempDir dir;
    const std::pair<const char*, std::string> files[] = {
        {"empty", ""},
        {"text", "attempt\r\n"},
        {"past the size limit", std::string(kMaxJournalBytes + 1, 'x')},
    };
    for (const auto& [name, bytes] : files) {
        const auto path = dir.Write("attempt.dat", bytes);
        const TJournalRead read = ReadAttemptJournal(path);
        EXPECT_EQ(read.Kind, TJournalRead::State::Damaged) << name;
        EXPECT_FALSE(read.Journal) << name;
    }
    std::filesystem::remove(dir.Path / "attempt.dat");
    std::filesystem::create_directory(dir.Path / "attempt.dat");
    EXPECT_EQ(ReadAttemptJournal(dir.Path / "attempt.dat").Kind, TJournalRead::State::Damaged);
    // A folder that cannot take the replacement leaves the old state and says so.
    EXPECT_FALSE(WriteAttemptJournal(dir.Path / "missing" / "attempt.dat", Sample()));
}

}  // namespace
