// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The checks shared by the question bank fuzz targets: whatever a bank reader makes of the
// input is a station test that the station's writers and readers carry unchanged, that every
// bank writer can write, and that reads back from those banks without fault.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/ModelFuzzChecks.h"
#include "interchange/Convert.h"

inline void CheckBank(const std::uint8_t* data, std::size_t size, BankFormat format) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const BankReadResult result = ReadQuestionBank(bytes, format, {});
    if (!result.Tezra || result.Converted != static_cast<int>(result.Tezra->Problems.size())) {
        __builtin_trap();
    }
    for (const BankWarning& warning : result.Warnings) {
        if (warning.Text.empty()) {
            __builtin_trap();
        }
    }
    CheckRoundTrips(*result.Tezra);
    for (BankFormat out : {BankFormat::Gift, BankFormat::MoodleXml}) {
        std::vector<BankWarning> warnings;
        const std::string bank = WriteQuestionBank(*result.Tezra, out, {}, warnings);
        const BankReadResult back = ReadQuestionBank(bank, out, {});
        // Every problem with variants travels through both bank formats.
        std::size_t withVariants = 0;
        for (const auto& problem : result.Tezra->Problems) {
            withVariants += problem->Answers.Variants.empty() ? 0 : 1;
        }
        if (back.Failed || back.Tezra->Problems.size() > withVariants) {
            __builtin_trap();
        }
    }
}
