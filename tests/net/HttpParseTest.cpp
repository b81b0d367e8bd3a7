// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/HttpParse.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpParse, RequestCarriesExactlyTheFixedHeadersInOrder) {
    EXPECT_EQ(BuildRequest("/tezra/result?user=\xC8\xE2 \xE0\xED", "127.0.0.5", "80", false, ""),
              "GET /tezra/result?user=\xC8\xE2 \xE0\xED HTTP/1.1\r\n"
              "Content-Type: text/html\r\n"
              "Host: 127.0.0.5\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
              "\r\n");
    EXPECT_EQ(BuildRequest("/x", "host", "8080", true, "a=1; b=2"),
              "GET /x HTTP/1.1\r\n"
              "Content-Type: text/html\r\n"
              "Host: host:8080\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
              "Authorization: Basic Og==\r\n"
              "Cookie: a=1; b=2\r\n"
              "\r\n");
}

TEST(HttpParse, LongHeaderLinesFoldAtBlanks) {
    std::string cookies;
    for (int i = 0; i < 300; ++i) {
        cookies += (i ? "; c" : "c") + std::to_string(i) + "=value";
    }
    std::string out;
    AppendHeaderLine(out, "Cookie", cookies);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
    std::string unfolded;
    std::size_t start = 0;
    int lines = 0;
    while (start < out.size()) {
        const std::size_t end = out.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = out.substr(start, end - start);
        EXPECT_LE(line.size(), kHeaderFoldLength) << "line " << lines;
        if (lines > 0) {
            ASSERT_FALSE(line.empty());
            EXPECT_EQ(line[0], ' ');  // a continuation line
            EXPECT_NE(line[1], ' ');
        }
        unfolded += line;  // unfolding joins with the one leading blank
        start = end + 2;
        ++lines;
    }
    EXPECT_GT(lines, 2);
    EXPECT_EQ(unfolded, "Cookie: " + cookies);

    // A short line, and a long one without blanks, stay on one line.
    out.clear();
    AppendHeaderLine(out, "Cookie", "a=1");
    EXPECT_EQ(out, "Cookie: a=1\r\n");
    out.clear();
    const std::string solid(2000, 'x');
    AppendHeaderLine(out, "Cookie", solid);
    EXPECT_EQ(out, "Cookie: " + solid + "\r\n");
}

TEST(HttpParse, StatusCodeIsTheSecondWord) {
    const std::pair<const char*, int> cases[] = {
        {"HTTP/1.1 200 OK", 200},
        {"HTTP/1.0 404 Not Found", 404},
        {"HTTP/1.1 100", 100},
        {"HTTP/1.1 abc OK", -1},
        {"HTTP/1.1  200 OK", -1},
        {"garbage", -1},
        {"", -1},
        {"HTTP/1.1 2x0 OK", -1},
        {"HTTP/1.1 99999999999", -1},
    };
    for (const auto& [line, code] : cases) {
        EXPECT_EQ(ParseStatusCode(line), code) << line;
    }
}

TEST(HttpParse, ChunkSizeIsHexUpToTheFirstSpace) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"1a", 26},       {"1A ; ext", 26}, {"0", 0},
        {"", 0},          {"5;ext", 0},  // a size followed directly by a semicolon is not a number
        {"zz", 0},        {"FFFFFFFF", -1}, {"100000000", 0},
        {"00000010", 16}, {" 5", 0},        {"7fffffff", 2147483647},
    };
    for (const auto& [line, size] : cases) {
        EXPECT_EQ(ParseChunkSize(line), size) << line;
    }
}

TEST(HttpParse, HeaderReadings) {
    EXPECT_EQ(ParseContentLength(" 12 "), 12);
    EXPECT_EQ(ParseContentLength("0"), 0);
    EXPECT_FALSE(ParseContentLength("-1"));
    EXPECT_FALSE(ParseContentLength("12a"));
    EXPECT_FALSE(ParseContentLength(""));
    EXPECT_TRUE(IsChunked("gzip, chunked"));
    EXPECT_FALSE(IsChunked("Chunked"));

    HttpHeaders headers;
    headers.AddLine("WWW-Authenticate: Negotiate");
    EXPECT_FALSE(OffersBasic(headers));
    headers.AddLine("www-authenticate: Digest realm=\"a\", basic realm=\"b\"");
    EXPECT_TRUE(OffersBasic(headers));

    HttpHeaders keep;
    keep.AddLine("Connection: keep-alive");
    EXPECT_TRUE(KeepsConnection(keep));
    HttpHeaders close;
    close.AddLine("proxy-connection:  CLOSE ");
    EXPECT_FALSE(KeepsConnection(close));

    HttpHeaders location;
    location.AddLine("Location:   ");
    EXPECT_FALSE(HasLocation(location));
    location.AddLine("X: y");
    location.AddLine("LOCATION: /elsewhere");
    EXPECT_TRUE(HasLocation(location));
}

TEST(HttpParse, HeaderLinesAndContinuations) {
    HttpHeaders headers;
    headers.AddLine(" orphan continuation");
    headers.AddLine("Content-Type:  text/html ");
    headers.AddLine("X-Long: first");
    headers.AddLine("\t second ");
    headers.AddLine("  third");
    headers.AddLine("NoColon");
    headers.AddLine("Empty:");
    ASSERT_EQ(headers.All().size(), 4u);
    EXPECT_EQ(headers.Value("content-type"), "text/html");
    EXPECT_EQ(headers.Value("X-LONG"), "first second third");
    ASSERT_NE(headers.Find("NoColon"), nullptr);
    EXPECT_EQ(headers.Value("NoColon"), "");
    EXPECT_EQ(headers.Find("Missing"), nullptr);
}

}  // namespace
