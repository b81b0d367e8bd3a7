// SPDX-License-Identifier: GPL-3.0-or-later
// The text form of a test: the layout the text reader expects, block by block.

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/TestWriters.h"
#include "model/TextKeywords.h"
#include "platform/Cp1251.h"

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::size_t FirstNonBlank(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return i;
}

// Collects the text and the warnings; where names the part of the test being written.
class TTextWriter {
public:
    explicit TTextWriter(std::vector<std::string>& warnings) : Warnings(warnings) {}

    std::string Out;
    std::string Where = "test";

    void Line(std::string_view text) {
        Out += text;
        Out += "\r\n";
    }
    void Warn(const std::string& message) { Warnings.push_back(Where + ": " + message); }

    // A value that the reader takes trimmed and on one line.
    std::string Value(std::string_view field, std::string_view value) {
        std::string out(value);
        if (out.find_first_of("\r\n") != std::string::npos) {
            Warn(std::string(field) + " holds a line break; written as blanks");
            std::erase(out, '\r');
            std::replace(out.begin(), out.end(), '\n', ' ');
        }
        if (!out.empty() && (IsBlank(out.front()) || IsBlank(out.back()))) {
            Warn(std::string(field) + " \"" + Cp1251ToUtf8(out) +
                 "\" loses the blanks at its ends");
        }
        return out;
    }
    void TextParam(TestField field, std::string_view value) {
        if (!value.empty()) {
            Line(Assignment(field) + Value(KeywordOf(field).Name, value));
        }
    }
    void IntParam(TestField field, std::int32_t value) {
        if (value != 0) {
            Line(Assignment(field) + std::to_string(value));
        }
    }
    // The start of a parameter line: its keyword and "=".
    static std::string Assignment(TestField field) {
        return std::string(KeywordOf(field).Name) + "=";
    }

private:
    std::vector<std::string>& Warnings;
};

// The shortest text that reads back to the same single-precision value; infinities as a value
// beyond the single range, which reads back as infinity.
std::string FloatText(float value) {
    if (std::isinf(value)) {
        return value > 0 ? "1e39" : "-1e39";
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool IsPositiveZero(float value) {
    return std::bit_cast<std::uint32_t>(value) == 0;
}

// A group name as it can stand in a GROUPS line: not holding ">>" and not read as a comment
// or a section line. Problems' GROUP values go through the same change so that they still
// name their group.
std::string WritableGroupName(std::string_view name) {
    std::string out(name);
    for (std::size_t at = out.find(">>"); at != std::string::npos; at = out.find(">>", at)) {
        out.insert(at + 1, 1, ' ');
    }
    const std::size_t first = FirstNonBlank(out);
    if (first < out.size() && (out[first] == ';' || out[first] == SectionSign)) {
        out.insert(first, 1, '_');
    }
    return out;
}

void WriteTestParams(TTextWriter& w, const TTezra& tezra) {
    w.Line(SectionParams);
    w.TextParam(TestField::Id, tezra.Id);
    w.TextParam(TestField::Title, tezra.Title);
    w.IntParam(TestField::Shuffle, tezra.ShuffleFlags());
    w.IntParam(TestField::Defer, tezra.DeferLimit);
    for (int mark = 5; mark >= 2; --mark) {
        float threshold = tezra.MarkThresholds[mark];
        if (std::isnan(threshold)) {
            w.Warn(std::string(KeywordOf(MarkField(mark)).Name) +
                   " is NaN; written as a value never reached");
            threshold = INFINITY;
        }
        if (!IsPositiveZero(threshold)) {
            w.Line(TTextWriter::Assignment(MarkField(mark)) + FloatText(threshold));
        }
    }
    if (!IsPositiveZero(tezra.MarkThresholds[1])) {
        w.Warn("the threshold of mark 1 has no line in a text test; left out");
    }
    w.Line(SectionEndParams);
}

void WriteGroups(TTextWriter& w, const TTezra& tezra) {
    w.Line(SectionGroups);
    int number = 0;
    for (const TGroupEntry& entry : tezra.Groups) {
        const TGroupInfo& group = *entry.Group;
        w.Where = "group " + std::to_string(++number);
        std::string name = w.Value("the name", group.Name);
        if (const std::string writable = WritableGroupName(name); writable != name) {
            w.Warn("the name \"" + Cp1251ToUtf8(name) + "\" cannot stand in a group line; " +
                   "written as \"" + Cp1251ToUtf8(writable) + "\"");
            name = writable;
        }
        float rate = group.Rate;
        if (std::isnan(rate)) {
            w.Warn("the rate is NaN; written as 0");
            rate = 0.0f;
        }
        w.Line(name + " >> " + std::to_string(group.Quota) + ", " + FloatText(rate));
    }
    w.Where = "test";
    w.Line(SectionEndGroups);
}

void WriteCondition(TTextWriter& w, const TProblem& problem) {
    w.Line(SectionCondition);
    for (const std::string& line : problem.Condition) {
        std::string out = line;
        if (out.find_first_of("\r\n") != std::string::npos) {
            w.Warn("a condition line holds a line break; written as blanks");
            std::erase(out, '\r');
            std::replace(out.begin(), out.end(), '\n', ' ');
        }
        const std::size_t first = FirstNonBlank(out);
        if (IsKeyword(std::string_view(out).substr(first), SectionEndCondition)) {
            w.Warn("the condition line \"" + Cp1251ToUtf8(line) +
                   "\" would end the condition; written without its section sign");
            while (IsKeyword(std::string_view(out).substr(first), SectionEndCondition)) {
                out.erase(first, 1);
            }
        }
        w.Line(out);
    }
    w.Line(SectionEndCondition);
}

void WritePicture(TTextWriter& w, const TProblem& problem) {
    if (problem.PictureFile.empty() && problem.Picture.empty()) {
        return;
    }
    w.Line(SectionPicture);
    w.TextParam(TestField::File, problem.PictureFile);
    if (!problem.Picture.empty()) {
        std::string data = TTextWriter::Assignment(TestField::Data);
        data.reserve(data.size() + 2 * problem.Picture.size());
        for (std::uint8_t byte : problem.Picture) {
            data += static_cast<char>('A' + (byte >> 4));
            data += static_cast<char>('A' + (byte & 15));
        }
        w.Line(data);
    }
}

void WriteAnswers(TTextWriter& w, const TAnswers& answers) {
    w.Line(SectionAnswer);
    if (answers.Mode > ModeInput) {
        w.Warn("answer mode " + std::to_string(answers.Mode) +
               " has no name in a text test; written as RADIO");
    }
    w.Line(TTextWriter::Assignment(TestField::Mode) +
           std::string(AnswerModeNames[answers.Mode > ModeInput ? ModeRadio : answers.Mode]));
    w.Line(SectionVariants);
    for (const TVariant& variant : answers.Variants) {
        std::string line(1, '[');
        line.append(std::to_string(variant.Weight)).append("] ");
        w.Line(line.append(w.Value("the variant text", variant.Text)));
    }
    w.Line(SectionEndAnswer);
}

void WriteProblem(TTextWriter& w, const TProblem& problem) {
    w.Line(SectionProblem);
    w.Line(SectionParams);
    w.TextParam(TestField::Id, problem.Id);
    w.TextParam(TestField::Title, problem.Title);
    w.TextParam(TestField::Category, problem.Category);
    w.IntParam(TestField::Difficulty, problem.Difficulty);
    const std::string group = WritableGroupName(problem.Group);
    if (group != problem.Group) {
        w.Warn("the group \"" + Cp1251ToUtf8(problem.Group) + "\" is written as \"" +
               Cp1251ToUtf8(group) + "\", as in the group line");
    }
    w.TextParam(TestField::Group, group);
    if (std::isnan(problem.Rate)) {
        w.Warn("the rate is NaN; left out (taken as 0)");
    } else if (!IsPositiveZero(problem.Rate)) {
        w.Line(TTextWriter::Assignment(TestField::Rate) + FloatText(problem.Rate));
    }
    w.Line(SectionEndParams);
    WriteCondition(w, problem);
    WritePicture(w, problem);
    WriteAnswers(w, problem.Answers);
    w.Line(SectionEndProblem);
}

}  // namespace

std::string SaveTestToText(const TTezra& tezra, std::vector<std::string>& warnings) {
    TTextWriter w(warnings);
    w.Line(SectionTezra);
    WriteTestParams(w, tezra);
    WriteGroups(w, tezra);
    w.Line(SectionProblems);
    int number = 0;
    for (const auto& problem : tezra.Problems) {
        w.Where = "problem " + std::to_string(++number);
        WriteProblem(w, *problem);
    }
    w.Where = "test";
    w.Line(SectionEndProblems);
    w.Line(SectionEndTezra);
    return std::move(w.Out);
}
