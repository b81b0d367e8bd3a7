// SPDX-License-Identifier: GPL-3.0-or-later
// Aiken: a question's text, its options "A) text" or "A. text", then "ANSWER: letter".

#include <cctype>

#include "interchange/Readers.h"
#include "interchange/TextCodec.h"
#include "model/UTypes.h"

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The letter of an option line ("B) text", "B. text"), or 0.
char OptionLetter(std::string_view line) {
    if (line.size() >= 2 && line[0] >= 'A' && line[0] <= 'Z' &&
        (line[1] == ')' || line[1] == '.') &&
        (line.size() == 2 || line[2] == ' ' || line[2] == '\t')) {
        return line[0];
    }
    return 0;
}

bool IsAnswerLine(std::string_view line) {
    if (line.size() < 7) {
        return false;
    }
    std::string head(line.substr(0, 7));
    for (char& c : head) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return head == "ANSWER:";
}

struct Pending {
    BankQuestion Question;
    std::vector<char> Letters;
    bool Open = false;
};

void Abandon(Pending& p, BankCollector& bank) {
    if (p.Open) {
        bank.LeaveOut(p.Question.Line, "без ANSWER", "у вопроса нет строки ANSWER:");
    }
    p = Pending();
}

void Finish(Pending& p, std::string_view answer, std::size_t line, BankCollector& bank) {
    const std::string_view letter = Trim(answer.substr(7));
    int chosen = -1;
    for (std::size_t i = 0; i < p.Letters.size(); ++i) {
        if (letter.size() == 1 && p.Letters[i] == letter[0]) {
            chosen = static_cast<int>(i);
        }
    }
    if (!p.Open || p.Letters.empty()) {
        bank.LeaveOut(line, "повреждённый", "строка ANSWER: без вопроса и вариантов");
    } else if (chosen < 0) {
        bank.LeaveOut(p.Question.Line, "повреждённый",
                      "ответ «" + std::string(letter) + "» не назван среди вариантов");
    } else {
        p.Question.Mode = ModeRadio;
        p.Question.Variants[static_cast<std::size_t>(chosen)].Weight = 100;
        bank.Questions.push_back(std::move(p.Question));
    }
    p = Pending();
}

}  // namespace

void ReadAiken(std::string_view bytes, BankCollector& bank) {
    bool wasCp1251 = false;
    const std::string text = InputToUtf8(bytes, wasCp1251);
    if (wasCp1251) {
        bank.Warn(0, "cp1251-input", "файл не в UTF-8; прочитан как cp1251");
    }
    Pending p;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        ++lineNumber;
        const std::string_view line = Trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        if (IsAnswerLine(line)) {
            Finish(p, line, lineNumber, bank);
            continue;
        }
        const char letter = p.Open ? OptionLetter(line) : 0;
        if (letter != 0) {
            p.Letters.push_back(letter);
            p.Question.Variants.push_back({std::string(Trim(line.substr(2))), 0});
            continue;
        }
        if (p.Open && !p.Letters.empty()) {
            Abandon(p, bank);
        }
        if (!p.Open) {
            p.Open = true;
            p.Question.Line = lineNumber;
            p.Question.Text = std::string(line);
        } else {
            p.Question.Text += "\n" + std::string(line);
        }
    }
    Abandon(p, bank);
}
