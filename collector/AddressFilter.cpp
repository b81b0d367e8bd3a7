// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/AddressFilter.h"

#include <arpa/inet.h>

#include "platform/Numbers.h"
#include "platform/TextUtils.h"

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
    in_addr address{};
    if (text.empty() || text.size() > 15 ||
        ::inet_pton(AF_INET, std::string(text).c_str(), &address) != 1) {
        return std::nullopt;
    }
    return ntohl(address.s_addr);
}

std::optional<AddressFilter> AddressFilter::Parse(std::string_view list, std::string& error) {
    AddressFilter filter;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view entry = TrimView(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (entry.empty()) {
            continue;
        }
        const std::size_t slash = entry.find('/');
        const auto network = ParseIpv4(entry.substr(0, slash));
        int bits = 32;
        if (slash != std::string_view::npos) {
            const std::string_view digits = entry.substr(slash + 1);
            const auto value = digits.find_first_not_of("0123456789") == std::string_view::npos
                                   ? ParseInt(digits)
                                   : std::nullopt;
            bits = value && !digits.empty() && *value >= 0 && *value <= 32 ? *value : -1;
        }
        if (!network || bits < 0) {
            error = "not an IPv4 address or ADDRESS/BITS block: " + std::string(entry);
            return std::nullopt;
        }
        const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
        filter.blocks_.push_back({*network & mask, mask});
    }
    if (filter.blocks_.empty()) {
        error = "no address in the list";
        return std::nullopt;
    }
    return filter;
}

bool AddressFilter::Allows(std::string_view address) const {
    if (blocks_.empty()) {
        return true;
    }
    const auto value = ParseIpv4(address);
    if (!value) {
        return false;
    }
    for (const Block& block : blocks_) {
        if ((*value & block.Mask) == block.Network) {
            return true;
        }
    }
    return false;
}
