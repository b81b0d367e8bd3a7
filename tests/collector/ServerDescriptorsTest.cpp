// SPDX-License-Identifier: GPL-3.0-or-later
// The server's file descriptors: a start that fails says which call failed and why, and no
// descriptor stays open after connections, refusals or the server itself are gone.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "collector/HttpServer.h"
#include "collector/ListenSocket.h"
#include "platform/UniqueFd.h"
#include "tests/collector/CollectorFixture.h"

namespace {

// How many descriptors this process holds now.
int OpenDescriptorCount() {
    int count = 0;
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) {
        return -1;
    }
    while (const dirent* entry = ::readdir(folder)) {
        count += entry->d_name[0] != '.' ? 1 : 0;
    }
    ::closedir(folder);
    return count - 1;  // the folder's own descriptor
}

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

class OkHandler : public RequestHandler {
public:
    void Handle(HttpServer& server, std::uint64_t connection, const RequestHead& /*head*/,
                const std::string& /*peer*/) override {
        server.Answer(connection, TextAnswer(200, "ok"));
    }
};

// Sets the soft limit of open files for the test's scope, so that the next descriptors the
// process asks for are refused.
class FileLimit {
public:
    explicit FileLimit(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        set_ = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~FileLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    FileLimit(const FileLimit&) = delete;
    FileLimit& operator=(const FileLimit&) = delete;
    bool Set() const { return set_; }

private:
    rlimit saved_{};
    bool set_ = false;
};

int HighestOpenDescriptor() {
    int highest = -1;
    DIR* folder = ::opendir("/proc/self/fd");
    while (folder != nullptr) {
        const dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            break;
        }
        if (entry->d_name[0] != '.') {
            highest = std::max(highest, std::stoi(entry->d_name));
        }
    }
    if (folder != nullptr) {
        ::closedir(folder);
    }
    return highest;
}

// Fills the gaps below the highest open descriptor, so that the kernel hands out the numbers
// above it in order; the first of them in Next.
struct NoGaps {
    NoGaps() {
        const int highest = HighestOpenDescriptor();
        while (true) {
            UniqueFd probe(::dup(STDERR_FILENO));
            if (!probe || probe.Get() > highest) {
                Next = probe.Get();
                return;
            }
            Fillers.push_back(std::move(probe));
        }
    }
    std::vector<UniqueFd> Fillers;
    int Next = -1;
};

TEST(ServerDescriptors, UniqueFdClosesWhatItOwnsExactlyOnce) {
    const int raw = ::dup(STDERR_FILENO);
    ASSERT_GE(raw, 0);
    UniqueFd moved;
    {
        UniqueFd first(raw);
        moved = std::move(first);
        EXPECT_FALSE(first.Valid());
        EXPECT_EQ(moved.Get(), raw);
    }
    EXPECT_TRUE(IsOpen(raw)) << "a moved-from owner closed the descriptor";
    UniqueFd kept(std::move(moved));
    moved = std::move(kept);  // back again: still one owner
    EXPECT_TRUE(IsOpen(raw));
    const int other = ::dup(STDERR_FILENO);
    moved.Reset(other);
    EXPECT_FALSE(IsOpen(raw)) << "Reset kept the old descriptor open";
    const int released = moved.Release();
    EXPECT_EQ(released, other);
    EXPECT_FALSE(moved.Valid());
    EXPECT_TRUE(IsOpen(other)) << "Release closed the descriptor";
    { UniqueFd last(released); }
    EXPECT_FALSE(IsOpen(other));
}

TEST(ServerDescriptors, AFailedStartSaysWhichCallFailedAndWhy) {
    OkHandler handler;
    HttpServer running({}, handler);
    std::string error;
    ASSERT_TRUE(running.Listen("127.0.0.1", 0, error)) << error;
    const std::string taken = std::to_string(running.Port());

    struct Case {
        std::string address;
        int port;
        std::string expected;  // the start of the message, then its reason
        std::string reason;
    };
    const Case cases[] = {
        {"127.0.0.1", running.Port(), "cannot listen on 127.0.0.1:" + taken,
         "Address already in use"},
        {"127.0.0.300", 0, "not an IPv4 address: 127.0.0.300", ""},
        {"localhost", 0, "not an IPv4 address: localhost", ""},
        {"127.0.0.1", 70000, "not a port: 70000", ""},
        {"127.0.0.1", -1, "not a port: -1", ""},
    };
    const int before = OpenDescriptorCount();
    for (const Case& c : cases) {
        HttpServer server({}, handler);
        error.clear();
        EXPECT_FALSE(server.Listen(c.address, c.port, error)) << c.address << ":" << c.port;
        EXPECT_TRUE(error.starts_with(c.expected)) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        ListenSocket socket = OpenListenSocket(c.address, c.port, 0, 8, error);
        EXPECT_FALSE(socket.Fd.Valid()) << c.address << ":" << c.port;
    }
    EXPECT_EQ(OpenDescriptorCount(), before) << "a failed start left a descriptor open";

    // Out of descriptors: the epoll instance, then the eventfd, cannot be made, and the
    // server says so instead of running blind.
    struct Exhausted {
        int extraAllowed;  // descriptors the limit still lets the server make
        std::string expected;
    };
    const Exhausted exhausted[] = {
        {0, "cannot create the server's epoll instance: Too many open files"},
        {1, "cannot create the server's eventfd: Too many open files"},
        {2, "cannot open a socket for 127.0.0.1:0: Too many open files"},
    };
    for (const Exhausted& c : exhausted) {
        error.clear();
        bool listened = true;
        {
            const NoGaps gaps;
            ASSERT_GE(gaps.Next, 0);
            const FileLimit limit(static_cast<rlim_t>(gaps.Next + c.extraAllowed));
            ASSERT_TRUE(limit.Set());
            HttpServer server({}, handler);
            listened = server.Listen("127.0.0.1", 0, error);
        }
        EXPECT_FALSE(listened) << c.expected;
        EXPECT_EQ(error, c.expected);
        EXPECT_EQ(OpenDescriptorCount(), before) << c.expected;
    }
}

TEST(ServerDescriptors, NoDescriptorOutlivesItsConnectionOrTheServer) {
    const int before = OpenDescriptorCount();
    {
        OkHandler handler;
        ServerLimits limits;
        limits.MaxConnections = 8;  // more clients than this are refused or make room
        HttpServer server(limits, handler);
        std::string error;
        ASSERT_TRUE(server.Listen("127.0.0.1", 0, error)) << error;
        std::thread serving([&server] { server.Run(); });
        const int port = server.Port();
        const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        int answered = 0;
        for (int i = 0; i < 150; ++i) {
            switch (i % 3) {
                case 0:  // a whole exchange
                    answered += StatusOf(Exchange(port, request)) == 200 ? 1 : 0;
                    break;
                case 1: {  // a client that goes away in the middle of its request
                    RawClient client(port);
                    client.Send("GET / HT");
                    break;
                }
                default: {  // several open at once, beyond the connection limit
                    std::vector<std::unique_ptr<RawClient>> crowd;
                    for (int j = 0; j < 12; ++j) {
                        crowd.push_back(std::make_unique<RawClient>(port));
                    }
                    break;
                }
            }
        }
        EXPECT_EQ(answered, 50);
        // Every connection the clients closed is closed by the server too: only its own
        // listener, epoll and eventfd stay. Clients of the last crowd may still wait in the
        // listener's backlog and be taken (and closed) after the count first reaches 0.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((server.ConnectionCount() > 0 || OpenDescriptorCount() != before + 3) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(server.ConnectionCount(), 0u);
        EXPECT_EQ(OpenDescriptorCount(), before + 3);
        // A connection still open when the server stops is closed with it.
        RawClient lingering(port);
        ASSERT_TRUE(lingering.Send("GET / HTTP/1.1\r\n"));
        while (server.ConnectionCount() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        server.Stop();
        serving.join();
    }
    EXPECT_EQ(OpenDescriptorCount(), before + 0) << "the server left descriptors open";
}

}  // namespace
