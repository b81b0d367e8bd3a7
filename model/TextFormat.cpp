// SPDX-License-Identifier: GPL-3.0-or-later
// The text test format: the test, problem, answer and group readers.
//
// Each reader keeps its current line S and walks the blocks in their fixed order. A loop that
// stops at the next section line breaks the reader off (false) when S is empty there, which
// happens at the end of the text.
//
// When the text reader has a sink, the readers tell it where each part of the test stands and
// which lines they pass over; "open" marks a current line that no reader has taken or told
// about yet. Nothing they read depends on the sink.

#include <exception>

#include "model/TextKeywords.h"
#include "model/UTypes.h"
#include "platform/Numbers.h"
#include "platform/TextUtils.h"

namespace {

bool IsSection(std::string_view line) {
    return line.front() == SectionSign;
}

bool Listening(const TTextReader& reader) {
    return reader.Sink() != nullptr;
}

// Tells the reader's sink, when it has one, about the line read last.
void Note(const TTextReader& reader, TReadNote note, TReadBlock block, std::string_view line,
          TestField field = TestField::None, std::string_view value = {}) {
    if (TReadSink* sink = reader.Sink()) {
        sink->Note(
            {note, block, reader.LineNumber(), line, KeywordOf(field).Name, value, 0, field});
    }
}

// Tells about a meaningful line that the reader of block passes over.
void NotePassedOver(const TTextReader& reader, TReadBlock block, std::string_view line) {
    if (!line.empty()) {
        Note(reader, TReadNote::LinePassedOver, block, line);
    }
}

// Where a number of the line read last stands, for the notes about its default.
struct TNumberSource {
    const TTextReader* Reader;  // none: nobody is told
    TReadBlock Block;
    std::string_view Line;
    TestField Field;
};

void NoteDefault(const TNumberSource& source, std::string_view text) {
    if (source.Reader != nullptr) {
        Note(*source.Reader, TReadNote::DefaultTaken, source.Block, source.Line, source.Field,
             text);
    }
}

std::int32_t IntOrDefault(const TNumberSource& source, std::string_view text) {
    if (const std::optional<std::int32_t> value = ParseInt(text)) {
        return *value;
    }
    NoteDefault(source, text);
    return static_cast<std::int32_t>(KeywordOf(source.Field).Default);
}

float FloatOrDefault(const TNumberSource& source, std::string_view text) {
    if (const std::optional<double> value = ParseFloat(text)) {
        return static_cast<float>(*value);
    }
    NoteDefault(source, text);
    return KeywordOf(source.Field).Default;
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

// A line of a PARAMS block that matched no keyword: told about unless it ends the block.
void NoteUnknownParam(const TTextReader& reader, TReadBlock block, std::string_view line) {
    if (!line.empty() && !IsSection(line)) {
        Note(reader, TReadNote::UnknownParam, block, line);
    }
}

// The first keyword of the table that the line starts with, or none.
template <std::size_t N>
const ParamKeyword* MatchKeyword(const std::array<ParamKeyword, N>& table, std::string_view line) {
    for (const ParamKeyword& keyword : table) {
        if (IsKeyword(line, keyword.Name)) {
            return &keyword;
        }
    }
    return nullptr;
}

// One line of the test's PARAMS block; the first keyword that matches applies.
void ApplyTestParam(TTezra& tezra, const TTextReader& reader, std::string_view& line) {
    const std::string_view original = line;
    const ParamKeyword* keyword = MatchKeyword(TestParamKeywords, original);
    if (keyword == nullptr) {
        NoteUnknownParam(reader, TReadBlock::TestParams, original);
        return;
    }
    const TNumberSource number{&reader, TReadBlock::TestParams, original, keyword->Field};
    switch (keyword->Field) {
        case TestField::Id:
            tezra.Id = ValueAfterEquals(line);
            break;
        case TestField::Title:
            tezra.Title = ValueAfterEquals(line);
            break;
        case TestField::Shuffle:
            tezra.SetShuffleFlags(IntOrDefault(number, TakeNumberValue(line)));
            break;
        case TestField::Defer:
            tezra.DeferLimit = IntOrDefault(number, TakeNumberValue(line));
            break;
        default: {  // MARK5 to MARK2
            const int mark = static_cast<int>(keyword->Field) - static_cast<int>(MarkField(1)) + 1;
            tezra.MarkThresholds[mark] = FloatOrDefault(number, TakeNumberValue(line));
            break;
        }
    }
    Note(reader, TReadNote::TestParam, TReadBlock::TestParams, original, keyword->Field);
}

// One line of a problem's PARAMS block; the first keyword that matches applies.
void ApplyProblemParam(TProblem& problem, const TTextReader& reader, std::string_view& line) {
    const std::string_view original = line;
    const ParamKeyword* keyword = MatchKeyword(ProblemParamKeywords, original);
    if (keyword == nullptr) {
        NoteUnknownParam(reader, TReadBlock::ProblemParams, original);
        return;
    }
    const TNumberSource number{&reader, TReadBlock::ProblemParams, original, keyword->Field};
    switch (keyword->Field) {
        case TestField::Id:
            problem.Id = ValueAfterEquals(line);
            break;
        case TestField::Title:
            problem.Title = ValueAfterEquals(line);
            break;
        case TestField::Category:
            problem.Category = ValueAfterEquals(line);
            break;
        case TestField::Difficulty:
            problem.Difficulty = IntOrDefault(number, TakeNumberValue(line));
            break;
        case TestField::Group:
            problem.Group = ValueAfterEquals(line);
            break;
        default:  // RATE
            problem.Rate = FloatOrDefault(number, TakeNumberValue(line));
            break;
    }
    Note(reader, TReadNote::ProblemParam, TReadBlock::ProblemParams, original, keyword->Field);
}

// One line of a PICTURE block: a FILE or DATA line, or one told about as unknown.
void ApplyPictureLine(TProblem& problem, const TTextReader& reader, std::string_view line) {
    const ParamKeyword* keyword = MatchKeyword(PictureKeywords, line);
    if (keyword == nullptr) {
        NoteUnknownParam(reader, TReadBlock::Picture, line);
        return;
    }
    if (keyword->Field == TestField::File) {
        problem.PictureFile = ValueAfterEquals(line);
    } else {
        problem.Picture = DecodePictureLetters(ValueAfterEquals(line));
    }
    Note(reader, TReadNote::PictureParam, TReadBlock::Picture, line, keyword->Field);
}

// One variant line "[weight] text" of an answer block.
TVariant ParseVariant(const TTextReader& reader, std::string_view line) {
    const TNumberSource number{&reader, TReadBlock::Variants, line, TestField::VariantWeight};
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        NoteDefault(number, line);
        return {std::string(TrimView(line)), 0};
    }
    return {std::string(TrimView(line.substr(close + 1))),
            IntOrDefault(number, line.substr(1, close - 1))};
}

// Tells about the meaningful lines after the end of the test, which nothing reads.
void NoteLinesAfterEnd(TTextReader& reader) {
    while (!reader.Eof()) {
        const std::string_view line = ReadNextLine(reader);
        if (!line.empty() && line.front() != ';') {
            Note(reader, TReadNote::DataAfterEnd, TReadBlock::Test, line);
            return;
        }
    }
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
        Note(reader, TReadNote::NotATest, TReadBlock::Test, s);
        return false;
    }
    Note(reader, TReadNote::TestStart, TReadBlock::Test, s);
    s = ReadNextLine(reader);
    bool open = true;
    if (IsKeyword(s, SectionParams)) {
        do {
            s = ReadNextLine(reader);
            ApplyTestParam(*this, reader, s);
            if (s.empty()) {
                Note(reader, TReadNote::DataEnds, TReadBlock::TestParams, s);
                return false;
            }
        } while (!IsSection(s) && !reader.Eof());
        open = IsSection(s);
        if (!open) {
            Note(reader, TReadNote::DataEnds, TReadBlock::TestParams, s);
        }
    }
    if (IsKeyword(s, SectionEndParams)) {
        do {
            s = ReadNextLine(reader);
            if (s.empty()) {
                Note(reader, TReadNote::DataEnds, TReadBlock::Test, s);
                return false;
            }
            if (!IsSection(s)) {
                NotePassedOver(reader, TReadBlock::Test, s);
            }
        } while (!IsSection(s) && !reader.Eof());
        open = IsSection(s);
    }
    if (IsKeyword(s, SectionGroups)) {
        Groups.clear();
        do {
            s = ReadNextLine(reader);
            if (IsKeyword(s, SectionEndGroups)) {
                break;
            }
            auto group = std::make_unique<TGroupInfo>();
            group->LoadFromLine(s, &reader);
            Note(reader, TReadNote::GroupRead, TReadBlock::Groups, s);
            Groups.push_back({group->Name, std::move(group)});
            if (s.empty()) {
                Note(reader, TReadNote::DataEnds, TReadBlock::Groups, s);
                return false;
            }
            if (IsSection(s)) {
                Note(reader, TReadNote::GroupsNotClosed, TReadBlock::Groups, s);
            }
        } while (!IsSection(s) && !reader.Eof());
        if (Listening(reader) && !IsKeyword(s, SectionEndGroups) && !IsSection(s)) {
            Note(reader, TReadNote::DataEnds, TReadBlock::Groups, s);
        }
        open = false;
    }
    // The line on which the blocks above stopped may itself be the PROBLEMS line.
    // A test without problems ends at its END TEZRA line, which is no line passed over.
    if (Listening(reader) && open && !IsKeyword(s, SectionProblems) &&
        !IsKeyword(s, SectionEndTezra)) {
        NotePassedOver(reader, TReadBlock::Test, s);
    }
    while (!IsKeyword(s, SectionProblems) && !reader.Eof()) {
        s = ReadNextLine(reader);
        if (Listening(reader) && !IsKeyword(s, SectionProblems) &&
            !IsKeyword(s, SectionEndTezra)) {
            NotePassedOver(reader, TReadBlock::Test, s);
        }
    }
    if (IsKeyword(s, SectionProblems)) {
        Problems.clear();
        do {
            s = ReadNextLine(reader);
            if (IsKeyword(s, SectionProblem)) {
                Note(reader, TReadNote::ProblemStart, TReadBlock::Problems, s);
                auto problem = std::make_unique<TProblem>();
                problem->LoadFromText(reader);
                Problems.push_back(std::move(problem));
            } else if (IsKeyword(s, SectionEndProblems)) {
                break;
            } else {
                NotePassedOver(reader, TReadBlock::Problems, s);
            }
        } while (!reader.Eof());
        if (Listening(reader) && !IsKeyword(s, SectionEndProblems)) {
            Note(reader, TReadNote::DataEnds, TReadBlock::Problems, s);
        }
    }
    while (!IsKeyword(s, SectionEndTezra) && !reader.Eof()) {
        s = ReadNextLine(reader);
        if (Listening(reader) && !IsKeyword(s, SectionEndTezra)) {
            NotePassedOver(reader, TReadBlock::Test, s);
        }
    }
    if (Listening(reader)) {
        if (!IsKeyword(s, SectionEndTezra)) {
            Note(reader, TReadNote::DataEnds, TReadBlock::Test, s);
        } else {
            NoteLinesAfterEnd(reader);
        }
    }
    return true;
}

bool TProblem::LoadFromText(TTextReader& reader) {
    std::string_view s = ReadNextLine(reader);
    bool open = true;
    if (IsKeyword(s, SectionParams)) {
        do {
            s = ReadNextLine(reader);
            ApplyProblemParam(*this, reader, s);
            if (s.empty()) {
                Note(reader, TReadNote::DataEnds, TReadBlock::ProblemParams, s);
                return false;
            }
        } while (!IsSection(s));
    }
    if (IsKeyword(s, SectionEndParams)) {
        do {
            s = ReadNextLine(reader);
            if (s.empty()) {
                Note(reader, TReadNote::DataEnds, TReadBlock::Problem, s);
                return false;
            }
            if (!IsSection(s)) {
                NotePassedOver(reader, TReadBlock::Problem, s);
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
                Note(reader, TReadNote::DataEnds, TReadBlock::Condition, TrimView(line));
                open = false;
                break;
            }
        }
    }
    if (IsKeyword(s, SectionPicture)) {
        do {
            s = ReadNextLine(reader);
            ApplyPictureLine(*this, reader, s);
            if (s.empty()) {
                Note(reader, TReadNote::DataEnds, TReadBlock::Picture, s);
                return false;
            }
        } while (!IsSection(s));
        if (Listening(reader) && !IsKeyword(s, SectionAnswer)) {
            Note(reader, TReadNote::PictureNotClosed, TReadBlock::Picture, s);
            open = false;
        }
    }
    if (IsKeyword(s, SectionAnswer)) {
        Note(reader, TReadNote::AnswerStart, TReadBlock::Answer, s);
        Answers.LoadFromText(reader);
        open = false;
    }
    if (Listening(reader) && open && !IsKeyword(s, SectionEndProblem)) {
        NotePassedOver(reader, TReadBlock::Problem, s);
    }
    while (!IsKeyword(s, SectionEndProblem) && !reader.Eof()) {
        s = ReadNextLine(reader);
        if (Listening(reader) && !IsKeyword(s, SectionEndProblem)) {
            NotePassedOver(reader, TReadBlock::Problem, s);
        }
    }
    if (Listening(reader)) {
        Note(reader, IsKeyword(s, SectionEndProblem) ? TReadNote::ProblemEnd : TReadNote::DataEnds,
             TReadBlock::Problem, s);
    }
    return true;
}

bool TAnswers::LoadFromText(TTextReader& reader) {
    std::string_view s = ReadNextLine(reader);
    if (IsKeyword(s, KeywordOf(TestField::Mode).Name)) {
        const std::string_view value = ValueAfterEquals(s);
        Mode = ParseAnswerMode(value, ModeRadio);
        Note(reader, TReadNote::ModeRead, TReadBlock::Answer, s, TestField::Mode, value);
    } else if (!s.empty()) {
        Note(reader, TReadNote::NoModeLine, TReadBlock::Answer, s);
    }
    s = ReadNextLine(reader);
    if (IsKeyword(s, SectionVariants)) {
        Note(reader, TReadNote::VariantsStart, TReadBlock::Answer, s);
        Variants.clear();
        do {
            s = ReadNextLine(reader);
            if (s.size() > 2 && s.front() == '[') {
                Variants.push_back(ParseVariant(reader, s));
                Note(reader, TReadNote::VariantRead, TReadBlock::Variants, s);
            } else if (!s.empty() && s.front() == '[') {
                NotePassedOver(reader, TReadBlock::Variants, s);
            }
        } while (!s.empty() && s.front() == '[');
    }
    if (Listening(reader) && !IsKeyword(s, SectionEndAnswer)) {
        NotePassedOver(reader, TReadBlock::Answer, s);
    }
    while (!IsKeyword(s, SectionEndAnswer) && !reader.Eof()) {
        s = ReadNextLine(reader);
        if (Listening(reader) && !IsKeyword(s, SectionEndAnswer)) {
            NotePassedOver(reader, TReadBlock::Answer, s);
        }
    }
    if (Listening(reader) && !IsKeyword(s, SectionEndAnswer)) {
        Note(reader, TReadNote::DataEnds, TReadBlock::Answer, s);
    }
    return true;
}

// name >> quota, rate; without ">>" the name is empty and only the first character goes.
bool TGroupInfo::LoadFromLine(std::string_view line, const TTextReader* reader) {
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
    const std::string_view rate =
        TrimView(comma == std::string_view::npos ? rest : rest.substr(comma + 1));
    if (comma == std::string_view::npos) {
        Quota = static_cast<std::int32_t>(KeywordOf(TestField::GroupQuota).Default);
    } else {
        Quota = IntOrDefault({reader, TReadBlock::Groups, line, TestField::GroupQuota},
                             TrimView(rest.substr(0, comma)));
    }
    Rate = FloatOrDefault({reader, TReadBlock::Groups, line, TestField::GroupRate}, rate);
    return true;
}

bool LoadTestFromText(TTezra& tezra, std::string_view text, TReadSink* sink) {
    try {
        TTextReader reader(text, sink);
        return tezra.LoadFromText(reader);
    } catch (const std::exception&) {
        return false;
    }
}
