// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's one command-line setting: "IP <address>" names the result server tried first.

#include <string>
#include <vector>

// When the first argument (after the program name) is "IP" in any letter case and a second
// follows, that second argument (as cp1251) becomes the server address. Anything else leaves
// it unchanged. Returns whether the address was set.
bool ApplyCommandLine(const std::vector<std::string>& arguments, std::string& serverAddress);
