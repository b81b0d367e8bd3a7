// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text encodings a question bank arrives in, and the way its text becomes the station's
// cp1251: characters the code page cannot hold become a plain look-alike or "?".

#include <string>
#include <string_view>
#include <vector>

// Whether the bytes are valid UTF-8 (ASCII alone included).
bool IsValidUtf8(std::string_view bytes);

// The input as UTF-8: a UTF-8 byte-order mark is dropped; bytes that are not valid UTF-8 are
// taken as cp1251. wasCp1251 tells which.
std::string InputToUtf8(std::string_view bytes, bool& wasCp1251);

// One character that cp1251 cannot hold and what was written for it.
struct CharReplacement {
    std::string From;  // UTF-8
    std::string To;    // ASCII
};

// UTF-8 text as cp1251. Each character without a place in the code page becomes its plain
// look-alike ("−" "-", "×" "x") or "?"; every distinct one is added to replaced once (up to
// BankMaxReplacementsShown of them).
std::string Utf8ToStation(std::string_view utf8, std::vector<CharReplacement>& replaced);
