// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/ReadListener.h"

#include "model/TextKeywords.h"
#include "model/TextReader.h"
#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/TextUtils.h"
#include "tools/check/CheckText.h"

namespace {

constexpr std::uint8_t kNoMode = 255;

bool IsSectionLine(std::string_view line) {
    return !line.empty() && line.front() == SectionSign;
}

bool IsEndLine(std::string_view line) {
    return IsKeyword(line,
                     "\xA7"
                     "END");
}

bool IsProblemLine(std::string_view line) {
    return IsKeyword(line, SectionProblem) && !IsKeyword(line, SectionProblems);
}

// The blocks of a problem, which must come in this order.
bool IsProblemBlockLine(std::string_view line) {
    for (std::string_view block :
         {SectionParams, SectionCondition, SectionPicture, SectionAnswer}) {
        if (IsKeyword(line, block)) {
            return true;
        }
    }
    return false;
}

bool IsKnownSectionLine(std::string_view line) {
    for (std::string_view section :
         {SectionTezra, SectionParams, SectionGroups, SectionProblems, SectionCondition,
          SectionPicture, SectionAnswer, SectionVariants}) {
        if (IsKeyword(line, section)) {
            return true;
        }
    }
    return false;
}

// What a number that did not parse is for, and the default it takes.
struct TNumberUse {
    std::string Name;
    std::string Default;
    bool Float;
};

TNumberUse NumberUse(TestField field) {
    const ParamKeyword& keyword = KeywordOf(field);
    TNumberUse use{std::string(keyword.Name), FormatGeneral(keyword.Default),
                   keyword.Kind == ValueKind::Float};
    switch (field) {
        case TestField::GroupQuota:
            use.Name = "квота группы";
            break;
        case TestField::GroupRate:
            use.Name = "коэффициент группы";
            break;
        case TestField::VariantWeight:
            use.Name = "вес варианта";
            break;
        default:  // a parameter line: its keyword
            break;
    }
    return use;
}

// Why a text that is not a number might have been meant as one.
std::string NumberHint(std::string_view text, bool isFloat) {
    std::string comma(text);
    for (char& c : comma) {
        c = c == ',' ? '.' : c;
    }
    if (isFloat && comma != text && ParseFloat(comma)) {
        return " (десятичная запятая: пишите " + Cp1251ToUtf8(TrimView(comma)) + ")";
    }
    const std::string_view trimmed = TrimView(text);
    if (trimmed != text &&
        (isFloat ? ParseFloat(trimmed).has_value() : ParseInt(trimmed).has_value())) {
        return " (уберите пробелы вокруг числа)";
    }
    return {};
}

const char* BlockEndText(TReadBlock block, bool binary) {
    if (binary) {
        switch (block) {
            case TReadBlock::Groups:
                return "данные кончаются внутри записи группы";
            case TReadBlock::Problem:
                return "данные кончаются внутри записи задачи";
            case TReadBlock::Answer:
            case TReadBlock::Variants:
                return "данные кончаются внутри записи ответов";
            default:
                return "данные кончаются внутри заголовка теста";
        }
    }
    switch (block) {
        case TReadBlock::TestParams:
            return "файл кончается внутри блока §PARAMS теста";
        case TReadBlock::Groups:
            return "файл кончается внутри блока §GROUPS (нет строки §END GROUPS)";
        case TReadBlock::Problems:
            return "файл кончается внутри списка задач (нет строки §END PROBLEMS)";
        case TReadBlock::Problem:
            return "файл кончается внутри задачи (нет строки §END PROBLEM)";
        case TReadBlock::ProblemParams:
            return "файл кончается внутри блока §PARAMS задачи";
        case TReadBlock::Condition:
            return "файл кончается внутри условия (нет строки §END CONDITION): всё до конца "
                   "файла стало условием";
        case TReadBlock::Picture:
            return "файл кончается внутри блока §PICTURE";
        case TReadBlock::Answer:
        case TReadBlock::Variants:
            return "файл кончается внутри блока ответов (нет строки §END ANSWER)";
        case TReadBlock::Test:
            break;
    }
    return "нет строки §END TEZRA";
}

const char* ParamsBlockName(TReadBlock block) {
    switch (block) {
        case TReadBlock::TestParams:
            return "блока §PARAMS теста";
        case TReadBlock::ProblemParams:
            return "блока §PARAMS задачи";
        default:
            return "блока §PICTURE (в нём читаются FILE= и DATA=)";
    }
}

bool TakesText(TestField field) {
    const ValueKind kind = KeywordOf(field).Kind;
    return kind == ValueKind::Text || kind == ValueKind::Letters;
}

// What a count of the block counts, for the message about a count past the limits.
std::string RecordsName(TReadBlock block) {
    switch (block) {
        case TReadBlock::Groups:
            return "групп: ";
        case TReadBlock::Variants:
            return "вариантов ответа в задаче: ";
        default:
            return "задач: ";
    }
}

}  // namespace

void TReadListener::Note(const TReadEvent& event) {
    const bool passing = event.Note == TReadNote::LinePassedOver;
    // Only the last line of a text can be a comment that a reader still looks at.
    if ((passing || event.Note == TReadNote::UnknownParam) && !event.Line.empty() &&
        event.Line.front() == ';') {
        return;
    }
    if (!passing) {
        InRun = false;
    }
    switch (event.Note) {
        case TReadNote::LinePassedOver:
            PassedOver(event);
            break;
        case TReadNote::UnknownParam:
            Warning(event.Where, "unknown-keyword",
                    Quoted(event.Line) + " — неизвестная строка " + ParamsBlockName(event.Block) +
                        ": пропущена");
            break;
        case TReadNote::DefaultTaken:
            DefaultTaken(event);
            break;
        case TReadNote::NotATest:
            NotATest(event);
            break;
        case TReadNote::NoModeLine:
            MissingMode = event.Where;
            break;
        case TReadNote::PictureNotClosed:
            MarkBroken();
            Error(event.Where, "picture-not-closed",
                  "блок §PICTURE закрыт строкой " + Quoted(event.Line) +
                      ", а не §ANSWER: блок ответов задачи потерян");
            // The closing line is passed over like a block, with what follows it.
            StartRun(event);
            RunBlock = TReadBlock::Problem;
            RunHasBlock = true;
            break;
        case TReadNote::GroupsNotClosed:
            Error(event.Where, "groups-not-closed",
                  "блок §GROUPS не закрыт строкой §END GROUPS: строка " + Quoted(event.Line) +
                      " прочитана как группа без имени с квотой 0");
            break;
        case TReadNote::DataEnds:
            DataEnds(event);
            break;
        case TReadNote::BadTag:
            MarkBroken();
            Error(event.Where,
                  event.Block == TReadBlock::Problem ? "bad-problem-tag" : "bad-answer-tag",
                  event.Block == TReadBlock::Problem
                      ? "запись задачи не начинается с «PRBL»: задача пуста, а следующие "
                        "записи читаются со сдвигом"
                      : "запись ответов не начинается с «ANSW»: ответы задачи потеряны");
            break;
        case TReadNote::RecordsShort: {
            const bool groups = event.Block == TReadBlock::Groups;
            const std::size_t read = groups ? Sources.Groups.size() : Sources.Problems.size();
            Error(event.Where, "records-missing",
                  std::string("в файле объявлено ") + (groups ? "групп: " : "задач: ") +
                      std::to_string(event.Number) + ", а в данных их " + std::to_string(read));
            break;
        }
        case TReadNote::TooManyRecords:
            MarkBroken();
            Error(event.Where, "too-many-records",
                  std::string("в файле объявлено ") + RecordsName(event.Block) +
                      std::to_string(event.Number) +
                      " — больше, чем может быть в тесте: файл повреждён, станция его не "
                      "откроет");
            break;
        case TReadNote::DataAfterEnd:
            Warning(event.Where, "data-after-end",
                    Binary ? std::to_string(event.Number) +
                                 " байт после последней задачи станция не читает"
                           : "строки после §END TEZRA станция не читает");
            break;
        default:
            Locate(event);
            break;
    }
}

void TReadListener::NotATest(const TReadEvent& event) {
    if (Binary) {
        Error(0, "not-a-test",
              "файл не начинается с «TZRA» ни в открытом, ни в зашифрованном виде: это не тест");
        return;
    }
    if (event.Line.empty()) {
        Report.Add(TSeverity::Error, std::nullopt, "not-a-test",
                   "в файле нет ни строки §TEZRA: станция не прочтёт тест");
        return;
    }
    const std::string_view line = event.Line;
    const bool utf8 = line.substr(0, 3) == "\xEF\xBB\xBF" || line.substr(0, 2) == "\xC2\xA7";
    Error(event.Where, "not-a-test",
          "первая значимая строка " + Quoted(line) +
              " — не §TEZRA: станция не прочтёт из файла ничего" +
              (utf8 ? "; файл, похоже, сохранён в UTF-8 — сохраните его в кодировке "
                      "Windows-1251"
                    : ""));
}

void TReadListener::Locate(const TReadEvent& event) {
    const std::size_t place = event.Where;
    switch (event.Note) {
        case TReadNote::TestStart:
            Sources.TestStart = place;
            break;
        case TReadNote::TestParam:
            Sources.TestParams[event.Field] = place;
            CheckKeyword(event);
            break;
        case TReadNote::GroupRead:
            GroupRead(event);
            break;
        case TReadNote::ProblemStart:
            SettleMissingMode();
            Sources.Problems.push_back({});
            Sources.Problems.back().Start = place;
            break;
        case TReadNote::ProblemEnd:
            SettleMissingMode();
            if (IsKeyword(event.Line, SectionEndProblems) && Current() != nullptr) {
                ProblemListOpen = true;
                Error(Current()->Start, "problem-not-closed",
                      "у задачи нет строки §END PROBLEM: её концом стала строка " +
                          std::to_string(place) +
                          " «§END PROBLEMS», и список задач идёт до конца файла");
            }
            break;
        case TReadNote::ProblemParam:
            if (event.Field == TestField::Group && Current() != nullptr) {
                Current()->GroupPlace = place;
            }
            CheckKeyword(event);
            break;
        case TReadNote::PictureParam:
            if (Current() != nullptr) {
                (event.Field == TestField::File ? Current()->FilePlace : Current()->DataPlace) =
                    place;
            }
            CheckKeyword(event);
            break;
        case TReadNote::AnswerStart:
            if (Current() != nullptr) {
                Current()->AnswerPlace = place;
                Current()->Variants.clear();
            }
            break;
        case TReadNote::ModeRead:
            ModeRead(event);
            break;
        case TReadNote::VariantsStart:
            VariantsStart();
            break;
        case TReadNote::VariantRead:
            if (Current() != nullptr) {
                Current()->Variants.push_back(place);
            }
            break;
        default:
            break;
    }
}

void TReadListener::GroupRead(const TReadEvent& event) {
    Sources.Groups.push_back(event.Where);
    const bool section = IsSectionLine(event.Line);
    Sources.GroupIsSectionLine.push_back(section);
    if (Binary || section) {
        return;
    }
    const std::string_view line = event.Line;
    const std::size_t arrows = line.find(">>");
    if (arrows == std::string_view::npos) {
        Warning(event.Where, "group-line-no-arrows",
                "в строке группы " + Quoted(line) + " нет «>>»: группа получилась без имени");
    } else if (line.find(',', arrows) == std::string_view::npos) {
        Warning(event.Where, "group-line-no-comma",
                "в строке группы " + Quoted(line) +
                    " нет запятой: число после «>>» стало коэффициентом, а квота — 0");
    }
}

void TReadListener::ModeRead(const TReadEvent& event) {
    if (Current() != nullptr) {
        Current()->ModePlace = event.Where;
    }
    if (Binary) {
        if (event.Number > ModeInput) {
            Warning(event.Where, "unknown-mode",
                    "режим ответа " + std::to_string(event.Number) +
                        " неизвестен: задача показывается и оценивается как RADIO");
        }
        return;
    }
    if (ParseAnswerMode(event.Value, kNoMode) == kNoMode) {
        Warning(
            event.Where, "unknown-mode",
            "режим " + Quoted(event.Value) + " — не RADIO, COMBO или INPUT: задача будет RADIO");
    }
}

void TReadListener::VariantsStart() {
    VariantsSeen = true;
    if (Current() != nullptr) {
        Current()->Variants.clear();
    }
    if (MissingMode) {
        Warning(*MissingMode, "no-mode-line",
                "первая строка блока ответов — не MODE: строка пропущена, режим RADIO");
        MissingMode.reset();
    }
}

void TReadListener::SettleMissingMode() {
    if (MissingMode) {
        MarkBroken();
        Error(*MissingMode, "variants-lost",
              "первая строка блока ответов — не MODE: станция приняла её за строку MODE, "
              "и варианты ответа потеряны (режим RADIO)");
        MissingMode.reset();
    }
    VariantsSeen = false;
}

void TReadListener::Finish() {
    SettleMissingMode();
}

void TReadListener::StartRun(const TReadEvent& event) {
    InRun = true;
    RunBlock = event.Block;
    RunHasBlock = false;
    RunLostProblem = false;
    RunStart = event.Where;
    RunFirstLine = std::string(event.Line.substr(0, 80));
}

void TReadListener::MarkBroken() {
    if (Current() != nullptr) {
        Current()->Broken = true;
    }
}

void TReadListener::PassedOver(const TReadEvent& event) {
    if (!InRun || RunBlock != event.Block) {
        StartRun(event);
    }
    if (IsSectionLine(event.Line)) {
        PassedOverSection(event);
    } else {
        PassedOverLine(event);
    }
}

void TReadListener::PassedOverSection(const TReadEvent& event) {
    const std::string_view line = event.Line;
    const std::size_t place = event.Where;
    const bool inProblem = event.Block != TReadBlock::Test && event.Block != TReadBlock::Problems;
    if (IsEndLine(line)) {
        // In an answer block, or in a problem list that runs to the end of the file, an end
        // line is passed over because an earlier block is not closed, which is told already.
        if (!RunHasBlock && event.Block != TReadBlock::Answer && !ProblemListOpen) {
            Warning(place, "line-passed-over",
                    "строка " + Quoted(line) + " здесь ничего не закрывает: пропущена");
        }
        return;
    }
    if (inProblem) {
        MarkBroken();
    }
    const bool first = !RunHasBlock;
    RunHasBlock = true;
    if (IsProblemLine(line)) {
        RunLostProblem = RunLostProblem || first;
        if (inProblem && Current() != nullptr) {
            ProblemLost(place, event.Block == TReadBlock::Answer);
            return;
        }
    } else if (!first && (RunLostProblem || IsKeyword(line, SectionVariants))) {
        return;  // a block of a problem or an answer block that is passed over as a whole
    }
    const std::string after =
        first ? "" : " вслед за строкой " + std::to_string(RunStart) + " " + Quoted(RunFirstLine);
    if (event.Block == TReadBlock::Problem && IsProblemBlockLine(line)) {
        Error(place, "block-out-of-order",
              "блок " + Quoted(line) +
                  (first ? " стоит не по порядку (§PARAMS, §CONDITION, §PICTURE, §ANSWER)"
                         : " пропущен" + after) +
                  ": станция пропускает его и всё до §END PROBLEM");
    } else if (IsKnownSectionLine(line)) {
        Error(place, "block-passed-over",
              "блок " + Quoted(line) + (first ? " стоит не на своём месте" : "") +
                  ": станция его пропускает" + after);
    } else {
        Error(place, "unknown-section",
              "неизвестная строка раздела " + Quoted(line) + ": она и строки её блока пропущены");
    }
}

void TReadListener::ProblemLost(std::size_t place, bool inAnswer) {
    TProblemSource& current = *Current();
    Error(place, "problem-lost",
          std::string("задача не будет прочитана: ") +
              (inAnswer ? "блок ответов задачи в строке " : "у задачи в строке ") +
              std::to_string(current.Start) +
              (inAnswer ? " не закрыт строкой §END ANSWER" : " нет строки §END PROBLEM"));
    if (!current.Swallows) {
        current.Swallows = true;
        Error(current.Start, inAnswer ? "answer-not-closed" : "problem-not-closed",
              std::string(inAnswer ? "блок ответов задачи не закрыт строкой §END ANSWER"
                                   : "у задачи нет строки §END PROBLEM") +
                  ": чтение задачи поглощает следующую, в строке " + std::to_string(place));
    }
}

void TReadListener::PassedOverLine(const TReadEvent& event) {
    const std::string_view line = event.Line;
    if (RunHasBlock || (event.Block == TReadBlock::Answer && MissingMode)) {
        return;  // a line of a block that is passed over as a whole
    }
    if (event.Block == TReadBlock::Answer && line.front() == '[') {
        MarkBroken();
        Error(event.Where, "variant-lost",
              VariantsSeen ? "вариант " + Quoted(line) +
                                 " пропущен: список вариантов кончился раньше, на строке " +
                                 std::to_string(RunStart) + " " + Quoted(RunFirstLine)
                           : "вариант " + Quoted(line) + " стоит вне списка §VARIANTS: пропущен");
        return;
    }
    if (event.Block == TReadBlock::Answer && VariantsSeen && event.Where == RunStart) {
        Warning(event.Where, "line-passed-over",
                "строка " + Quoted(line) +
                    " не начинается с «[»: на ней кончился список вариантов, она пропущена");
        return;
    }
    if (event.Block == TReadBlock::Variants) {
        Warning(event.Where, "line-passed-over",
                "строка " + Quoted(line) + " — не вариант (нужны «[вес] текст»): пропущена");
        return;
    }
    Warning(event.Where, "line-passed-over",
            "строка " + Quoted(line) + " станцией не читается: пропущена");
}

void TReadListener::DefaultTaken(const TReadEvent& event) {
    if (event.Block == TReadBlock::Groups && IsSectionLine(event.Line)) {
        return;  // a section line read as a group: reported as the unclosed block
    }
    const TNumberUse use = NumberUse(event.Field);
    if (event.Field == TestField::VariantWeight &&
        event.Line.find(']') == std::string_view::npos) {
        Warning(event.Where, "bad-number",
                "у варианта " + Quoted(event.Line) +
                    " нет «]»: вся строка стала текстом варианта с весом 0");
        return;
    }
    if (TrimView(event.Value).empty()) {
        Warning(event.Where, "empty-number",
                "пустое значение: " + use.Name + " берётся равным " + use.Default);
        return;
    }
    Warning(event.Where, "bad-number",
            Quoted(event.Value) + " — не число (" + use.Name + "): берётся " + use.Default +
                NumberHint(event.Value, use.Float));
}

void TReadListener::DataEnds(const TReadEvent& event) {
    const TReadBlock block = event.Block;
    const bool inProblem = block != TReadBlock::Test && block != TReadBlock::TestParams &&
                           block != TReadBlock::Groups && block != TReadBlock::Problems;
    if (inProblem) {
        MarkBroken();
    }
    if (DataEnded || (ProblemListOpen && block == TReadBlock::Problems)) {
        return;  // one end of the data is told once
    }
    DataEnded = true;
    std::string text = BlockEndText(block, Binary);
    if (!Binary && inProblem && Current() != nullptr) {
        text += " (задача начата в строке " + std::to_string(Current()->Start) + ")";
    }
    if (!Binary && block == TReadBlock::Test) {
        Warning(event.Where, "no-end-tezra", text);
    } else {
        Error(event.Where, "ends-inside-block", text);
    }
}

void TReadListener::CheckKeyword(const TReadEvent& event) {
    if (Binary) {
        return;
    }
    const std::string_view line = event.Line;
    const std::size_t eq = line.find('=');
    const std::string_view key = TrimView(line.substr(0, eq));
    const std::string keyword(KeywordOf(event.Field).Name);
    if (eq == std::string_view::npos) {
        if (TakesText(event.Field)) {
            Warning(event.Where, "no-equals",
                    "в строке " + Quoted(line) + " нет «=»: значением " + keyword +
                        " стала вся строка");
        }
        return;
    }
    if (AnsiUpperCase(key) != keyword) {
        Warning(event.Where, "keyword-prefix",
                Quoted(key) + " прочитано как " + keyword +
                    ": ключевые слова узнаются по началу строки");
    }
}

void TReadListener::Error(std::size_t place, const char* code, std::string text) {
    Report.Add(TSeverity::Error, place, code, std::move(text));
}

void TReadListener::Warning(std::size_t place, const char* code, std::string text) {
    Report.Add(TSeverity::Warning, place, code, std::move(text));
}

TProblemSource* TReadListener::Current() {
    return Sources.Problems.empty() ? nullptr : &Sources.Problems.back();
}
