// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds the station test from what a bank reader gathered.

#include "interchange/BankModel.h"
#include "interchange/Convert.h"

BankReadResult BuildStationTest(BankCollector&& bank, const std::string& fallbackTitle);
