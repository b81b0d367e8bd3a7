// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tezra-tool convert without its command line: read a bank or a test, write it in another
// format beside or over its old self, and report what changed in the checker's shape.

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "interchange/Bank.h"
#include "tools/check/CheckReport.h"

struct ConvertRequest {
    std::filesystem::path In;
    std::filesystem::path Out;
    BankFormat From = BankFormat::Unknown;  // Unknown: chosen by In's extension
    BankFormat To = BankFormat::Unknown;    // Unknown: chosen by Out's extension
    std::string Shown;                      // how In is named in messages; empty: In as given
};

struct ConvertOutcome {
    TFileReport Report;  // the warnings, and the error that stopped the conversion
    int Converted = 0;
    std::vector<LeftOutKind> LeftOut;
    int ExitCode = 0;   // 0 converted, 1 nothing converted, 2 usage or file error
    std::string Usage;  // the usage error, English, when ExitCode is 2 for one
};

ConvertOutcome RunConversion(const ConvertRequest& request);

// "FILE: преобразовано задач 3, пропущено 2: эссе 1, на соответствие 1"
std::string ConvertSummary(const ConvertOutcome& outcome);
void PrintConvertText(std::ostream& out, const ConvertOutcome& outcome, bool quiet);
nlohmann::ordered_json ConvertJson(const ConvertOutcome& outcome, bool quiet);
