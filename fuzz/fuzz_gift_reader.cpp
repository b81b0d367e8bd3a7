// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the Gift question bank reader and the conversion of what it reads.

#include "fuzz/BankFuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckBank(data, size, BankFormat::Gift);
    return 0;
}
