// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/UrlParts.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    std::string url;
    std::string host, port, path, document, query;
};

TEST(UrlParts, SplitsWithoutDecodingOrEncoding) {
    const SplitCase cases[] = {
        {"http://127.0.0.5/tezra/result?group=9B&user=Smith&res=35000&mark=4", "127.0.0.5", "",
         "/tezra/", "result", "?group=9B&user=Smith&res=35000&mark=4"},
        {"http://host:8080/tezra/result?a=1", "host", "8080", "/tezra/", "result", "?a=1"},
        // user:password@ is split off and never sent.
        {"http://user:pa@ss@host:81/x", "host", "81", "/", "x", ""},
        // Backslashes become slashes, in the path and in the query.
        {"http:\\\\host\\a\\b?user=A\\B", "host", "", "/a/", "b", "?user=A/B"},
        // "#" ends the query; a slash inside the query does not move the path.
        {"http://h/tezra/result?user=Ab#c&res=1&mark=2", "h", "", "/tezra/", "result", "?user=Ab"},
        {"http://h/p/?q=/x/y", "h", "", "/p/", "", "?q=/x/y"},
        // Raw bytes, spaces and cp1251 letters stay as they are.
        {"http://h/r?user=\xC8\xE2 \xE0\xED&x=%41", "h", "", "/", "r",
         "?user=\xC8\xE2 \xE0\xED&x=%41"},
        {"http://h", "h", "", "/", "", ""},
        {"http://:8080/x", "", "8080", "/", "x", ""},
        {"no-scheme/x", "", "", "no-scheme/", "x", ""},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.url);
        const UrlParts parts = SplitUrl(c.url);
        EXPECT_EQ(parts.host, c.host);
        EXPECT_EQ(parts.port, c.port);
        EXPECT_EQ(parts.path, c.path);
        EXPECT_EQ(parts.document, c.document);
        EXPECT_EQ(parts.query, c.query);
        EXPECT_EQ(parts.Target(), c.path + c.document + c.query);
    }
}

TEST(UrlParts, PortRuleCarriesOverOnlyUnusualPorts) {
    struct Case {
        std::string urlPort, kept, expected;
    };
    const Case cases[] = {
        {"8080", "", "8080"}, {"8080", "9090", "8080"}, {"", "", "80"},    {"", "8080", "8080"},
        {"", "80", "80"},     {"", "443", "80"},        {"", "abc", "80"}, {"", "0", "80"},
        {"", "70000", "80"},  {"abc", "8080", "abc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolvePort(c.urlPort, c.kept), c.expected) << c.urlPort << " / " << c.kept;
    }
    EXPECT_EQ(ParsePort("8080"), 8080);
    EXPECT_EQ(ParsePort("65535"), 65535);
    EXPECT_FALSE(ParsePort("65536"));
    EXPECT_FALSE(ParsePort("0"));
    EXPECT_FALSE(ParsePort("80a"));
    EXPECT_FALSE(ParsePort(""));
}

}  // namespace
