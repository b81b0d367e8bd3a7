// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ResponseReader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "net/HttpParse.h"
#include "platform/StationLimits.h"

namespace {

struct ReadCase {
    const char* name;
    std::string bytes;
    ReadStatus end;  // what the source reports after the bytes
    HttpError error;
    int status;
    std::string body;
    bool closed;
};

const ReadStatus kClose = ReadStatus::Closed;
const ReadStatus kSilent = ReadStatus::TimedOut;

std::vector<ReadCase> Cases() {
    const std::string longLine(kMaxResponseLine - 4, 'x');  // "X: " + value + "y" = 16384
    return {
        {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", kSilent,
         HttpError::None, 200, "hello", false},
        {"bare LF lines", "HTTP/1.1 200 OK\nContent-Length: 2\n\nhi", kSilent, HttpError::None,
         200, "hi", false},
        {"content length cut short by close", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nab",
         kClose, HttpError::None, 200, "ab", true},
        {"content length cut short by silence", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nab",
         kSilent, HttpError::ReadTimeout, 200, "ab", false},
        {"HTTP/1.0 read to close", "HTTP/1.0 200 OK\r\n\r\nall of it", kClose, HttpError::None,
         200, "all of it", true},
        {"read to close on a silent server", "HTTP/1.1 200 OK\r\n\r\npart", kSilent,
         HttpError::ReadTimeout, 200, "part", false},
        {"negative length reads to close", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nxy",
         kClose, HttpError::None, 200, "xy", true},
        {"zero length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", kSilent, HttpError::None,
         200, "", false},
        {"204 has no body", "HTTP/1.1 204 No Content\r\n\r\n", kSilent, HttpError::None, 204, "",
         false},
        {"100 continue first",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", kSilent,
         HttpError::None, 200, "ok", false},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
         "5\r\nhello\r\n6 ; ext\r\n world\r\n0\r\n\r\n",
         kSilent, HttpError::None, 200, "hello world", false},
        {"chunk size with a semicolon ends the body",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
         "3\r\nabc\r\n3;x=1\r\ndef\r\n0\r\n\r\n",
         kSilent, HttpError::None, 200, "abc", false},
        {"length wins over chunked",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc",
         kSilent, HttpError::None, 200, "3\r\n", false},
        {"chunked without the last line",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
         "2\r\nab\r\n0\r\n",
         kSilent, HttpError::ReadTimeout, 200, "ab", false},
        {"chunked cut by close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nab",
         kClose, HttpError::None, 200, "ab", true},
        {"302 fails after its body",
         "HTTP/1.1 302 Found\r\nLocation: http://x/\r\nContent-Length: 3\r\n\r\nmov", kSilent,
         HttpError::Redirect, 302, "mov", false},
        {"200 with Location fails", "HTTP/1.1 200 OK\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n",
         kSilent, HttpError::Redirect, 200, "", false},
        {"304 is no redirect", "HTTP/1.1 304 Not Modified\r\nContent-Length: 0\r\n\r\n", kSilent,
         HttpError::ErrorStatus, 304, "", false},
        {"404 fails after its body", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope",
         kSilent, HttpError::ErrorStatus, 404, "nope", false},
        {"500 read to close", "HTTP/1.1 500 Oops\r\n\r\nbroken", kClose, HttpError::ErrorStatus,
         500, "broken", true},
        {"status that is no number", "HTTP/1.1 OK\r\nContent-Length: 0\r\n\r\n", kSilent,
         HttpError::ErrorStatus, -1, "", false},
        {"101 fails", "HTTP/1.1 101 Switching\r\nContent-Length: 0\r\n\r\n", kSilent,
         HttpError::ErrorStatus, 101, "", false},
        {"closed before the status line", "", kClose, HttpError::ClosedBeforeStatus, -1, "", true},
        {"silent before the status line", "", kSilent, HttpError::ReadTimeout, -1, "", false},
        {"2xx closed in the header block", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n", kClose,
         HttpError::ClosedInHeaders, 200, "", true},
        {"204 closed in the header block", "HTTP/1.1 204 OK\r\n", kClose,
         HttpError::ClosedInHeaders, 204, "", true},
        {"status line without LF at close", "HTTP/1.1 200 OK", kClose, HttpError::ClosedInHeaders,
         200, "", true},
        {"closed after a 100", "HTTP/1.1 100 Continue\r\n\r\n", kClose,
         HttpError::ClosedBeforeStatus, 100, "", true},
        {"line of 16384 bytes", "HTTP/1.1 200 OK\r\nX: " + longLine + "y\r\n\r\n", kClose,
         HttpError::None, 200, "", true},
        {"line of 16385 bytes", "HTTP/1.1 200 OK\r\nX: " + longLine + "yz\r\n\r\n", kClose,
         HttpError::LineTooLong, 200, "", false},
        {"endless line without LF", "HTTP/1.1 200 OK\r\nX: " + std::string(40000, 'a'), kSilent,
         HttpError::LineTooLong, 200, "", false},
        {"long line cut by close", "HTTP/1.1 200 OK\r\nX: " + longLine + "yz", kClose,
         HttpError::LineTooLong, 200, "", true},
        {"status line too long", "HTTP/1.1 200 " + std::string(kMaxResponseLine, 'x') + "\r\n",
         kClose, HttpError::LineTooLong, -1, "", false},
    };
}

TEST(ResponseReader, ExchangeOutcomesAndBodyRules) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
        for (const ReadCase& c : Cases()) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            MemoryByteSource source(c.bytes, piece, c.end);
            ResponseReader reader(source);
            HttpResponse response;
            EXPECT_EQ(reader.Read(response), c.error);
            EXPECT_EQ(response.status, c.status);
            EXPECT_EQ(response.body, c.body);
            EXPECT_EQ(response.closed, c.closed);
        }
    }
}

// Whatever a server sends, the station holds at most the limits of an answer in memory.
TEST(ResponseReader, AnswerBodyAndHeadAreBounded) {
    const std::size_t limit = kMaxAnswerBody;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    auto chunk = [](std::size_t size) {
        std::ostringstream hex;
        hex << std::hex << size;
        return hex.str() + "\r\n" + std::string(size, 'c') + "\r\n";
    };
    std::string manyHeaders = ok;
    while (manyHeaders.size() <= kMaxAnswerHead) {
        manyHeaders += "X-Padding: " + std::string(1000, 'p') + "\r\n";
    }
    std::string endlessInterim;
    while (endlessInterim.size() <= kMaxAnswerHead) {
        endlessInterim += "HTTP/1.1 100 Continue\r\n\r\n";
    }
    struct Case {
        const char* Name;
        std::string Bytes;
        HttpError Error;
        std::size_t BodySize;
    };
    const Case cases[] = {
        {"length at the limit",
         ok + "Content-Length: " + std::to_string(limit) + "\r\n\r\n" + std::string(limit, 'b'),
         HttpError::None, limit},
        {"length one past the limit",
         ok + "Content-Length: " + std::to_string(limit + 1) + "\r\n\r\n" +
             std::string(limit + 1, 'b'),
         HttpError::AnswerTooLong, 0},
        {"read to close at the limit", ok + "\r\n" + std::string(limit, 'b'), HttpError::None,
         limit},
        {"read to close one past the limit", ok + "\r\n" + std::string(limit + 1, 'b'),
         HttpError::AnswerTooLong, 0},
        {"chunks at the limit",
         ok + "Transfer-Encoding: chunked\r\n\r\n" + chunk(limit - 10) + chunk(10) + "0\r\n\r\n",
         HttpError::None, limit},
        {"chunks one past the limit",
         ok + "Transfer-Encoding: chunked\r\n\r\n" + chunk(limit - 10) + chunk(11) + "0\r\n\r\n",
         HttpError::AnswerTooLong, limit - 10},
        {"header lines past the limit", manyHeaders + "\r\n", HttpError::AnswerTooLong, 0},
        {"interim answers past the limit", endlessInterim, HttpError::AnswerTooLong, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        MemoryByteSource source(c.Bytes, 65536, ReadStatus::Closed);
        ResponseReader reader(source);
        HttpResponse response;
        EXPECT_EQ(reader.Read(response), c.Error);
        EXPECT_LE(response.body.size(), limit);
        if (c.Error == HttpError::None) {
            EXPECT_EQ(response.body.size(), c.BodySize);
        }
    }
}

TEST(ResponseReader, EveryHeaderBlockIsHandedOver) {
    MemoryByteSource source(
        "HTTP/1.1 100 Continue\r\nSet-Cookie: a=1\r\n\r\n"
        "HTTP/1.1 404 No\r\nSet-Cookie: b=2\r\nContent-Length: 0\r\n\r\n",
        3, ReadStatus::TimedOut);
    ResponseReader reader(source);
    HttpResponse response;
    std::vector<std::string> seen;
    EXPECT_EQ(reader.Read(response,
                          [&](const HttpHeaders& h) { seen.push_back(h.Value("set-cookie")); }),
              HttpError::ErrorStatus);
    EXPECT_EQ(seen, (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(response.headers.Value("Set-Cookie"), "b=2");
}

TEST(ResponseReader, LinesEndAtLfAndCloseKeepsTheRest) {
    MemoryByteSource source("one\r\ntwo\n\r\nthree\rx\r", 2);
    ResponseReader reader(source);
    std::string line;
    const std::pair<LineResult, std::string> expected[] = {
        {LineResult::Line, "one"},      {LineResult::Line, "two"},        {LineResult::Line, ""},
        {LineResult::Line, "three\rx"}, {LineResult::Closed, "three\rx"},
    };
    for (const auto& [result, text] : expected) {
        EXPECT_EQ(reader.ReadLine(line), result);
        EXPECT_EQ(line, text);
    }
}

}  // namespace
