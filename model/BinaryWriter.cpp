// SPDX-License-Identifier: GPL-3.0-or-later
// The binary form of a test: the records the binary reader expects, plain or scrambled.

#include <limits>

#include "model/TestWriters.h"
#include "platform/Cp1251.h"

namespace {

class TBinaryWriter {
public:
    explicit TBinaryWriter(std::vector<std::string>& warnings) : Warnings(warnings) {}

    TMemoryStream Out;
    std::string Where = "test";

    void Tag(const char (&tag)[5]) { Out.Write(tag, 4); }
    void Byte(std::uint8_t value) { Out.Write(&value, 1); }
    void Int32(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        const std::uint8_t bytes[4] = {
            static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
        Out.Write(bytes, 4);
    }
    void Float32(float value) { Int32(std::bit_cast<std::int32_t>(value)); }
    void String(std::string_view text) {
        if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            Warn("a text longer than 2 GiB is cut");
            text = text.substr(0, std::numeric_limits<std::int32_t>::max());
        }
        Int32(static_cast<std::int32_t>(text.size()));
        Out.Write(text.data(), text.size());
    }
    void Warn(const std::string& message) { Warnings.push_back(Where + ": " + message); }

private:
    std::vector<std::string>& Warnings;
};

// The condition lines as one text, each line ended by CR LF, which the reader splits again.
std::string JoinCondition(TBinaryWriter& w, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            w.Warn("the condition line \"" + Cp1251ToUtf8(line) +
                   "\" holds a line break or a NUL byte, which split or end the condition");
        }
        text += line;
        text += "\r\n";
    }
    return text;
}

void WriteAnswers(TBinaryWriter& w, const TAnswers& answers) {
    w.Tag("ANSW");
    w.Byte(answers.Mode);
    w.Int32(static_cast<std::int32_t>(answers.Variants.size()));
    for (const TVariant& variant : answers.Variants) {
        w.Int32(variant.Weight);
        w.String(variant.Text);
    }
}

void WriteProblem(TBinaryWriter& w, const TProblem& problem) {
    w.Tag("PRBL");
    w.String(problem.Id);
    w.String(problem.Title);
    w.String(problem.Category);
    w.Int32(problem.Difficulty);
    w.String(problem.Group);
    w.Float32(problem.Rate);
    w.String(JoinCondition(w, problem.Condition));
    w.String(problem.PictureFile);
    w.Int32(static_cast<std::int32_t>(problem.Picture.size()));
    w.Out.Write(problem.Picture.data(), problem.Picture.size());
    WriteAnswers(w, problem.Answers);
}

}  // namespace

TMemoryStream SaveTestToBinary(const TTezra& tezra, bool scramble,
                               std::vector<std::string>& warnings) {
    TBinaryWriter w(warnings);
    w.Tag("TZRA");
    w.String(tezra.Id);
    w.String(tezra.Title);
    w.Int32(tezra.ShuffleFlags());
    w.Int32(tezra.DeferLimit);
    for (int mark = 1; mark <= 5; ++mark) {
        w.Float32(tezra.MarkThresholds[mark]);
    }
    w.Int32(static_cast<std::int32_t>(tezra.Groups.size()));
    for (const TGroupEntry& entry : tezra.Groups) {
        w.String(entry.Group->Name);
        w.Int32(entry.Group->Quota);
        w.Float32(entry.Group->Rate);
    }
    w.Int32(static_cast<std::int32_t>(tezra.Problems.size()));
    int number = 0;
    for (const auto& problem : tezra.Problems) {
        w.Where = "problem " + std::to_string(++number);
        WriteProblem(w, *problem);
    }
    if (scramble) {
        ScrambleStream(w.Out);
    }
    w.Out.Seek(0);
    return std::move(w.Out);
}

bool SaveTestFile(const TTezra& tezra, const std::filesystem::path& path, bool scramble,
                  std::vector<std::string>& warnings) {
    switch (TestFormatOf(path)) {
        case TTestFormat::Text: {
            if (scramble) {
                return false;
            }
            const std::string text = SaveTestToText(tezra, warnings);
            return TMemoryStream(text.data(), text.size()).SaveToFile(path);
        }
        case TTestFormat::Binary:
            return SaveTestToBinary(tezra, scramble, warnings).SaveToFile(path);
        case TTestFormat::Unknown:
            break;
    }
    return false;
}
