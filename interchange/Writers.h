// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bank writers: a station test as GIFT or Moodle XML (UTF-8).

#include <string>
#include <vector>

#include "interchange/Convert.h"

std::string WriteGift(const TTezra& tezra, std::vector<BankWarning>& warnings);
std::string WriteMoodleXml(const TTezra& tezra, const BankWriteOptions& options,
                           std::vector<BankWarning>& warnings);

// The picture of a problem for a bank: its embedded bytes, or the file it names.
std::vector<std::uint8_t> ProblemPicture(const TProblem& problem, const BankWriteOptions& options);
