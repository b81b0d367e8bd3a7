// SPDX-License-Identifier: GPL-3.0-or-later
// Moodle XML: a <quiz> of <question> elements, category questions naming the category of the
// questions after them. pugixml reads it; it expands no entity but the five predefined ones
// and character references, and never opens another file or the network.

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>

#include "interchange/Base64.h"
#include "interchange/HtmlText.h"
#include "interchange/Readers.h"
#include "interchange/TextCodec.h"
#include "model/UTypes.h"
#include "platform/Numbers.h"

namespace {

// Line numbers of byte offsets of the parsed text.
class LineIndex {
public:
    explicit LineIndex(std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                breaks_.push_back(i);
            }
        }
    }
    std::size_t LineOf(std::ptrdiff_t offset) const {
        if (offset < 0) {
            return 0;
        }
        return static_cast<std::size_t>(std::lower_bound(breaks_.begin(), breaks_.end(),
                                                         static_cast<std::size_t>(offset)) -
                                        breaks_.begin()) +
               1;
    }

private:
    std::vector<std::size_t> breaks_;
};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

// The text of an element that holds <text> (or, in old files, the text itself).
std::string TextOf(const pugi::xml_node& node) {
    const pugi::xml_node text = node.child("text");
    return text ? text.text().get() : node.text().get();
}

std::string PlainOf(const pugi::xml_node& node) {
    const std::string raw = TextOf(node);
    const std::string format = Lower(node.attribute("format").as_string("html"));
    if (format == "html") {
        return HtmlToPlain(raw);
    }
    return TidyLines(Trimmed(raw));
}

struct KindName {
    std::string_view Type;
    std::string_view Kind;
};

constexpr KindName kLeftOutKinds[] = {
    {"matching", "на соответствие"},
    {"match", "на соответствие"},
    {"randomsamatch", "случайный"},
    {"random", "случайный"},
    {"essay", "эссе"},
    {"description", "описание"},
    {"multianswer", "вложенные ответы (cloze)"},
    {"cloze", "вложенные ответы (cloze)"},
    {"calculated", "вычисляемый"},
    {"calculatedsimple", "вычисляемый"},
    {"calculatedmulti", "вычисляемый"},
    {"ddwtos", "перетаскивание"},
    {"ddimageortext", "перетаскивание"},
    {"ddmarker", "перетаскивание"},
    {"gapselect", "перетаскивание"},
    {"ordering", "упорядочивание"},
};

class XmlReader {
public:
    XmlReader(const LineIndex& lines, BankCollector& bank) : lines_(lines), bank_(bank) {}

    void ReadQuestion(const pugi::xml_node& node) {
        const std::string type = Lower(node.attribute("type").as_string());
        const std::size_t line = lines_.LineOf(node.offset_debug());
        if (type == "category") {
            category_ = CategoryLastPart(TextOf(node.child("category")));
            bank_.SeeCategory(category_);
            return;
        }
        BankQuestion q;
        q.Line = line;
        q.Category = category_;
        q.Name = Trimmed(TextOf(node.child("name")));
        q.IdNumber = Trimmed(node.child_value("idnumber"));
        bool read = false;
        if (type == "multichoice") {
            read = ReadAnswers(node, q);
            const std::string single = Lower(Trimmed(node.child_value("single")));
            q.Mode = single == "false" || single == "0" ? ModeCombo : ModeRadio;
        } else if (type == "truefalse") {
            read = ReadTrueFalse(node, q);
        } else if (type == "shortanswer") {
            read = ReadAnswers(node, q);
            q.Mode = ModeInput;
            if (Trimmed(node.child_value("usecase")) == "1") {
                bank_.Warn(line, "case-ignored",
                           "регистр букв в ответе не учитывается: станция сравнивает ответы " +
                               std::string("без учёта регистра"));
            }
        } else if (type == "numerical") {
            read = ReadNumerical(node, q);
        } else {
            LeaveOutType(type, line);
            return;
        }
        if (!read) {
            return;
        }
        CountExtras(node, line);
        const pugi::xml_node questionText = node.child("questiontext");
        q.Text = PlainOf(questionText);
        TakePictures(node, questionText, q);
        bank_.Questions.push_back(std::move(q));
    }

private:
    void LeaveOutType(const std::string& type, std::size_t line) {
        for (const KindName& known : kLeftOutKinds) {
            if (known.Type == type) {
                bank_.LeaveOut(line, std::string(known.Kind),
                               "тип «" + type + "» станция не поддерживает");
                return;
            }
        }
        bank_.LeaveOut(line, "неизвестный тип", "неизвестный тип вопроса «" + type + "»");
    }

    // The answers with their fractions; false (the question left out) when there are none.
    bool ReadAnswers(const pugi::xml_node& node, BankQuestion& q) {
        for (const pugi::xml_node& answer : node.children("answer")) {
            const std::optional<double> fraction =
                ParseFloat(answer.attribute("fraction").as_string("0"));
            q.Variants.push_back(
                {PlainOf(answer), RoundedWeight(fraction.value_or(0), q.Line, bank_)});
        }
        if (q.Variants.empty()) {
            bank_.LeaveOut(q.Line, "без ответов", "у вопроса нет ответов");
            return false;
        }
        return true;
    }

    bool ReadTrueFalse(const pugi::xml_node& node, BankQuestion& q) {
        std::optional<bool> rightIsTrue;
        for (const pugi::xml_node& answer : node.children("answer")) {
            const std::string text = Lower(Trimmed(HtmlToPlain(TextOf(answer))));
            const double fraction =
                ParseFloat(answer.attribute("fraction").as_string("0")).value_or(0);
            if (fraction > 0 && (text == "true" || text == "false")) {
                rightIsTrue = text == "true";
            }
        }
        if (!rightIsTrue) {
            bank_.LeaveOut(q.Line, "повреждённый", "не указан верный ответ «верно/неверно»");
            return false;
        }
        q.Mode = ModeRadio;
        q.Variants = {{"Верно", *rightIsTrue ? 100 : 0}, {"Неверно", *rightIsTrue ? 0 : 100}};
        return true;
    }

    bool ReadNumerical(const pugi::xml_node& node, BankQuestion& q) {
        for (const pugi::xml_node& answer : node.children("answer")) {
            const double tolerance =
                ParseFloat(Trimmed(answer.child_value("tolerance"))).value_or(0);
            if (tolerance != 0) {
                bank_.LeaveOut(q.Line, "числовой с допуском", "числовой ответ с допуском");
                return false;
            }
        }
        if (!ReadAnswers(node, q)) {
            return false;
        }
        q.Mode = ModeInput;
        return true;
    }

    void CountExtras(const pugi::xml_node& node, std::size_t line) {
        auto count = [&](const pugi::xml_node& holder) {
            if (holder && !Trimmed(TextOf(holder)).empty()) {
                bank_.DropExtras(line);
            }
        };
        for (const char* name : {"generalfeedback", "correctfeedback", "partiallycorrectfeedback",
                                 "incorrectfeedback"}) {
            count(node.child(name));
        }
        for (const pugi::xml_node& answer : node.children("answer")) {
            count(answer.child("feedback"));
        }
        for (const pugi::xml_node& hint : node.children("hint")) {
            count(hint);
        }
        const double penalty = ParseFloat(Trimmed(node.child_value("penalty"))).value_or(0);
        if (penalty != 0) {
            bank_.DropExtras(line);
        }
    }

    void AddPicture(BankQuestion& q, std::string name, std::string_view base64) {
        std::optional<std::vector<std::uint8_t>> bytes = DecodeBase64(base64);
        if (!bytes) {
            bank_.Warn(q.Line, "bad-base64",
                       "рисунок «" + name + "» пропущен: его base64 не декодируется");
            return;
        }
        q.Pictures.push_back({std::move(name), std::move(*bytes)});
    }

    void TakePictures(const pugi::xml_node& node, const pugi::xml_node& questionText,
                      BankQuestion& q) {
        for (const std::string& source : HtmlImageSources(TextOf(questionText))) {
            constexpr std::string_view kPluginFile = "@@PLUGINFILE@@/";
            if (!source.starts_with(kPluginFile)) {
                bank_.Warn(q.Line, "picture-left-out",
                           "рисунок «" + source + "» пропущен: он не вложен в файл");
                continue;
            }
            const std::string name = PercentDecoded(source.substr(kPluginFile.size()));
            pugi::xml_node file;
            for (const pugi::xml_node& candidate : questionText.children("file")) {
                std::string path = candidate.attribute("path").as_string("/");
                if (!path.ends_with('/')) {
                    path += '/';
                }
                const std::string full = path.substr(1) + candidate.attribute("name").as_string();
                if (full == name || candidate.attribute("name").as_string() == name) {
                    file = candidate;
                    break;
                }
            }
            if (!file) {
                bank_.Warn(q.Line, "picture-missing",
                           "рисунок «" + name + "» пропущен: его файла нет в вопросе");
                continue;
            }
            AddPicture(q, name, file.text().get());
        }
        const pugi::xml_node old = node.child("image_base64");
        if (old) {
            AddPicture(q, Trimmed(node.child_value("image")), old.text().get());
        }
    }

    static std::string PercentDecoded(std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 2 < text.size() &&
                std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 +
                                         HexDigitValue(text[i + 2]));
                i += 2;
            } else {
                out += text[i];
            }
        }
        return out;
    }

    const LineIndex& lines_;
    BankCollector& bank_;
    std::string category_;
};

}  // namespace

void ReadMoodleXml(std::string_view bytes, BankCollector& bank) {
    bool wasCp1251 = false;
    const std::string text = InputToUtf8(bytes, wasCp1251);
    if (wasCp1251) {
        bank.Warn(0, "cp1251-input", "файл не в UTF-8; прочитан как cp1251");
    }
    const LineIndex lines(text);
    if (const std::size_t entity = text.find("<!ENTITY"); entity != std::string::npos) {
        bank.Warn(lines.LineOf(static_cast<std::ptrdiff_t>(entity)), "entity-ignored",
                  "объявления сущностей (<!ENTITY>) не раскрываются и внешние файлы не " +
                      std::string("читаются"));
    }
    pugi::xml_document document;
    // No parse_doctype: the document type declaration is skipped, its entities never defined.
    const pugi::xml_parse_result parsed =
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        bank.Fail(lines.LineOf(parsed.offset),
                  "файл не читается как XML: " + std::string(parsed.description()));
        return;
    }
    const pugi::xml_node quiz = document.child("quiz");
    if (!quiz) {
        bank.Fail(1, "в файле нет элемента <quiz>: это не банк вопросов Moodle XML");
        return;
    }
    XmlReader reader(lines, bank);
    for (const pugi::xml_node& question : quiz.children("question")) {
        reader.ReadQuestion(question);
    }
}
