// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TryDocument.h"

#include <cmath>
#include <limits>

#include "platform/Cp1251.h"
#include "platform/StationLimits.h"

namespace {

using Json = nlohmann::json;

// A malformed document: the reason travels up to the answer.
struct BadDocument {
    std::string Reason;
};

[[noreturn]] void Refuse(const std::string& field) {
    throw BadDocument{"Поле «" + field + "» заполнено неверно."};
}

const Json* Member(const Json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() || found->is_null() ? nullptr : &*found;
}

std::string Text(const Json& object, const char* name) {
    const Json* value = Member(object, name);
    if (value == nullptr) {
        return {};
    }
    if (!value->is_string()) {
        Refuse(name);
    }
    return Utf8ToCp1251(value->get<std::string>());
}

double Number(const Json& object, const char* name, double fallback) {
    const Json* value = Member(object, name);
    if (value == nullptr) {
        return fallback;
    }
    if (!value->is_number() || !std::isfinite(value->get<double>())) {
        Refuse(name);
    }
    return value->get<double>();
}

std::int32_t Whole(const Json& object, const char* name, std::int32_t fallback) {
    const double value = Number(object, name, fallback);
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::llround(std::fmin(std::fmax(value, low), high)));
}

bool Flag(const Json& object, const char* name) {
    const Json* value = Member(object, name);
    if (value != nullptr && !value->is_boolean()) {
        Refuse(name);
    }
    return value != nullptr && value->get<bool>();
}

const Json& List(const Json& object, const char* name, std::size_t most) {
    static const Json empty = Json::array();
    const Json* value = Member(object, name);
    if (value == nullptr) {
        return empty;
    }
    if (!value->is_array() || value->size() > most) {
        Refuse(name);
    }
    return *value;
}

const Json& Object(const Json& value, const char* name) {
    if (!value.is_object()) {
        Refuse(name);
    }
    return value;
}

// The condition's lines; a line break is "\n", "\r\n" or a lone "\r".
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += text[i];
        }
    }
    if (!line.empty() || lines.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::uint8_t Mode(const Json& problem) {
    const Json* kind = Member(problem, "kind");
    if (kind == nullptr || *kind == "one") {
        return ModeRadio;
    }
    if (*kind == "several") {
        return ModeCombo;
    }
    if (*kind == "typed") {
        return ModeInput;
    }
    Refuse("kind");
}

TryPicture Picture(const Json& problem) {
    TryPicture picture;
    const Json* value = Member(problem, "picture");
    if (value == nullptr) {
        return picture;
    }
    const Json& object = Object(*value, "picture");
    const Json* file = Member(object, "file");
    if (file != nullptr && !file->is_string()) {
        Refuse("picture");
    }
    picture.File = file != nullptr ? file->get<std::string>() : std::string();
    picture.Embedded = Flag(object, "embedded");
    picture.Present = picture.Embedded || !picture.File.empty();
    return picture;
}

std::unique_ptr<TProblem> ReadProblem(const Json& value) {
    const Json& object = Object(value, "problems");
    auto problem = std::make_unique<TProblem>();
    problem->Id = Text(object, "id");
    problem->Title = Text(object, "title");
    problem->Category = Text(object, "category");
    problem->Difficulty = Whole(object, "difficulty", 0);
    problem->Group = Text(object, "group");
    problem->Rate = static_cast<float>(Number(object, "rate", 0));
    problem->Condition = Lines(Text(object, "text"));
    problem->Answers.Mode = Mode(object);
    for (const Json& item : List(object, "variants", static_cast<std::size_t>(kMaxVariants))) {
        const Json& variant = Object(item, "variants");
        problem->Answers.Variants.push_back({Text(variant, "text"), Whole(variant, "weight", 0)});
    }
    return problem;
}

void ReadTest(const Json& document, TTezra& test, std::vector<TryPicture>& pictures) {
    const Json& root = Object(document, "doc");
    test.Id = Text(root, "id");
    test.Title = Text(root, "title");
    if (const Json* shuffle = Member(root, "shuffle")) {
        const Json& flags = Object(*shuffle, "shuffle");
        test.ShuffleGroups = Flag(flags, "groups");
        test.ShuffleProblems = Flag(flags, "problems");
        test.ShuffleVariants = Flag(flags, "variants");
    }
    test.DeferLimit = Whole(root, "defer", 0);
    if (const Json* marks = Member(root, "marks")) {
        const Json& thresholds = Object(*marks, "marks");
        for (int mark = 2; mark <= 5; ++mark) {
            const std::string key = std::to_string(mark);
            test.MarkThresholds[mark] = static_cast<float>(Number(thresholds, key.c_str(), 0));
        }
    }
    for (const Json& item : List(root, "groups", static_cast<std::size_t>(kMaxGroups))) {
        const Json& object = Object(item, "groups");
        auto group = std::make_unique<TGroupInfo>();
        group->Name = Text(object, "name");
        // No quota: every problem of the section is drawn.
        group->Quota = Whole(object, "quota", UnlimitedQuota);
        group->Rate = static_cast<float>(Number(object, "rate", 1.0));
        test.Groups.push_back({group->Name, std::move(group)});
    }
    for (const Json& item : List(root, "problems", static_cast<std::size_t>(kMaxProblems))) {
        test.Problems.push_back(ReadProblem(item));
        pictures.push_back(Picture(item));
    }
}

}  // namespace

bool ReadTryDocument(const nlohmann::json& document, TTezra& test,
                     std::vector<TryPicture>& pictures, std::string& error) {
    try {
        ReadTest(document, test, pictures);
        return true;
    } catch (const BadDocument& bad) {
        error = bad.Reason;
    } catch (const nlohmann::json::exception&) {
        error = "Тест в запросе прочитать не удалось.";
    }
    return false;
}
