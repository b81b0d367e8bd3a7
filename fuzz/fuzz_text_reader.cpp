// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the text test reader.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/ModelFuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TTezra tezra;
    LoadTestFromText(tezra, std::string_view(reinterpret_cast<const char*>(data), size));
    CheckRoundTrips(tezra);
    PrepareAndScore(tezra);
    return 0;
}
