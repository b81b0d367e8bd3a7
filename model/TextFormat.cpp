// The text test format: the test, problem, answer and group readers.
//
// Each reader keeps its current line S and walks the blocks in their fixed order. A loop that
// stops at the next section line breaks the reader off (false) when S is empty there, which
// happens at the end of the text.

#include <exception>

#include "model/TextKeywords.h"
#include "model/UTypes.h"
#include "platform/Numbers.h"
#include "platform/TextUtils.h"

namespace {

bool IsSection(std::string_view line) {
    return line.front() == SectionSign;
}

// The value of a numeric parameter line. The line's value becomes the reader's current line,
// unless it is empty: an empty value then takes the default and reading goes on.
std::string_view TakeNumberValue(std::string_view& line) {
    const std::string_view value = ValueAfterEquals(line);
    if (!value.empty()) {
        line = value;
    }
    return value;
}

// One line of the test's PARAMS block; the first keyword that matches applies.
void ApplyTestParam(TTezra& tezra, std::string_view& line) {
    static constexpr std::string_view kMarks[] = {"MARK5", "MARK4", "MARK3", "MARK2"};
    if (IsKeyword(line, "ID")) {
        tezra.Id = ValueAfterEquals(line);
    } else if (IsKeyword(line, "TITLE")) {
        tezra.Title = ValueAfterEquals(line);
    } else if (IsKeyword(line, "SHUFFLE")) {
        tezra.SetShuffleFlags(StrToIntDef(TakeNumberValue(line), 0));
    } else if (IsKeyword(line, "DEFER")) {
        tezra.DeferLimit = StrToIntDef(TakeNumberValue(line), 0);
    } else {
        for (int i = 0; i < 4; ++i) {
            if (IsKeyword(line, kMarks[i])) {
                tezra.MarkThresholds[5 - i] = StrToFloatDef(TakeNumberValue(line), 0.0f);
                break;
            }
        }
    }
}

// One line of a problem's PARAMS block; the first keyword that matches applies.
void ApplyProblemParam(TProblem& problem, std::string_view& line) {
    if (IsKeyword(line, "ID")) {
        problem.Id = ValueAfterEquals(line);
    } else if (IsKeyword(line, "TITLE")) {
        problem.Title = ValueAfterEquals(line);
    } else if (IsKeyword(line, "CATEGORY")) {
        problem.Category = ValueAfterEquals(line);
    } else if (IsKeyword(line, "DIFFICULTY")) {
        problem.Difficulty = StrToIntDef(TakeNumberValue(line), 0);
    } else if (IsKeyword(line, "GROUP")) {
        problem.Group = ValueAfterEquals(line);
    } else if (IsKeyword(line, "RATE")) {
        problem.Rate = StrToFloatDef(TakeNumberValue(line), 1.0f);
    }
}

// One variant line "[weight] text" of an answer block.
TVariant ParseVariant(std::string_view line) {
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return {std::string(TrimView(line)), 0};
    }
    return {std::string(TrimView(line.substr(close + 1))),
            StrToIntDef(line.substr(1, close - 1), 0)};
}

}  // namespace

bool TTezra::LoadFromText(TTextReader& reader) {
    try {
        return ReadText(reader);
    } catch (const std::exception&) {
        return false;
    }
}

bool TTezra::ReadText(TTextReader& reader) {
    std::string_view s = ReadNextLine(reader);
    if (!IsKeyword(s, SectionTezra)) {
        return false;
    }
    s = ReadNextLine(reader);
    if (IsKeyword(s, SectionParams)) {
        do {
            s = ReadNextLine(reader);
            ApplyTestParam(*this, s);
            if (s.empty()) {
                return false;
            }
        } while (!IsSection(s) && !reader.Eof());
    }
    if (IsKeyword(s, SectionEndParams)) {
        do {
            s = ReadNextLine(reader);
            if (s.empty()) {
                return false;
            }
        } while (!IsSection(s) && !reader.Eof());
    }
    if (IsKeyword(s, SectionGroups)) {
        Groups.clear();
        do {
            s = ReadNextLine(reader);
            if (IsKeyword(s, SectionEndGroups)) {
                break;
            }
            auto group = std::make_unique<TGroupInfo>();
            group->LoadFromLine(s);
            Groups.push_back({group->Name, std::move(group)});
            if (s.empty()) {
                return false;
            }
        } while (!IsSection(s) && !reader.Eof());
    }
    // The line on which the blocks above stopped may itself be the PROBLEMS line.
    while (!IsKeyword(s, SectionProblems) && !reader.Eof()) {
        s = ReadNextLine(reader);
    }
    if (IsKeyword(s, SectionProblems)) {
        Problems.clear();
        do {
            s = ReadNextLine(reader);
            if (IsKeyword(s, SectionProblem)) {
                auto problem = std::make_unique<TProblem>();
                problem->LoadFromText(reader);
                Problems.push_back(std::move(problem));
            }
            if (IsKeyword(s, SectionEndProblems)) {
                break;
            }
        } while (!reader.Eof());
    }
    while (!IsKeyword(s, SectionEndTezra) && !reader.Eof()) {
        s = ReadNextLine(reader);
    }
    return true;
}

bool TProblem::LoadFromText(TTextReader& reader) {
    std::string_view s = ReadNextLine(reader);
    if (IsKeyword(s, SectionParams)) {
        do {
            s = ReadNextLine(reader);
            ApplyProblemParam(*this, s);
            if (s.empty()) {
                return false;
            }
        } while (!IsSection(s));
    }
    if (IsKeyword(s, SectionEndParams)) {
        do {
            s = ReadNextLine(reader);
            if (s.empty()) {
                return false;
            }
        } while (!IsSection(s));
    }
    if (IsKeyword(s, SectionCondition)) {
        // Condition lines are taken as written: untrimmed, blank and ";" lines included.
        Condition.clear();
        for (;;) {
            const std::string_view line = reader.ReadLine();
            if (IsKeyword(TrimView(line), SectionEndCondition)) {
                s = ReadNextLine(reader);
                break;
            }
            Condition.emplace_back(line);
            if (reader.Eof()) {
                s = line;
                break;
            }
        }
    }
    if (IsKeyword(s, SectionPicture)) {
        do {
            s = ReadNextLine(reader);
            if (IsKeyword(s, "FILE")) {
                PictureFile = ValueAfterEquals(s);
            } else if (IsKeyword(s, "DATA")) {
                Picture = DecodePictureLetters(ValueAfterEquals(s));
            }
            if (s.empty()) {
                return false;
            }
        } while (!IsSection(s));
    }
    if (IsKeyword(s, SectionAnswer)) {
        Answers.LoadFromText(reader);
    }
    while (!IsKeyword(s, SectionEndProblem) && !reader.Eof()) {
        s = ReadNextLine(reader);
    }
    return true;
}

bool TAnswers::LoadFromText(TTextReader& reader) {
    std::string_view s = ReadNextLine(reader);
    if (IsKeyword(s, "MODE")) {
        Mode = ParseAnswerMode(ValueAfterEquals(s), ModeRadio);
    }
    s = ReadNextLine(reader);
    if (IsKeyword(s, SectionVariants)) {
        Variants.clear();
        do {
            s = ReadNextLine(reader);
            if (s.size() > 2 && s.front() == '[') {
                Variants.push_back(ParseVariant(s));
            }
        } while (!s.empty() && s.front() == '[');
    }
    while (!IsKeyword(s, SectionEndAnswer) && !reader.Eof()) {
        s = ReadNextLine(reader);
    }
    return true;
}

bool TGroupInfo::LoadFromLine(std::string_view line) {
    // name >> quota, rate; without ">>" the name is empty and only the first character goes.
    std::string_view rest = TrimView(line);
    const std::size_t arrows = rest.find(">>");
    if (arrows == std::string_view::npos) {
        Name.clear();
        rest.remove_prefix(rest.empty() ? 0 : 1);
    } else {
        Name = TrimView(rest.substr(0, arrows));
        rest.remove_prefix(arrows + 2);
    }
    rest = TrimView(rest);
    const std::size_t comma = rest.find(',');
    if (comma == std::string_view::npos) {
        Quota = 0;
        Rate = StrToFloatDef(TrimView(rest), 1.0f);
    } else {
        Quota = StrToIntDef(TrimView(rest.substr(0, comma)), 0);
        Rate = StrToFloatDef(TrimView(rest.substr(comma + 1)), 1.0f);
    }
    return true;
}

bool LoadTestFromText(TTezra& tezra, std::string_view text) {
    try {
        TTextReader reader(text);
        return tezra.LoadFromText(reader);
    } catch (const std::exception&) {
        return false;
    }
}
