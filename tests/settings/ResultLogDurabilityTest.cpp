// SPDX-License-Identifier: GPL-3.0-or-later
// report.log under hostile conditions: the writer killed at random instants, and a disk that
// fills up. Every record that the file holds must be whole.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "settings/ResultLog.h"
#include "tests/common/TempDir.h"

namespace {

// Records of varied lengths, so that a cut can fall anywhere in one.
TResultRecord NumberedRecord(int number) {
    TResultRecord record;
    record.User = "Student" + std::string(static_cast<std::size_t>(number % 37), 'x');
    record.Group = "9" + std::to_string(number % 3);
    record.TestName = "Test " + std::to_string(number);
    record.Outcome = {number % 20 + 1, static_cast<float>(number % 7), number % 5 + 1};
    record.StartDate = {2026, 12, 8};
    record.StartTime = 0.4;
    record.EndTime = 0.41;
    return record;
}

// The number of records in the log when all of them are whole; -1 (and a failure naming the
// first fault) otherwise.
int WholeRecords(const std::string& log) {
    if (log.empty()) {
        return 0;
    }
    int count = 0;
    std::size_t pos = 0;
    for (;;) {
        if (log.compare(pos, 21, std::string(kResultRecordSeparator) + "\r\n") != 0) {
            ADD_FAILURE() << "no record starts at byte " << pos;
            return -1;
        }
        pos += 21;
        for (std::string_view key : kResultRecordKeys) {
            const std::size_t end = log.find("\r\n", pos);
            if (log.compare(pos, key.size(), key) != 0 || end == std::string::npos ||
                log.find('\n', pos) != end + 1) {
                ADD_FAILURE() << "the " << key << " line at byte " << pos << " is not whole";
                return -1;
            }
            pos = end + 2;
        }
        ++count;
        if (pos == log.size()) {
            return count;
        }
        if (log.compare(pos, 2, "\r\n") != 0) {
            ADD_FAILURE() << "no empty line after the record that ends at byte " << pos;
            return -1;
        }
        pos += 2;
    }
}

TEST(ResultLogDurability, WriterKilledAtRandomInstantsLeavesOnlyWholeRecords) {
    TempDir dir;
    const auto log = dir.Path / "report.log";
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> pause(0, 3000);
    constexpr int kPasses = 200;
    for (int pass = 0; pass < kPasses; ++pass) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int number = pass * 1000;; ++number) {
                AppendResultRecord(log, NumberedRecord(number));
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    // A kill inside a write that crosses a page of the file can leave the last record cut
    // short; the next record, written as the station starts again, removes it first.
    ASSERT_TRUE(AppendResultRecord(log, NumberedRecord(7)));
    EXPECT_GT(WholeRecords(TempDir::Read(log)), 1);
}

// Every way a write can be cut: the cut record goes, the next one follows the whole ones.
TEST(ResultLogDurability, RecordCutAtAnyByteIsRemovedBeforeTheNext) {
    TempDir dir;
    const auto log = dir.Path / "report.log";
    const std::string first = FormatResultRecord(NumberedRecord(1));
    const std::string second = "\r\n" + FormatResultRecord(NumberedRecord(2));
    const std::string third = FormatResultRecord(NumberedRecord(3));
    for (std::size_t cut = 0; cut <= second.size(); ++cut) {
        EXPECT_EQ(CutRecordLength(first + second.substr(0, cut), true),
                  cut == second.size() ? 0 : cut)
            << cut;
        dir.Write("report.log", first + second.substr(0, cut));
        ASSERT_TRUE(AppendResultRecord(log, NumberedRecord(3)));
        const std::string expected = first + (cut == second.size() ? second : "") + "\r\n" + third;
        EXPECT_EQ(TempDir::Read(log), expected) << cut;
    }
    // The very first record cut short: the file is that record's beginning only.
    for (std::size_t cut = 1; cut < first.size(); ++cut) {
        EXPECT_EQ(CutRecordLength(first.substr(0, cut), true), cut) << cut;
        EXPECT_EQ(CutRecordLength(first.substr(0, cut), false), 0u) << cut;
    }
    // What is not the beginning of a record is never cut.
    struct Case {
        std::string Tail;
    };
    const Case kept[] = {
        {first + "\r\nnotes"},
        {first + "garbage"},
        {"a teacher's note"},
        {first + "\r\n===================\r\nUser=x\r\nTest=y"},
        {"\r\n\r\n" + first.substr(0, 30)},
    };
    for (const Case& c : kept) {
        EXPECT_EQ(CutRecordLength(c.Tail, true), 0u) << c.Tail;
    }
}

// A small file system of its own, mounted for the test (that needs root) and removed with it.
class SmallDisk {
public:
    explicit SmallDisk(const std::filesystem::path& where) : Path(where / "disk") {
        std::filesystem::create_directories(Path);
        Mounted = ::mount("tezra-test", Path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                          "size=64k,mode=0700") == 0;
    }
    ~SmallDisk() {
        if (Mounted) {
            ::umount2(Path.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    std::filesystem::path Path;
    bool Mounted = false;
};

TEST(ResultLogDurability, DiskThatFillsUpKeepsEveryRecordWhole) {
    TempDir dir;
    SmallDisk disk(dir.Path);
    if (!disk.Mounted) {
        GTEST_SKIP() << "a 64 KiB tmpfs cannot be mounted here (it needs root and the right "
                        "to mount); the short-write case is still covered by a file size limit";
    }
    const auto log = disk.Path / "report.log";
    int written = 0;
    int refused = 0;
    for (int number = 0; refused < 50 && number < 5000; ++number) {
        std::error_code error;
        // A shorter record may still fit after a longer one was refused.
        if (AppendResultRecord(log, NumberedRecord(number), &error)) {
            ++written;
        } else {
            ++refused;
            EXPECT_EQ(error, std::errc::no_space_on_device);
        }
        // Whatever happened, the file holds whole records only.
        if (number % 25 == 0 || refused > 0) {
            ASSERT_EQ(WholeRecords(TempDir::Read(log)), written) << "after record " << number;
        }
    }
    EXPECT_EQ(refused, 50);
    EXPECT_GT(written, 100);
    EXPECT_LE(std::filesystem::file_size(log), 64u * 1024);
}

}  // namespace
