// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which IPv4 addresses may send results: a list of CIDR blocks ("10.1.2.0/24,10.1.3.7").
// An empty filter lets every address in.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AddressFilter {
public:
    // The filter of a comma-separated list; nothing (and the reason in error) when an entry
    // is no IPv4 address or block.
    static std::optional<AddressFilter> Parse(std::string_view list, std::string& error);

    bool Empty() const { return blocks_.empty(); }
    // Whether the dotted address is inside one of the blocks (always when empty).
    bool Allows(std::string_view address) const;

private:
    struct Block {
        std::uint32_t Network = 0;
        std::uint32_t Mask = 0;
    };
    std::vector<Block> blocks_;
};

// A dotted IPv4 address as a number; nothing when it is not one.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);
