// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes from a client of the result collector: the request head reader and the
// station's query decoding must cope with any of them, never read past them, and give text
// that the database can hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "collector/RequestHead.h"
#include "collector/ResultQuery.h"

namespace {

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

void CheckQuery(std::string_view query) {
    StationResult result;
    if (ParseStationQuery(query, result) == QueryError::None) {
        if (result.Mark < 1 || result.Mark > 5 || !IsUtf8(result.Group) || !IsUtf8(result.User)) {
            std::abort();
        }
    }
    FormParameter(query, "group");
    FormParameter(query, "date");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    RequestLimits limits;
    limits.MaxLine = 2048;
    limits.MaxHead = 4096;
    RequestHead head;
    const HeadParse parse = ParseRequestHead(bytes, limits, head);
    if (parse.Status == HeadStatus::Complete) {
        if (parse.Consumed > size || head.Target.find_first_of("\r\n") != std::string::npos ||
            !std::string_view(head.Target).starts_with(head.Path())) {
            std::abort();
        }
        // A head is complete only once its last byte has come.
        RequestHead partial;
        if (ParseRequestHead(std::string_view(bytes).substr(0, parse.Consumed - 1), limits,
                             partial)
                .Status == HeadStatus::Complete) {
            std::abort();
        }
        CheckQuery(head.Query());
    }
    CheckQuery(bytes);
    return 0;
}
