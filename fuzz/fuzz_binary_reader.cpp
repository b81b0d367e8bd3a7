// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the binary test reader (plain or scrambled).

#include <cstddef>
#include <cstdint>

#include "fuzz/ModelFuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryStream stream(data, size);
    TTezra tezra;
    LoadTestFromBinary(tezra, stream);
    CheckRoundTrips(tezra);
    PrepareAndScore(tezra);
    return 0;
}
