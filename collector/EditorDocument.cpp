// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/EditorDocument.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "interchange/TextCodec.h"
#include "model/TextKeywords.h"
#include "platform/Cp1251.h"
#include "platform/StationLimits.h"
#include "tools/sync/PlainNames.h"

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// How the fields are called on the editor's page.
std::string FieldLabel(const std::string& field) {
    static const std::pair<const char*, const char*> kLabels[] = {
        {"title", "Название теста"},
        {"id", "Код теста"},
        {"chooserText", "Текст в списке тестов"},
        {"defer", "Сколько задач можно отложить"},
        {"marks", "Баллы для оценок"},
        {"group.name", "Название раздела"},
        {"group.quota", "Сколько задач получает ученик"},
        {"group.rate", "Вес раздела"},
        {"problem.id", "Код задачи"},
        {"problem.title", "Название задачи"},
        {"problem.category", "Категория"},
        {"problem.difficulty", "Сложность"},
        {"problem.group", "Раздел"},
        {"problem.rate", "Вес задачи"},
        {"problem.text", "Условие"},
        {"problem.picture", "Рисунок"},
        {"problem.kind", "Вид ответа"},
        {"problem.variants", "Вариант ответа"},
    };
    for (const auto& [key, label] : kLabels) {
        if (field == key) {
            return label;
        }
    }
    return field;
}

// "поле «Условие» задачи 3" and the like.
std::string FieldPhrase(const DocPlace& where) {
    std::string phrase = "поле «" + FieldLabel(where.Field) + "»";
    if (where.Variant >= 0) {
        phrase += " (вариант " + std::to_string(where.Variant + 1) + ")";
    }
    if (where.Problem >= 0) {
        phrase += " задачи " + std::to_string(where.Problem + 1);
    } else if (where.Group >= 0) {
        phrase += " раздела " + std::to_string(where.Group + 1);
    }
    return phrase;
}

std::size_t SequenceLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

// UTF-8 as cp1251, refusing every character the code page cannot hold (the plain conversion
// would write "?" for it).
bool StrictCp1251(std::string_view utf8, std::string& out, DocFault& fault) {
    out = Utf8ToCp1251(utf8);
    if (Cp1251ToUtf8(out) == utf8) {
        return true;
    }
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length =
            std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view one = utf8.substr(i, length);
        i += length;
        if (Cp1251ToUtf8(Utf8ToCp1251(one)) == one) {
            continue;
        }
        fault.Char = std::string(one);
        std::vector<CharReplacement> replaced;
        const std::string plain = Utf8ToStation(one, replaced);
        fault.Suggestion = plain.find('?') == std::string::npos ? plain : std::string();
        break;
    }
    fault.Message =
        "В " + FieldPhrase(fault.Where) + " есть знак «" + fault.Char +
        "», которого нет в кодировке Windows-1251. " +
        (fault.Suggestion.empty() ? std::string("Замените или удалите его.")
                                  : "Замените его, например на «" + fault.Suggestion + "».");
    return false;
}

bool Refuse(DocFault& fault, const DocPlace& where, const std::string& why) {
    fault.Where = where;
    fault.Message = "В " + FieldPhrase(where) + " " + why;
    return false;
}

// A text field; absent or null reads as empty. multiLine keeps "\n" (a "\r" is dropped).
bool ReadText(const Json& object, const char* key, const DocPlace& where, bool multiLine,
              std::string& out, DocFault& fault) {
    out.clear();
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return true;
    }
    if (!found->is_string()) {
        return Refuse(fault, where, "ожидается текст.");
    }
    std::string utf8 = found->get<std::string>();
    if (multiLine) {
        std::erase(utf8, '\r');
    } else if (utf8.find_first_of("\r\n") != std::string::npos) {
        return Refuse(fault, where, "не может быть перевода строки.");
    }
    fault.Where = where;
    return StrictCp1251(utf8, out, fault);
}

bool ReadNumber(const Json& object, const char* key, const DocPlace& where, double fallback,
                double low, double high, bool whole, double& out, DocFault& fault) {
    out = fallback;
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return true;
    }
    if (!found->is_number()) {
        return Refuse(fault, where, "ожидается число.");
    }
    out = found->get<double>();
    if (!std::isfinite(out) || out < low || out > high || (whole && std::floor(out) != out)) {
        return Refuse(fault, where,
                      whole ? "ожидается целое число от " +
                                  std::to_string(static_cast<long long>(low)) + " до " +
                                  std::to_string(static_cast<long long>(high)) + "."
                            : "число вне допустимых пределов.");
    }
    return true;
}

constexpr double kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr double kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr double kFloatMax = 1e30;

bool ReadInt(const Json& object, const char* key, const DocPlace& where, double low,
             std::int32_t& out, DocFault& fault) {
    double value = 0;
    if (!ReadNumber(object, key, where, out, low, kIntMax, true, value, fault)) {
        return false;
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

bool ReadFloat(const Json& object, const char* key, const DocPlace& where, float& out,
               DocFault& fault) {
    double value = 0;
    if (!ReadNumber(object, key, where, out, -kFloatMax, kFloatMax, false, value, fault)) {
        return false;
    }
    out = static_cast<float>(value);
    return true;
}

const Json& Member(const Json& object, const char* key) {
    static const Json kNull;
    const auto found = object.find(key);
    return found == object.end() ? kNull : *found;
}

// A yes/no member; anything but true reads as no.
bool Flag(const Json& object, const char* key) {
    const Json& value = Member(object, key);
    return value.is_boolean() && value.get<bool>();
}

bool ReadHeader(const Json& doc, TTezra& out, std::string& chooserText, DocFault& fault) {
    const Json& shuffle = Member(doc, "shuffle");
    const Json& marks = Member(doc, "marks");
    if ((!shuffle.is_null() && !shuffle.is_object()) || (!marks.is_null() && !marks.is_object())) {
        return Refuse(fault, {-1, -1, -1, "marks"}, "ожидается объект.");
    }
    if (!ReadText(doc, "title", {-1, -1, -1, "title"}, false, out.Title, fault) ||
        !ReadText(doc, "id", {-1, -1, -1, "id"}, false, out.Id, fault) ||
        !ReadText(doc, "chooserText", {-1, -1, -1, "chooserText"}, false, chooserText, fault) ||
        !ReadInt(doc, "defer", {-1, -1, -1, "defer"}, 0, out.DeferLimit, fault)) {
        return false;
    }
    if (shuffle.is_object()) {
        out.ShuffleGroups = Flag(shuffle, "groups");
        out.ShuffleProblems = Flag(shuffle, "problems");
        out.ShuffleVariants = Flag(shuffle, "variants");
    }
    for (int mark = 2; mark <= 5 && marks.is_object(); ++mark) {
        if (!ReadFloat(marks, std::to_string(mark).c_str(), {-1, -1, -1, "marks"},
                       out.MarkThresholds[mark], fault)) {
            return false;
        }
    }
    return true;
}

bool ReadGroups(const Json& groups, TTezra& out, DocFault& fault) {
    if (!groups.is_null() && !groups.is_array()) {
        return Refuse(fault, {-1, -1, -1, "groups"}, "ожидается список.");
    }
    if (groups.is_array() && groups.size() > static_cast<std::size_t>(kMaxGroups)) {
        return Refuse(fault, {-1, -1, -1, "groups"}, "слишком много разделов.");
    }
    int index = 0;
    for (const Json& item : groups.is_array() ? groups : Json::array()) {
        const DocPlace where{-1, -1, index, "group.name"};
        if (!item.is_object()) {
            return Refuse(fault, where, "ожидается объект.");
        }
        auto group = std::make_unique<TGroupInfo>();
        const Json& quota = Member(item, "quota");
        group->Quota = UnlimitedQuota;
        if (!ReadText(item, "name", where, false, group->Name, fault) ||
            (!quota.is_null() &&
             !ReadInt(item, "quota", {-1, -1, index, "group.quota"}, 0, group->Quota, fault)) ||
            !ReadFloat(item, "rate", {-1, -1, index, "group.rate"}, group->Rate, fault)) {
            return false;
        }
        // A group line is read as name >> quota, rate: these would split the name.
        if (group->Name.find(">>") != std::string::npos ||
            group->Name.find(',') != std::string::npos) {
            return Refuse(fault, where, "не может быть знаков «>>» и «,».");
        }
        out.Groups.push_back({group->Name, std::move(group)});
        ++index;
    }
    return true;
}

bool ReadKind(const Json& problem, const DocPlace& where, std::uint8_t& mode, DocFault& fault) {
    const Json& value = Member(problem, "kind");
    const std::string kind = value.is_string() ? value.get<std::string>() : "one";
    if (kind == "one" || kind == "several" || kind == "typed") {
        mode = kind == "one" ? ModeRadio : kind == "several" ? ModeCombo : ModeInput;
        return true;
    }
    return Refuse(fault, where, "ожидается «one», «several» или «typed».");
}

bool ReadVariants(const Json& variants, int index, TAnswers& answers, DocFault& fault) {
    const DocPlace where{index, -1, -1, "problem.variants"};
    if (!variants.is_null() && !variants.is_array()) {
        return Refuse(fault, where, "ожидается список.");
    }
    if (variants.is_array() && variants.size() > static_cast<std::size_t>(kMaxVariants)) {
        return Refuse(fault, where, "слишком много вариантов.");
    }
    int number = 0;
    for (const Json& item : variants.is_array() ? variants : Json::array()) {
        const DocPlace at{index, number++, -1, "problem.variants"};
        if (!item.is_object()) {
            return Refuse(fault, at, "ожидается объект.");
        }
        TVariant variant;
        if (!ReadText(item, "text", at, false, variant.Text, fault) ||
            !ReadInt(item, "weight", at, kIntMin, variant.Weight, fault)) {
            return false;
        }
        answers.Variants.push_back(std::move(variant));
    }
    return true;
}

// The condition's lines; a line the reader would take as the condition's end is refused.
bool ReadCondition(const Json& item, int index, TProblem& problem, DocFault& fault) {
    const DocPlace where{index, -1, -1, "problem.text"};
    std::string text;
    if (!ReadText(item, "text", where, true, text, fault)) {
        return false;
    }
    if (text.empty()) {
        return true;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(std::string_view("\0 \t", 3));
        if (first != std::string::npos &&
            IsKeyword(std::string_view(line).substr(first), SectionEndCondition)) {
            return Refuse(fault, where,
                          "строка не может начинаться со знака «§» и слов END CONDITION.");
        }
        problem.Condition.push_back(std::move(line));
        if (end == std::string::npos) {
            return true;
        }
        start = end + 1;
    }
}

bool ReadPicture(const Json& item, int index, TProblem& problem, bool& embedded, DocFault& fault) {
    const DocPlace where{index, -1, -1, "problem.picture"};
    const Json& picture = Member(item, "picture");
    embedded = false;
    if (picture.is_null()) {
        return true;
    }
    if (!picture.is_object()) {
        return Refuse(fault, where, "ожидается объект или null.");
    }
    if (!ReadText(picture, "file", where, false, problem.PictureFile, fault)) {
        return false;
    }
    if (!IsLibraryPictureName(Cp1251ToUtf8(problem.PictureFile))) {
        return Refuse(fault, where, "недопустимое имя файла рисунка.");
    }
    embedded = Flag(picture, "embedded");
    return true;
}

bool ReadProblem(const Json& item, int index, TProblem& problem, bool& embedded, DocFault& fault) {
    if (!item.is_object()) {
        return Refuse(fault, {index, -1, -1, "problem.text"}, "ожидается объект.");
    }
    problem.Rate = 1.0f;
    return ReadText(item, "id", {index, -1, -1, "problem.id"}, false, problem.Id, fault) &&
           ReadText(item, "title", {index, -1, -1, "problem.title"}, false, problem.Title,
                    fault) &&
           ReadText(item, "category", {index, -1, -1, "problem.category"}, false, problem.Category,
                    fault) &&
           ReadInt(item, "difficulty", {index, -1, -1, "problem.difficulty"}, kIntMin,
                   problem.Difficulty, fault) &&
           ReadText(item, "group", {index, -1, -1, "problem.group"}, false, problem.Group,
                    fault) &&
           ReadFloat(item, "rate", {index, -1, -1, "problem.rate"}, problem.Rate, fault) &&
           ReadCondition(item, index, problem, fault) &&
           ReadPicture(item, index, problem, embedded, fault) &&
           ReadKind(item, {index, -1, -1, "problem.kind"}, problem.Answers.Mode, fault) &&
           ReadVariants(Member(item, "variants"), index, problem.Answers, fault);
}

// The shortest decimal that reads back to the same float, as a JSON number.
OrderedJson FloatJson(float value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    double shortest = 0;
    std::from_chars(buffer, result.ptr, shortest);
    return shortest;
}

OrderedJson ProblemToJson(const TProblem& problem, std::size_t index) {
    static constexpr const char* kKinds[] = {"one", "several", "typed"};
    std::string text;
    for (std::size_t i = 0; i < problem.Condition.size(); ++i) {
        text += (i > 0 ? "\n" : "") + Cp1251ToUtf8(problem.Condition[i]);
    }
    OrderedJson picture = nullptr;
    if (!problem.Picture.empty() || !problem.PictureFile.empty()) {
        const bool embedded = !problem.Picture.empty();
        picture = {{"file", problem.PictureFile.empty() ? EmbeddedPictureName(index)
                                                        : Cp1251ToUtf8(problem.PictureFile)},
                   {"embedded", embedded}};
    }
    OrderedJson variants = OrderedJson::array();
    for (const TVariant& variant : problem.Answers.Variants) {
        variants.push_back({{"text", Cp1251ToUtf8(variant.Text)}, {"weight", variant.Weight}});
    }
    return {{"id", Cp1251ToUtf8(problem.Id)},
            {"title", Cp1251ToUtf8(problem.Title)},
            {"category", Cp1251ToUtf8(problem.Category)},
            {"difficulty", problem.Difficulty},
            {"group", Cp1251ToUtf8(problem.Group)},
            {"rate", FloatJson(problem.Rate)},
            {"text", text},
            {"picture", picture},
            {"kind", kKinds[problem.Answers.Mode > ModeInput ? ModeRadio : problem.Answers.Mode]},
            {"variants", variants}};
}

}  // namespace

OrderedJson DocPlace::Json() const {
    auto index = [](int value) { return value < 0 ? OrderedJson(nullptr) : OrderedJson(value); };
    return {{"problem", index(Problem)},
            {"field", Field.empty() ? OrderedJson(nullptr) : OrderedJson(Field)},
            {"variant", index(Variant)},
            {"group", index(Group)}};
}

OrderedJson DocFault::Json() const {
    OrderedJson answer = {{"message", Message}, {"where", Where.Json()}};
    if (!Char.empty()) {
        answer["char"] = Char;
        answer["suggestion"] = Suggestion.empty() ? OrderedJson(nullptr) : OrderedJson(Suggestion);
    }
    return answer;
}

std::string EmbeddedPictureName(std::size_t problemIndex) {
    return "picture-" + std::to_string(problemIndex + 1) + ".jpg";
}

bool ReadTestDocument(const nlohmann::json& doc, TTezra& out, std::string& chooserText,
                      std::vector<bool>& embedded, DocFault& fault) {
    if (!doc.is_object()) {
        fault.Message = "Тест должен быть объектом JSON.";
        return false;
    }
    const Json& problems = Member(doc, "problems");
    if (!ReadHeader(doc, out, chooserText, fault) ||
        !ReadGroups(Member(doc, "groups"), out, fault)) {
        return false;
    }
    if (!problems.is_null() && !problems.is_array()) {
        fault.Message = "Список задач должен быть списком JSON.";
        return false;
    }
    if (problems.is_array() && problems.size() > static_cast<std::size_t>(kMaxProblems)) {
        fault.Message = "В тесте слишком много задач.";
        return false;
    }
    embedded.clear();
    int index = 0;
    for (const Json& item : problems.is_array() ? problems : Json::array()) {
        auto problem = std::make_unique<TProblem>();
        bool isEmbedded = false;
        if (!ReadProblem(item, index++, *problem, isEmbedded, fault)) {
            return false;
        }
        embedded.push_back(isEmbedded);
        out.Problems.push_back(std::move(problem));
    }
    return true;
}

bool DocumentToTest(const nlohmann::json& doc, TTezra& out, std::string& error) {
    std::string chooser;
    std::vector<bool> embedded;
    DocFault fault;
    if (!ReadTestDocument(doc, out, chooser, embedded, fault)) {
        error = fault.Message;
        return false;
    }
    return true;
}

OrderedJson TestToDocument(const TTezra& test, const std::string& chooserText) {
    OrderedJson marks;
    for (int mark = 5; mark >= 2; --mark) {
        marks[std::to_string(mark)] = FloatJson(test.MarkThresholds[mark]);
    }
    OrderedJson groups = OrderedJson::array();
    for (const TGroupEntry& entry : test.Groups) {
        const TGroupInfo& group = *entry.Group;
        groups.push_back({{"name", Cp1251ToUtf8(entry.Name)},
                          {"quota", group.Quota == UnlimitedQuota ? OrderedJson(nullptr)
                                                                  : OrderedJson(group.Quota)},
                          {"rate", FloatJson(group.Rate)}});
    }
    OrderedJson problems = OrderedJson::array();
    for (std::size_t i = 0; i < test.Problems.size(); ++i) {
        problems.push_back(ProblemToJson(*test.Problems[i], i));
    }
    return {{"title", Cp1251ToUtf8(test.Title)},
            {"id", Cp1251ToUtf8(test.Id)},
            {"chooserText", Cp1251ToUtf8(chooserText)},
            {"shuffle",
             {{"groups", test.ShuffleGroups},
              {"problems", test.ShuffleProblems},
              {"variants", test.ShuffleVariants}}},
            {"defer", test.DeferLimit},
            {"marks", marks},
            {"groups", groups},
            {"problems", problems}};
}
