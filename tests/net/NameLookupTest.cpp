// SPDX-License-Identifier: GPL-3.0-or-later
// Looking up a server's address never outlasts its time limit, whatever the resolver does.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "net/NameLookup.h"

namespace {

std::string Dotted(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &address, text, sizeof text) ? text : "";
}

TEST(NameLookup, LocalNamesAndAddressesNeedNoResolver) {
    struct Case {
        const char* Host;
        bool Found;
        const char* Address;
    };
    const Case cases[] = {
        {"localhost", true, "127.0.0.1"},
        {"LocalHost", true, "127.0.0.1"},
        {"127.0.0.7", true, "127.0.0.7"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        in_addr address{};
        // No time at all: only what needs no resolver can be found.
        EXPECT_EQ(LookUpIpv4(c.Host, 0, address), c.Found) << c.Host;
        if (c.Found) {
            EXPECT_EQ(Dotted(address), c.Address) << c.Host;
        }
    }
    in_addr address{};
    EXPECT_FALSE(LookUpIpv4(std::string("127.0.0.1\0evil", 14), 1000, address));
}

// A resolver that does not answer (a name server that is down) holds the caller only until
// its time is up; the answer that comes later is dropped, and a quick one is taken.
TEST(NameLookup, ASilentResolverIsGivenUpAtTheTimeLimit) {
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    bool resolverEnded = false;
    in_addr address{};
    ::inet_pton(AF_INET, "127.0.0.9", &address);
    const bool found = LookUpWithin(
        [&](in_addr& out) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return release; });
            ::inet_pton(AF_INET, "127.0.0.2", &out);
            resolverEnded = true;
            changed.notify_all();
            return true;
        },
        50, address);
    EXPECT_FALSE(found);
    {
        std::unique_lock lock(mutex);
        EXPECT_FALSE(resolverEnded);  // the caller did not wait for it
        release = true;
        changed.notify_all();
        changed.wait(lock, [&] { return resolverEnded; });
    }
    EXPECT_EQ(Dotted(address), "127.0.0.9");  // the late answer changed nothing

    EXPECT_TRUE(LookUpWithin(
        [](in_addr& out) { return ::inet_pton(AF_INET, "127.0.0.3", &out) == 1; }, 5000, address));
    EXPECT_EQ(Dotted(address), "127.0.0.3");
    EXPECT_FALSE(LookUpWithin([](in_addr&) { return false; }, 5000, address));
}

}  // namespace
