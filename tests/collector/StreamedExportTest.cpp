// SPDX-License-Identifier: GPL-3.0-or-later
// Exports larger than one piece stream from the database: chunked on a kept HTTP/1.1
// connection, ended by closing on HTTP/1.0, and a client that leaves in the middle holds up
// neither the next export nor the collector's end.

#include <gtest/gtest.h>

#include <algorithm>

#include "collector/ReceivedTime.h"
#include "collector/ResultStore.h"
#include "tests/collector/CollectorFixture.h"

namespace {

constexpr int kRows = 30000;

void FillRows(const std::string& database) {
    std::string error;
    auto store = OpenResultStore(database, true, error);
    ASSERT_TRUE(store) << error;
    std::vector<NewResult> rows(kRows);
    const std::int64_t now = UnixMsNow();
    for (int i = 0; i < kRows; ++i) {
        rows[i].ReceivedMs = now - kRows + i;
        rows[i].Station = "127.0.0.1";
        rows[i].Group = "10Б";
        rows[i].User = "Ученик номер " + std::to_string(i);
        rows[i].Res = 35000;
        rows[i].Mark = 4;
    }
    ASSERT_TRUE(store->Append(rows));
}

// The body of a chunked answer whose head was already read.
std::string ReadChunks(RawClient& client) {
    std::string body;
    while (true) {
        const std::string sizeLine = client.ReadThrough("\r\n");
        if (sizeLine.empty()) {
            return body + "<cut>";
        }
        const std::size_t size = std::stoul(sizeLine, nullptr, 16);
        const std::string chunk = client.ReadThrough("\r\n");  // may hold CR LF: checked below
        std::string data = chunk;
        while (data.size() < size + 2) {
            const std::string more = client.ReadThrough("\r\n");
            if (more.empty()) {
                return body + "<cut>";
            }
            data += more;
        }
        if (size == 0) {
            return body;
        }
        body += data.substr(0, size);
    }
}

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(StreamedExport, ChunkedClosedAndAbandoned) {
    auto collector = std::make_unique<RunningCollector>();
    ASSERT_TRUE(collector->Service);
    FillRows(collector->Database);
    const int port = collector->Port();
    const std::string request =
        "GET /results.csv HTTP/1.1\r\nHost: 127.0.0.1\r\n" + TeacherAuthorization() + "\r\n";

    RawClient kept(port);
    ASSERT_TRUE(kept.Send(request + request));
    for (int round = 0; round < 2; ++round) {
        const std::string head = kept.ReadThrough("\r\n\r\n");
        ASSERT_EQ(StatusOf(head), 200) << head;
        EXPECT_NE(head.find("Transfer-Encoding: chunked"), std::string::npos);
        EXPECT_EQ(head.find("Content-Length"), std::string::npos);
        const std::string body = ReadChunks(kept);
        EXPECT_EQ(Lines(body), kRows + 1u) << "round " << round;
        EXPECT_TRUE(body.ends_with("Ученик номер " + std::to_string(kRows - 1) + ";3,5;4\r\n"));
    }

    RawClient old(port);
    ASSERT_TRUE(old.Send("GET /results.json HTTP/1.0\r\n" + TeacherAuthorization() + "\r\n"));
    const std::string head = old.ReadThrough("\r\n\r\n");
    EXPECT_EQ(head.find("Content-Length"), std::string::npos);
    EXPECT_NE(head.find("Connection: close"), std::string::npos);
    EXPECT_GT(old.ReadUntilClosed(10000), static_cast<std::size_t>(kRows) * 60);
    EXPECT_TRUE(old.ClosedWithin(100));

    {
        RawClient leaving(port);
        ASSERT_TRUE(leaving.Send(request));
        EXPECT_EQ(StatusOf(leaving.ReadThrough("\r\n\r\n")), 200);
    }
    // A stream nobody reads to its end: the next export and a poll still come.
    RawClient next(port);
    ASSERT_TRUE(next.Send(request));
    EXPECT_EQ(StatusOf(next.ReadThrough("\r\n\r\n")), 200);
    EXPECT_EQ(Lines(ReadChunks(next)), kRows + 1u);
    EXPECT_EQ(StatusOf(Exchange(
                  port, "GET /api/results HTTP/1.1\r\n" + TeacherAuthorization() + "\r\n")),
              200);
    // The collector ends while an export waits for its reader.
    RawClient stalled(port);
    ASSERT_TRUE(stalled.Send(request));
    EXPECT_EQ(StatusOf(stalled.ReadThrough("\r\n\r\n")), 200);
    collector.reset();
}

}  // namespace
