// SPDX-License-Identifier: GPL-3.0-or-later
// The client against scripted loopback servers: the bytes on the wire, connection reuse, the
// outcomes and the time limits.

#include "net/HttpClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/net/ScriptedServer.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const std::string kTail =
    "Accept: text/html, */*\r\n"
    "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";

std::string ExpectedRequest(const std::string& target, const std::string& host,
                            const std::string& extra = "") {
    return "GET " + target + " HTTP/1.1\r\nContent-Type: text/html\r\nHost: " + host + "\r\n" +
           kTail + extra + "\r\n";
}

std::string HostPort(const ScriptedServer& server, const std::string& host = "127.0.0.1") {
    return host + ":" + std::to_string(server.Port());
}

// A listening socket bound to 127.0.0.1 port 0 with no accept queue left: one connection
// fills it, so the next connect hangs.
class FullListener {
public:
    FullListener() {
        const LoopbackListener listener = ListenOnLoopback(0);
        listener_ = listener.Fd;
        port_ = listener.Port;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<unsigned short>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~FullListener() {
        ::close(filler_);
        ::close(listener_);
    }
    int Port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    int port_ = 0;
};

TEST(HttpClient, SendsTheTargetByteForByte) {
    ScriptedServer server({{ReadRequest(), Send(Response(200, "ok"))}});
    HttpClient client;
    // Group 10Б and surname "Иванов Пётр" in cp1251, a backslash, and a "#" that cuts the rest.
    const std::string query = "?group=10\xC1&user=\xC8\xE2\xE0\xED\xEE\xE2 \xCF\xB8\xF2\xF0\\x";
    const HttpResult result = client.Get(server.Url("/tezra/result" + query + "#&res=1&mark=5"));
    ASSERT_TRUE(result.Ok()) << to_string(result.error);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "ok");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              ExpectedRequest(
                  "/tezra/result?group=10\xC1&user=\xC8\xE2\xE0\xED\xEE\xE2 \xCF\xB8\xF2\xF0/x",
                  HostPort(server)));
    EXPECT_TRUE(client.Connected());
}

TEST(HttpClient, LocalhostInAnyCaseAndItsHostHeader) {
    ScriptedServer server({{ReadRequest(), Send(Response(200, ""))}});
    HttpClient client;
    EXPECT_TRUE(client.Get(server.Url("/x", "LocalHost")).Ok());
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], ExpectedRequest("/x", HostPort(server, "LocalHost")));
}

TEST(HttpClient, KeepsTheConnectionAndReconnectsAfterTheServerClosedIt) {
    ScriptedServer server({
        {ReadRequest(), Send(Response(200, "one")), ReadRequest(), Send(Response(200, "two")),
         CloseConnection()},
        {ReadRequest(), Send(Response(200, "three"))},
    });
    HttpClient client;
    EXPECT_EQ(client.Get(server.Url("/a")).body, "one");
    EXPECT_EQ(client.Get(server.Url("/b")).body, "two");
    EXPECT_EQ(server.Accepted(), 1);
    ASSERT_TRUE(server.WaitScriptsDone(1));
    const HttpResult third = client.Get(server.Url("/c"));
    EXPECT_TRUE(third.Ok()) << to_string(third.error);
    EXPECT_EQ(third.body, "three");
    EXPECT_EQ(server.Accepted(), 2);
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST(HttpClient, NeverTakesALateAnswerForTheNextRequest) {
    ScriptedServer server({
        {ReadRequest(), Send(Response(200, "first")), Pause(50), Send(Response(500, "late"))},
        {ReadRequest(), Send(Response(200, "fresh"))},
    });
    HttpClient client;
    EXPECT_TRUE(client.Get(server.Url("/a")).Ok());
    ASSERT_TRUE(server.WaitScriptsDone(1));
    const HttpResult second = client.Get(server.Url("/b"));
    EXPECT_TRUE(second.Ok()) << to_string(second.error);
    EXPECT_EQ(second.body, "fresh");
    EXPECT_EQ(server.Accepted(), 2);
}

TEST(HttpClient, ConnectionCloseRulesAndReadToClose) {
    struct Case {
        const char* name;
        std::string response;
        bool closeAfter;  // the server closes after sending
        bool ok;
        std::string body;
        bool connected;
    };
    const Case cases[] = {
        {"HTTP/1.0 read to close", "HTTP/1.0 200 OK\r\n\r\nuntil close", true, true, "until close",
         false},
        {"Connection: close", Response(200, "x", "Connection: close\r\n"), false, true, "x",
         false},
        {"Proxy-Connection: close", Response(200, "x", "Proxy-Connection: Close\r\n"), false, true,
         "x", false},
        {"keep-alive", Response(200, "x", "Connection: keep-alive\r\n"), false, true, "x", true},
        {"HTTP/1.0 with a length stays open", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx",
         false, true, "x", true},
        {"204", "HTTP/1.1 204 No Content\r\n\r\n", false, true, "", true},
        {"302 fails", Response(302, "moved", "Location: http://127.0.0.1/\r\n"), false, false,
         "moved", false},
        {"200 with Location fails", Response(200, "x", "Location: /y\r\n"), false, false, "x",
         false},
        {"404 fails after its body", Response(404, "not here"), false, false, "not here", false},
        {"500 fails after its body", "HTTP/1.1 500 Oops\r\n\r\nbroken", true, false, "broken",
         false},
        {"100 Continue then 200", "HTTP/1.1 100 Continue\r\n\r\n" + Response(200, "done"), false,
         true, "done", true},
        {"chunked with the semicolon quirk",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n2 ;x\r\nef\r\n"
         "3;x\r\nghi\r\n0\r\n\r\n",
         false, true, "abcdef", true},
        {"closed before the status line", "", true, false, "", false},
        {"closed in the headers of a 200", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n", true, false,
         "", false},
        {"line of 16385 bytes",
         "HTTP/1.1 200 OK\r\nX: " + std::string(16382, 'x') + "\r\nContent-Length: 0\r\n\r\n",
         false, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionScript script = {ReadRequest(), Send(c.response)};
        if (c.closeAfter) {
            script.push_back(CloseConnection());
        }
        ScriptedServer server({script});
        HttpClient client;
        const HttpResult result = client.Get(server.Url("/tezra/result?x=1"));
        EXPECT_EQ(result.Ok(), c.ok) << to_string(result.error);
        EXPECT_EQ(result.body, c.body);
        EXPECT_EQ(client.Connected(), c.connected);
    }
}

TEST(HttpClient, PortCarriesOverToTheNextHost) {
    ScriptedServer first({{ReadRequest(), Send(Response(200, "1"))}});
    ScriptedServer second({{ReadRequest(), Send(Response(200, "2"))}}, "127.0.0.2", first.Port());
    ASSERT_EQ(second.Port(), first.Port()) << "127.0.0.2 lacks the port";
    HttpClient client;
    EXPECT_EQ(client.Get(first.Url("/x")).body, "1");
    const HttpResult result = client.Get("http://127.0.0.2/tezra/result");
    EXPECT_TRUE(result.Ok()) << to_string(result.error);
    EXPECT_EQ(result.body, "2");
    ASSERT_EQ(second.Requests().size(), 1u);
    EXPECT_EQ(second.Requests()[0],
              ExpectedRequest("/tezra/result", HostPort(second, "127.0.0.2")));
}

TEST(HttpClient, BasicChallengeArmsAuthorizationForTheRestOfTheRun) {
    ScriptedServer challenger({
        {ReadRequest(), Send(Response(401, "who", "WWW-Authenticate: Basic realm=\"tezra\"\r\n"))},
        {ReadRequest(), Send(Response(200, ""))},
    });
    ScriptedServer other({{ReadRequest(), Send(Response(200, ""))}});
    HttpClient client;
    const HttpResult denied = client.Get(challenger.Url("/r"));
    EXPECT_EQ(denied.error, HttpError::ErrorStatus);
    EXPECT_EQ(denied.status, 401);
    EXPECT_EQ(denied.body, "who");
    EXPECT_TRUE(client.Get(challenger.Url("/r")).Ok());
    EXPECT_TRUE(client.Get(other.Url("/s")).Ok());
    const std::string authorization = "Authorization: Basic Og==\r\n";
    ASSERT_EQ(challenger.Requests().size(), 2u);
    EXPECT_EQ(challenger.Requests()[0], ExpectedRequest("/r", HostPort(challenger)));
    EXPECT_EQ(challenger.Requests()[1],
              ExpectedRequest("/r", HostPort(challenger), authorization));
    ASSERT_EQ(other.Requests().size(), 1u);
    EXPECT_EQ(other.Requests()[0], ExpectedRequest("/s", HostPort(other), authorization));

    // A challenge of another scheme arms nothing.
    ScriptedServer digest({
        {ReadRequest(), Send(Response(401, "", "WWW-Authenticate: Digest realm=\"x\"\r\n"))},
        {ReadRequest(), Send(Response(200, ""))},
    });
    HttpClient fresh;
    EXPECT_FALSE(fresh.Get(digest.Url("/r")).Ok());
    EXPECT_TRUE(fresh.Get(digest.Url("/r")).Ok());
    ASSERT_EQ(digest.Requests().size(), 2u);
    EXPECT_EQ(digest.Requests()[1], ExpectedRequest("/r", HostPort(digest)));
}

TEST(HttpClient, CookiesComeBackInLaterRequests) {
    ScriptedServer server({{
        ReadRequest(),
        Send("HTTP/1.1 100 Continue\r\nSet-Cookie: early=0; path=/\r\n\r\n" +
             Response(200, "",
                      "Set-Cookie: sid=42; path=/\r\nSet-Cookie2: deep=7; "
                      "Version=1; Path=\"/tezra/result\"\r\n")),
        ReadRequest(),
        Send(Response(200, "", "Set-Cookie: sid=; max-age=0; path=/\r\n")),
        ReadRequest(),
        Send(Response(200, "")),
    }});
    HttpClient client;
    EXPECT_TRUE(client.Get(server.Url("/tezra/result?a=1")).Ok());
    EXPECT_TRUE(client.Get(server.Url("/tezra/result?a=2")).Ok());
    EXPECT_TRUE(client.Get(server.Url("/other")).Ok());
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], ExpectedRequest("/tezra/result?a=1", HostPort(server)));
    EXPECT_EQ(requests[1], ExpectedRequest("/tezra/result?a=2", HostPort(server),
                                           "Cookie: deep=7; early=0; sid=42\r\n"));
    EXPECT_EQ(requests[2], ExpectedRequest("/other", HostPort(server), "Cookie: early=0\r\n"));
}

TEST(HttpClient, FailsAtOnceWithoutTraffic) {
    ScriptedServer server({{ReadRequest(), Send(Response(200, ""))}});
    HttpClient client;
    ASSERT_TRUE(client.Get(server.Url("/x")).Ok());
    EXPECT_EQ(client.Get("http:///tezra/result?x=1").error, HttpError::EmptyHost);
    EXPECT_EQ(client.Get("http://127.0.0.1:8o/x").error, HttpError::BadPort);
    EXPECT_EQ(client.Get("http://127.0.0.1:0/x").error, HttpError::BadPort);
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(client.Get("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x").error,
              HttpError::ConnectFailed);
    EXPECT_FALSE(client.Connected());
}

TEST(HttpClient, TimeLimitsOfTwoSeconds) {
    {
        ScriptedServer silent({{ReadRequest(), Pause(10000)}});
        HttpClient client;
        const auto start = steady_clock::now();
        const HttpResult result = client.Get(silent.Url("/x"));
        const auto waited = steady_clock::now() - start;
        EXPECT_EQ(result.error, HttpError::ReadTimeout);
        EXPECT_GE(waited, milliseconds(1990));
        EXPECT_LT(waited, milliseconds(6000));
        EXPECT_FALSE(client.Connected());
    }
    {
        FullListener full;
        HttpClient client;
        const auto start = steady_clock::now();
        const HttpResult result =
            client.Get("http://127.0.0.1:" + std::to_string(full.Port()) + "/x");
        const auto waited = steady_clock::now() - start;
        EXPECT_EQ(result.error, HttpError::ConnectTimeout);
        EXPECT_GE(waited, milliseconds(1990));
        EXPECT_LT(waited, milliseconds(6000));
    }
}

// A server that keeps every gap under the read limit still cannot hold one attempt for longer
// than the attempt limit; an answer in time is taken.
TEST(HttpClient, OneAttemptHasAnEnd) {
    auto dripping = [](int pieces, int gapMs) {
        const std::string answer = Response(200, std::string(64, 'd'), "Connection: close\r\n");
        ConnectionScript script{ReadRequest()};
        const std::size_t step = answer.size() / static_cast<std::size_t>(pieces) + 1;
        for (std::size_t at = 0; at < answer.size(); at += step) {
            script.push_back(Send(answer.substr(at, step)));
            script.push_back(Pause(gapMs));
        }
        script.push_back(CloseConnection());
        return script;
    };
    struct Case {
        int Pieces;
        int GapMs;
        HttpError Error;
    };
    // Gaps far under the 2 s read limit; the attempt limit is 2 s.
    const Case cases[] = {
        {2, 200, HttpError::None},
        {20, 300, HttpError::AttemptTimeout},
    };
    for (const Case& c : cases) {
        ScriptedServer server({dripping(c.Pieces, c.GapMs)});
        HttpClient client;
        client.SetAttemptTimeLimit(2000);
        const auto start = steady_clock::now();
        const HttpResult result = client.Get(server.Url("/x"));
        const auto waited = steady_clock::now() - start;
        EXPECT_EQ(result.error, c.Error) << c.Pieces;
        EXPECT_LT(waited, milliseconds(3500));
        EXPECT_FALSE(client.Connected());
    }
}

TEST(HttpClient, EndlessAnswerFailsAndClosesTheConnection) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n\r\n";
    const std::string toClose = "HTTP/1.1 200 OK\r\n\r\n";
    for (const std::string& start : {head, toClose}) {
        ScriptedServer server({{ReadRequest(), Send(start), Send(std::string(3 << 20, 'z')),
                                Pause(3000), CloseConnection()}});
        HttpClient client;
        const HttpResult result = client.Get(server.Url("/x"));
        EXPECT_EQ(result.error, HttpError::AnswerTooLong);
        EXPECT_LE(result.body.size(), kMaxAnswerBody);
        EXPECT_FALSE(client.Connected());
    }
}

}  // namespace
