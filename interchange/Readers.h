// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bank readers, one per format; each takes the input's bytes (UTF-8 or cp1251).

#include <filesystem>
#include <string_view>

#include "interchange/BankModel.h"

void ReadGift(std::string_view bytes, const std::filesystem::path& folder, BankCollector& bank);
void ReadAiken(std::string_view bytes, BankCollector& bank);
void ReadMoodleXml(std::string_view bytes, BankCollector& bank);

// The bytes of a picture file that a bank names, looked up inside folder only: a name that
// leaves the folder, an absolute one, an address or a missing file is refused with a warning.
bool ReadPictureBeside(const std::filesystem::path& folder, std::string_view name,
                       std::size_t line, BankQuestion& question, BankCollector& bank);
