// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small text tests written in the tests themselves: the parameters, then problems whose
// condition is their id. The text is UTF-8 with "§" for the section sign; TinyTestBytes gives
// the cp1251 bytes that a test file holds.

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/Cp1251.h"

// A problem; variants are variant lines separated by "|", such as "[100] a|[0] b".
inline std::string ProblemText(std::string_view id, std::string_view mode,
                               std::string_view variants, std::string_view pictureFile = "") {
    std::string text = "§PROBLEM\n§PARAMS\nID=" + std::string(id) + "\n§END PARAMS\n";
    text += "§CONDITION\n" + std::string(id) + "\n§END CONDITION\n";
    if (!pictureFile.empty()) {
        text += "§PICTURE\nFILE=" + std::string(pictureFile) + "\n";
    }
    text += "§ANSWER\nMODE=" + std::string(mode) + "\n§VARIANTS\n";
    for (const char c : variants) {
        text += c == '|' ? '\n' : c;
    }
    return text + "\n§END ANSWER\n§END PROBLEM\n";
}

// A whole test; params are parameter lines such as "SHUFFLE=1\nDEFER=2".
inline std::string TinyTest(std::string_view params, std::initializer_list<std::string> problems) {
    std::string text = "§TEZRA\n§PARAMS\n" + std::string(params) + "\n§END PARAMS\n§PROBLEMS\n";
    for (const std::string& problem : problems) {
        text += problem;
    }
    return text + "§END PROBLEMS\n§END TEZRA\n";
}

inline std::string TinyTestBytes(std::string_view params,
                                 std::initializer_list<std::string> problems) {
    return Utf8ToCp1251(TinyTest(params, problems));
}
