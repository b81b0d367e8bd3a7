// SPDX-License-Identifier: GPL-3.0-or-later
// The database (schema, filters, reopening) and the import of a station's report.log.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "collector/ReceivedTime.h"
#include "collector/ReportLogImport.h"
#include "collector/SqliteResultStore.h"
#include "platform/Cp1251.h"
#include "tests/collector/CollectorFixture.h"
#include "tests/common/TempDir.h"

namespace {

// Local times in these tests are Moscow time, three hours ahead of UTC, all year round.
class MoscowTime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* zone = std::getenv("TZ");
        saved_ = zone != nullptr ? std::optional<std::string>(zone) : std::nullopt;
        ::setenv("TZ", "MSK-3", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    std::unique_ptr<SqliteResultStore> Open() {
        std::string error;
        auto store = SqliteResultStore::OpenWriter(dir_.Path / "results.sqlite", error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    // A store on the run's database (SQLite, or PostgreSQL in a PostgreSQL run).
    std::unique_ptr<ResultStore> OpenFresh() {
        std::string error;
        auto store = OpenResultStore(FreshDatabase()(dir_.Path), true, error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    TempDir dir_;

private:
    std::optional<std::string> saved_;
};

NewResult Received(std::int64_t ms, std::string group, std::string user, std::int64_t res,
                   int mark) {
    NewResult result;
    result.ReceivedMs = ms;
    result.Station = "127.0.0.9";
    result.Group = std::move(group);
    result.User = std::move(user);
    result.Res = res;
    result.Mark = mark;
    result.Raw = "group=...";
    return result;
}

// 14 May 2025, 10:00:00 Moscow time.
constexpr std::int64_t kMorning = 1747206000000;

TEST_F(MoscowTime, StampsInUtcAndLocalTime) {
    const ReceivedTime stamp = StampOf(kMorning + 123);
    EXPECT_EQ(stamp.Utc, "2025-05-14T07:00:00.123Z");
    EXPECT_EQ(stamp.Local, "2025-05-14T10:00:00+03:00");
    EXPECT_EQ(stamp.LocalDate, "2025-05-14");
    EXPECT_EQ(StampOf(kMorning + 14 * 3600 * 1000).LocalDate, "2025-05-15");
    EXPECT_EQ(LocalTimeToUnixMs(2025, 5, 14, 10, 0, 0), kMorning);
    EXPECT_FALSE(LocalTimeToUnixMs(2025, 2, 30, 10, 0, 0));
    EXPECT_TRUE(IsIsoDate("2024-02-29"));
    for (const char* bad : {"2025-02-29", "2025-5-14", "2025-05-14x", "", "20250514xx"}) {
        EXPECT_FALSE(IsIsoDate(bad)) << bad;
    }
}

TEST_F(MoscowTime, StoreFiltersByClassAndLocalDateAndKeepsItsFile) {
    {
        auto store = Open();
        ASSERT_TRUE(store);
        EXPECT_EQ(store->Database().QueryInt("PRAGMA user_version"), SqliteResultStore::kSchemaVersion);
        {
            SqliteStatement mode = store->Database().Prepare("PRAGMA journal_mode");
            ASSERT_TRUE(mode.Step());
            EXPECT_EQ(mode.Text(0), "wal");
        }
        ASSERT_TRUE(store->Append({Received(kMorning, "9Б", "Иванов", 35000, 4),
                                   Received(kMorning + 1000, "10А", "Петров", 10000, 2),
                                   Received(kMorning + 15 * 3600 * 1000, "9Б", "Сидоров", 0, 1)}));
    }
    auto store = Open();  // a restarted collector goes on with the same file
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Query({}).size(), 3u);
    const auto today = store->Query({"", "2025-05-14", 0, -1});
    ASSERT_EQ(today.size(), 2u);
    EXPECT_EQ(today[0].User, "Иванов");
    EXPECT_EQ(today[0].ReceivedLocal, "2025-05-14T10:00:00+03:00");
    EXPECT_EQ(today[0].Res, 35000);
    const auto nineB = store->Query({"9Б", "", 0, -1});
    ASSERT_EQ(nineB.size(), 2u);
    EXPECT_EQ(nineB[1].User, "Сидоров");
    EXPECT_EQ(store->Query({"", "", today[0].Id, 1}).size(), 1u);
    EXPECT_EQ(store->Groups("2025-05-14"), (std::vector<std::string>{"10А", "9Б"}));
    EXPECT_EQ(store->Groups("2025-05-15"), (std::vector<std::string>{"9Б"}));
    std::string error;
    auto reader = SqliteResultStore::OpenReader(dir_.Path / "results.sqlite", error);
    ASSERT_TRUE(reader) << error;
    EXPECT_FALSE(reader->Append({Received(kMorning, "x", "y", 1, 1)}));
    EXPECT_EQ(reader->Query({}).size(), 3u);
}

TEST_F(MoscowTime, NewerSchemaIsRefused) {
    {
        auto store = Open();
        ASSERT_TRUE(store);
        ASSERT_TRUE(store->Database().Execute("PRAGMA user_version = 7"));
    }
    std::string error;
    EXPECT_FALSE(SqliteResultStore::OpenWriter(dir_.Path / "results.sqlite", error));
    EXPECT_NE(error.find("newer"), std::string::npos);
    const auto garbage = dir_.Write("garbage.sqlite", std::string(4096, 'x'));
    EXPECT_FALSE(SqliteResultStore::OpenWriter(garbage, error));
}

// A record as the station writes it.
std::string Record(const std::string& user, const std::string& group, const std::string& points,
                   const std::string& mark, const std::string& start, const std::string& duration,
                   const std::string& questions = "10") {
    return Utf8ToCp1251("===================\r\nUser=" + user + "\r\nGroup=" + group +
                        "\r\nTest=Физика\r\nQuestions=" + questions + "\r\nPoints=" + points +
                        "\r\nMark=" + mark + "\r\nStart at=" + start + "\r\nDuration=" + duration +
                        "\r\n");
}

TEST_F(MoscowTime, ReadsRecordsAndReportsDamagedOnesByLine) {
    const std::string journal =
        Record("Иванов", "9Б", "7.500", "4", "14.05.2025 10:00:00", "12:30") + "\r\n" +
        Record("Петров", "9Б", "seven", "4", "14.05.2025 10:01:00", "1:0") + "\r\n" +
        Record("Сидоров", "9Б", "3.000", "2", "14.05.2025 23:59:00", "-1439:-30") + "\r\n" +
        "===================\r\nUser=Обрыв\r\nGroup=9Б\r\n\r\n" +
        Record("Кузнецов", "", "10", "5", "1.6.2025", "0:5") + "\r\n" +
        "garbage line\r\nmore garbage\r\n" +
        Record("Орлов", "9Б", "1.000", "9", "14.05.2025 11:00:00", "1:0") +
        Record("Лебедев", "9Б", "2.000", "3", "31.02.2025 11:00:00", "1:0") +
        Record("Волков", "9Б", "2.000", "3", "14.05.2025 11:00:00", "1:0").substr(0, 57);
    const JournalContents contents = ReadReportLog(journal);
    ASSERT_EQ(contents.Records.size(), 3u);
    EXPECT_EQ(contents.Records[0].Line, 1u);
    EXPECT_EQ(contents.Records[0].User, "Иванов");
    EXPECT_EQ(contents.Records[0].Test, "Физика");
    EXPECT_EQ(contents.Records[0].Res, 75000);
    EXPECT_EQ(contents.Records[0].StartMs, kMorning);
    EXPECT_EQ(contents.Records[0].EndMs, kMorning + 750000);
    // Crossed midnight and was written with negative numbers: it ran 30 seconds.
    EXPECT_EQ(contents.Records[1].EndMs - contents.Records[1].StartMs, 30000);
    EXPECT_EQ(contents.Records[2].User, "Кузнецов");
    EXPECT_EQ(contents.Records[2].StartMs, *LocalTimeToUnixMs(2025, 6, 1, 0, 0, 0));
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {16, "Points="}, {34, "expected a Test="}, {45, "not the start"},
        {53, "Mark="},   {63, "Start at="},        {69, "the record ends"}};
    ASSERT_EQ(contents.Problems.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(contents.Problems[i].Line, expected[i].first) << contents.Problems[i].Reason;
        EXPECT_NE(contents.Problems[i].Reason.find(expected[i].second), std::string::npos)
            << contents.Problems[i].Reason;
    }
}

TEST_F(MoscowTime, ImportAddsOnlyWhatIsNotThereYet) {
    auto store = OpenFresh();
    ASSERT_TRUE(store);
    // Иванов's result reached the collector over the network while his test was ending.
    ASSERT_TRUE(store->Append({Received(kMorning + 700000, "9Б", "Иванов", 75000, 4)}));
    const std::string journal =
        Record("Иванов", "9Б", "7.500", "4", "14.05.2025 10:00:00", "12:30") + "\r\n" +
        Record("Петров", "9Б", "5.000", "3", "14.05.2025 10:01:00", "10:0") + "\r\n" +
        Record("Петров", "9Б", "oops", "3", "14.05.2025 10:30:00", "10:0");
    const ImportSummary first = ImportReportLog(*store, "класс-3", journal);
    EXPECT_TRUE(first.Ok);
    EXPECT_EQ(first.Added, 1);
    EXPECT_EQ(first.Present, 1);
    ASSERT_EQ(first.Problems.size(), 1u);
    EXPECT_EQ(first.Problems[0].Line, 26u);

    // Rows come in the order of their time: Петров finished before Иванов's result came.
    const auto rows = store->Query({});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].User, "Петров");
    EXPECT_EQ(rows[0].Station, "класс-3");
    EXPECT_EQ(rows[0].ReceivedLocal, "2025-05-14T10:11:00+03:00");
    EXPECT_EQ(rows[0].Res, 50000);
    EXPECT_EQ(rows[1].Station, "127.0.0.9");

    const ImportSummary again = ImportReportLog(*store, "класс-3", journal);
    EXPECT_EQ(again.Added, 0);
    EXPECT_EQ(again.Present, 2);
    EXPECT_EQ(store->Query({}).size(), 2u);

    // The same record in another station's journal is another student's result.
    EXPECT_EQ(ImportReportLog(*store, "класс-4", journal).Added, 2);
    EXPECT_EQ(store->Query({}).size(), 4u);
}

// A test that could not be opened leaves a record without a result: it is told, not stored,
// whatever mark an older station wrote into it.
TEST_F(MoscowTime, RecordsOfTestsNotOpenedAreToldNotStored) {
    auto store = OpenFresh();
    ASSERT_TRUE(store);
    const std::string journal =
        Record("Иванов", "9Б", "0.000", "5", "14.05.2025 10:00:00", "0:3", "0") + "\r\n" +
        Record("Петров", "9Б", "0.000", "1", "14.05.2025 10:01:00", "0:2", "0") + "\r\n" +
        Record("Сидоров", "9Б", "1.000", "2", "14.05.2025 10:02:00", "1:0", "1");
    const ImportSummary summary = ImportReportLog(*store, "класс-3", journal);
    EXPECT_TRUE(summary.Ok);
    EXPECT_EQ(summary.Added, 1);
    EXPECT_TRUE(summary.Problems.empty());
    ASSERT_EQ(summary.NotOpened.size(), 2u);
    EXPECT_EQ(summary.NotOpened[0].Line, 1u);
    EXPECT_EQ(summary.NotOpened[1].Line, 11u);
    const auto rows = store->Query({});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].User, "Сидоров");
}

}  // namespace
