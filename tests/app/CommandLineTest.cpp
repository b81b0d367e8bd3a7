// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

TEST(CommandLine, IpSetsTheServerAddressInAnyCase) {
    struct Case {
        std::vector<std::string> Arguments;
        std::string Address;
    };
    const Case cases[] = {
        {{"IP", "127.0.0.5"}, "127.0.0.5"},
        {{"ip", "localhost:8080"}, "localhost:8080"},
        {{"Ip", "a", "extra"}, "a"},
        {{"IP"}, "default"},
        {{}, "default"},
        {{"-IP", "x"}, "default"},
        {{"server", "IP", "x"}, "default"},
        {{"IP", ""}, ""},
    };
    for (const auto& c : cases) {
        std::string address = "default";
        ApplyCommandLine(c.Arguments, address);
        EXPECT_EQ(address, c.Address);
    }
}

}  // namespace
