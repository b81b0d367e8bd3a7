// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "platform/Cp1251.h"

bool ApplyCommandLine(const std::vector<std::string>& arguments, std::string& serverAddress) {
    if (arguments.size() < 2 || AnsiUpperCase(Utf8ToCp1251(arguments[0])) != "IP") {
        return false;
    }
    serverAddress = Utf8ToCp1251(arguments[1]);
    return true;
}
