// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a bank reader gathers before the station test is built: the questions it could map, in
// UTF-8, and everything it left out or changed.

#include <cstdint>
#include <string>
#include <vector>

#include "interchange/Bank.h"

struct BankVariant {
    std::string Text;  // UTF-8, one line
    std::int32_t Weight = 0;
};

struct BankPicture {
    std::string Name;  // as the bank names it, for messages
    std::vector<std::uint8_t> Bytes;
};

struct BankQuestion {
    std::size_t Line = 0;
    std::string Name;      // the problem's TITLE
    std::string IdNumber;  // the problem's ID
    std::string Category;  // the last part of the category path: the problem's GROUP
    std::string Text;      // plain text, lines joined by "\n"
    std::uint8_t Mode = 0;
    std::vector<BankVariant> Variants;
    std::vector<BankPicture> Pictures;
};

class BankCollector {
public:
    std::vector<BankQuestion> Questions;
    std::vector<BankWarning> Warnings;
    std::vector<LeftOutKind> LeftOut;
    std::string FirstCategory;          // the last part of the first category path met
    std::size_t DroppedExtras = 0;      // feedback, penalties and hints
    std::size_t DroppedExtrasLine = 0;  // where the first of them stood
    bool Failed = false;                // the input could not be read at all

    // The same warning twice for the same line is given once.
    void Warn(std::size_t line, std::string code, std::string text) {
        if (!Warnings.empty() && Warnings.back().Line == line && Warnings.back().Text == text) {
            return;
        }
        Warnings.push_back({line, std::move(code), std::move(text), false});
    }
    void Fail(std::size_t line, std::string text) {
        Warnings.push_back({line, "unreadable", std::move(text), true});
        Failed = true;
    }
    // One question of the given kind is left out; why says so in Russian.
    void LeaveOut(std::size_t line, const std::string& kind, const std::string& why) {
        Warn(line, "left-out", "вопрос пропущен: " + why);
        for (LeftOutKind& known : LeftOut) {
            if (known.Kind == kind) {
                ++known.Count;
                return;
            }
        }
        LeftOut.push_back({kind, 1});
    }
    void DropExtras(std::size_t line, std::size_t count = 1) {
        if (count > 0 && DroppedExtras == 0) {
            DroppedExtrasLine = line;
        }
        DroppedExtras += count;
    }
    void SeeCategory(const std::string& lastPart) {
        if (FirstCategory.empty()) {
            FirstCategory = lastPart;
        }
    }
};

// The last part of a category path ("$course$/top/Алгебра" gives "Алгебра"; "//" stands for
// a "/" inside a name). The root alone ("top", "$course$/top") gives the empty text.
std::string CategoryLastPart(std::string_view path);

// A weight given in percent, possibly with a fraction, rounded to a whole percent; warns when
// that changed it.
std::int32_t RoundedWeight(double percent, std::size_t line, BankCollector& bank);
