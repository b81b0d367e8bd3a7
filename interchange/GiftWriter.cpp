// SPDX-License-Identifier: GPL-3.0-or-later
// A station test as GIFT: one question per problem, a $CATEGORY: line where the group changes,
// every special character escaped so that the text reads back as it was.

#include <cmath>

#include "interchange/Writers.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"

namespace {

std::string Escaped(std::string_view cp1251) {
    std::string out;
    for (char c : Cp1251ToUtf8(cp1251)) {
        if (c == '\n' || c == '\r') {
            out += "\\n";
            continue;
        }
        if (std::string_view("~=#{}:\\").find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += (i == 0 ? "" : "\n") + lines[i];
    }
    return out;
}

// One answer: its sign, its weight when it differs from what the sign means, its text.
std::string Answer(char sign, std::int32_t weight, std::string_view text) {
    const std::int32_t implied = sign == '=' ? 100 : 0;
    const std::string escaped = Escaped(text);
    std::string out(1, sign);
    if (weight != implied || escaped.starts_with('%')) {
        out += "%" + std::to_string(weight) + "%";
    }
    return out + escaped;
}

struct GiftWriter {
    std::vector<BankWarning>& Warnings;
    std::string Out;
    int Pictures = 0;

    void Warn(std::size_t number, const std::string& text) {
        Warnings.push_back(
            {0, "export-changed", "задача " + std::to_string(number) + ": " + text, false});
    }

    std::string Answers(const TAnswers& answers, std::size_t number) {
        std::string out;
        int positive = 0;
        for (const TVariant& v : answers.Variants) {
            positive += v.Weight > 0 ? 1 : 0;
        }
        std::uint8_t mode = answers.Mode;
        if (mode > ModeInput) {
            Warn(number, "режим ответа " + std::to_string(mode) + " записан как RADIO");
            mode = ModeRadio;
        }
        bool rightWritten = false;
        for (const TVariant& v : answers.Variants) {
            char sign = '~';
            if (mode == ModeInput) {
                sign = '=';
            } else if (mode == ModeRadio && v.Weight > 0 && !rightWritten) {
                sign = '=';
                rightWritten = true;
            }
            out += "\t" + Answer(sign, v.Weight, v.Text) + "\n";
        }
        if (mode == ModeRadio && answers.Variants.size() == 1 && positive == 1) {
            Warn(number, "единственный верный вариант GIFT прочтёт как ответ с вводом");
        }
        if (mode == ModeCombo && positive < 2) {
            Warn(number, "COMBO с одним верным вариантом GIFT прочтёт как выбор одного ответа");
        }
        return out;
    }

    void Problem(const TProblem& problem, std::size_t number) {
        if (problem.Answers.Variants.empty()) {
            Warn(number, "нет вариантов ответа; в GIFT это эссе, задача не записана");
            return;
        }
        if (!problem.Picture.empty() || !problem.PictureFile.empty()) {
            ++Pictures;
        }
        if (!problem.Id.empty()) {
            Out += "// ID: " + Cp1251ToUtf8(problem.Id) + "\n";
        }
        if (!problem.Title.empty()) {
            Out += "::" + Escaped(problem.Title) + "::";
        }
        Out += "[moodle]" + Escaped(Joined(problem.Condition)) + " {\n";
        Out += Answers(problem.Answers, number);
        Out += "}\n\n";
    }
};

std::string CategoryLine(std::string_view group) {
    std::string path;
    for (char c : Cp1251ToUtf8(group)) {
        path += c == '/' ? "//" : std::string(1, c);
    }
    return "$CATEGORY: $course$/top" + (group.empty() ? "" : "/" + path) + "\n\n";
}

}  // namespace

std::string WriteGift(const TTezra& tezra, std::vector<BankWarning>& warnings) {
    GiftWriter w{warnings, {}, 0};
    w.Out = "// " + Cp1251ToUtf8(tezra.Title.empty() ? tezra.Id : tezra.Title) + "\n";
    w.Out +=
        "// Группы, квоты, SHUFFLE, DEFER и пороги оценок теста станции в GIFT не "
        "переносятся.\n\n";
    warnings.push_back({0, "export-params",
                        "квоты групп, SHUFFLE, DEFER и пороги оценок в GIFT не переносятся",
                        false});
    std::string group;
    for (std::size_t i = 0; i < tezra.Problems.size(); ++i) {
        const TProblem& problem = *tezra.Problems[i];
        if (problem.Group != group || (i == 0 && !group.empty())) {
            group = problem.Group;
            w.Out += CategoryLine(group);
        }
        w.Problem(problem, i + 1);
    }
    if (w.Pictures > 0) {
        warnings.push_back(
            {0, "export-pictures",
             "рисунки в GIFT не переносятся: задач с рисунком " + std::to_string(w.Pictures),
             false});
    }
    return w.Out;
}
