// SPDX-License-Identifier: GPL-3.0-or-later
// A station test as Moodle XML: a category question per group, multichoice (single or
// multiple) and shortanswer questions, pictures as base64 <file> elements with an <img> in the
// question text. What the format cannot hold is written as a comment at the top.

#include <array>
#include <cmath>
#include <fstream>

#include "interchange/Base64.h"
#include "interchange/Writers.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"

namespace {

// Whole percents whose nearest grade in Moodle's list is written instead: the grade reads
// back (rounded) as the same whole percent, and Moodle's import takes it as listed.
constexpr std::array<std::pair<int, std::string_view>, 7> kListedFractions = {{
    {83, "83.33333"},
    {67, "66.66667"},
    {33, "33.33333"},
    {17, "16.66667"},
    {14, "14.28571"},
    {13, "12.5"},
    {11, "11.11111"},
}};

constexpr std::array<int, 14> kListedWhole = {100, 90, 80, 75, 70, 60, 50,
                                              40,  30, 25, 20, 10, 5,  0};

std::string Fraction(std::int32_t weight, bool& listed) {
    const int magnitude = weight < 0 ? -weight : weight;
    const std::string sign = weight < 0 ? "-" : "";
    for (const auto& [whole, text] : kListedFractions) {
        if (magnitude == whole) {
            listed = true;
            return sign + std::string(text);
        }
    }
    listed = std::find(kListedWhole.begin(), kListedWhole.end(), magnitude) != kListedWhole.end();
    return std::to_string(weight);
}

// UTF-8 text with the characters XML does not allow replaced by blanks.
std::string XmlSafe(std::string text, bool& changed) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\n' && c != '\t') {
            c = ' ';
            changed = true;
        }
    }
    return text;
}

std::string Escaped(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Cdata(std::string_view text) {
    std::string out = "<![CDATA[";
    std::size_t start = 0;
    for (std::size_t at = text.find("]]>"); at != std::string_view::npos;
         at = text.find("]]>", start)) {
        out.append(text.substr(start, at - start)).append("]]]]><![CDATA[>");
        start = at + 3;
    }
    return out.append(text.substr(start)).append("]]>");
}

// A condition line as HTML: blanks that HTML would collapse are written as &nbsp;.
std::string HtmlLine(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const bool keep = utf8[i] == ' ' && (i == 0 || i + 1 == utf8.size() || utf8[i - 1] == ' ');
        out += keep ? std::string("&nbsp;") : Escaped(utf8.substr(i, 1));
    }
    return out;
}

std::string CommentSafe(std::string text) {
    for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at)) {
        text.replace(at, 2, "- -");
    }
    return text;
}

class XmlWriter {
public:
    XmlWriter(const BankWriteOptions& options, std::vector<BankWarning>& warnings)
        : options_(options), warnings_(warnings) {}

    std::string Out;

    std::string Utf8(std::string_view cp1251) {
        return XmlSafe(Cp1251ToUtf8(cp1251), controlsReplaced_);
    }

    void Category(std::string_view group) {
        std::string path;
        for (char c : Utf8(group)) {
            path += c == '/' ? "//" : std::string(1, c);
        }
        Out += "  <question type=\"category\">\n    <category>\n      <text>" +
               Escaped("$course$/top" + (group.empty() ? "" : "/" + path)) +
               "</text>\n    </category>\n    <info format=\"moodle_auto_format\">\n"
               "      <text></text>\n    </info>\n  </question>\n\n";
    }

    void Problem(const TTezra& tezra, const TProblem& problem, std::size_t number) {
        if (problem.Answers.Variants.empty()) {
            Warn(number, "нет вариантов ответа; задача не записана");
            return;
        }
        std::uint8_t mode = problem.Answers.Mode;
        if (mode > ModeInput) {
            Warn(number, "режим ответа " + std::to_string(mode) + " записан как RADIO");
            mode = ModeRadio;
        }
        const std::string name =
            problem.Title.empty() ? "Задача " + std::to_string(number) : Utf8(problem.Title);
        Out += std::string("  <question type=\"") +
               (mode == ModeInput ? "shortanswer" : "multichoice") + "\">\n";
        Out += "    <name>\n      <text>" + Escaped(name) + "</text>\n    </name>\n";
        QuestionText(problem, number);
        Out +=
            "    <generalfeedback format=\"html\">\n      <text></text>\n"
            "    </generalfeedback>\n";
        Out +=
            "    <defaultgrade>1</defaultgrade>\n    <penalty>0</penalty>\n"
            "    <hidden>0</hidden>\n";
        Out += "    <idnumber>" + Escaped(Utf8(problem.Id)) + "</idnumber>\n";
        if (mode == ModeInput) {
            Out += "    <usecase>0</usecase>\n";
        } else {
            Out += std::string("    <single>") + (mode == ModeRadio ? "true" : "false") +
                   "</single>\n    <shuffleanswers>" + (tezra.ShuffleVariants ? "1" : "0") +
                   "</shuffleanswers>\n    <answernumbering>abc</answernumbering>\n";
        }
        const char* format = mode == ModeInput ? "moodle_auto_format" : "plain_text";
        for (const TVariant& v : problem.Answers.Variants) {
            bool listed = false;
            const std::string fraction = Fraction(v.Weight, listed);
            if (!listed) {
                Warn(number, "вес " + std::to_string(v.Weight) + " % не из списка оценок " +
                                 "Moodle: при импорте в Moodle выберите «ближайшая оценка, " +
                                 "если нет в списке»");
            }
            Out += "    <answer fraction=\"" + fraction + "\" format=\"" + format + "\">\n" +
                   "      <text>" + Escaped(Utf8(v.Text)) + "</text>\n" +
                   "      <feedback format=\"html\">\n        <text></text>\n" +
                   "      </feedback>\n    </answer>\n";
        }
        Out += "  </question>\n\n";
    }

    void Finish() {
        if (controlsReplaced_) {
            warnings_.push_back({0, "export-changed",
                                 "управляющие символы, которых XML не допускает, записаны "
                                 "пробелами",
                                 false});
        }
    }

private:
    void Warn(std::size_t number, const std::string& text) {
        warnings_.push_back(
            {0, "export-changed", "задача " + std::to_string(number) + ": " + text, false});
    }

    void QuestionText(const TProblem& problem, std::size_t number) {
        std::string html;
        for (std::size_t i = 0; i < problem.Condition.size(); ++i) {
            html += (i == 0 ? "" : "<br>\n") + HtmlLine(Utf8(problem.Condition[i]));
        }
        const std::vector<std::uint8_t> picture = ProblemPicture(problem, options_);
        std::string file;
        if (!picture.empty()) {
            std::string name = std::filesystem::path(problem.PictureFile).filename().string();
            if (name.empty() || !IsValidPictureName(name)) {
                name = "picture-" + std::to_string(number) + ".jpg";
            }
            name = Utf8(name);
            html += "<br>\n<img src=\"@@PLUGINFILE@@/" + PercentEncoded(name) + "\" alt=\"\">";
            file = "      <file name=\"" + Escaped(name) + "\" path=\"/\" encoding=\"base64\">" +
                   EncodeBase64(picture) + "</file>\n";
        } else if (!problem.PictureFile.empty()) {
            Warn(number, "рисунок «" + Utf8(problem.PictureFile) + "» не найден и не записан");
        }
        Out += "    <questiontext format=\"html\">\n      <text>" + Cdata(html) + "</text>\n" +
               file + "    </questiontext>\n";
    }

    static bool IsValidPictureName(std::string_view name) {
        return name.find_first_of("\\/\"<>&") == std::string_view::npos;
    }

    static std::string PercentEncoded(std::string_view name) {
        std::string out;
        for (char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte <= 0x20 || c == '%' || c == '"' || c == '#' || c == '?' || byte >= 0x80) {
                constexpr char kHex[] = "0123456789ABCDEF";
                out += '%';
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            } else {
                out += c;
            }
        }
        return out;
    }

    const BankWriteOptions& options_;
    std::vector<BankWarning>& warnings_;
    bool controlsReplaced_ = false;
};

// What Moodle XML cannot hold, as the text of the comment at the top.
std::string StationParams(const TTezra& tezra) {
    std::string text = "Тест станции «" + Cp1251ToUtf8(tezra.Title) + "»";
    if (!tezra.Id.empty()) {
        text += " (ID " + Cp1251ToUtf8(tezra.Id) + ")";
    }
    text += ". В Moodle XML не переносятся: SHUFFLE=" + std::to_string(tezra.ShuffleFlags()) +
            ", DEFER=" + std::to_string(tezra.DeferLimit);
    for (int mark = 5; mark >= 2; --mark) {
        text += ", MARK" + std::to_string(mark) + "=" + FormatGeneral(tezra.MarkThresholds[mark]);
    }
    if (!tezra.Groups.empty()) {
        text += "; группы (имя >> квота, вес):";
        for (const TGroupEntry& entry : tezra.Groups) {
            text += " " + Cp1251ToUtf8(entry.Group->Name) + " >> " +
                    std::to_string(entry.Group->Quota) + ", " + FormatGeneral(entry.Group->Rate) +
                    ";";
        }
    }
    return CommentSafe(text);
}

}  // namespace

std::vector<std::uint8_t> ProblemPicture(const TProblem& problem,
                                         const BankWriteOptions& options) {
    if (!problem.Picture.empty() || problem.PictureFile.empty()) {
        return problem.Picture;
    }
    const std::filesystem::path path =
        FindPictureFile(problem.PictureFile, options.PictureFolder, options.PictureFolder);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error) ||
        std::filesystem::file_size(path, error) > BankMaxPictureBytes) {
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::string WriteMoodleXml(const TTezra& tezra, const BankWriteOptions& options,
                           std::vector<BankWarning>& warnings) {
    XmlWriter w(options, warnings);
    w.Out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- " + StationParams(tezra) +
            " -->\n<quiz>\n";
    warnings.push_back({0, "export-params",
                        "квоты групп, SHUFFLE, DEFER и пороги оценок в Moodle XML не "
                        "переносятся; они записаны комментарием в начале файла",
                        false});
    std::string group;
    for (std::size_t i = 0; i < tezra.Problems.size(); ++i) {
        const TProblem& problem = *tezra.Problems[i];
        if (problem.Group != group || (i == 0 && !group.empty())) {
            group = problem.Group;
            w.Category(group);
        }
        w.Problem(tezra, problem, i + 1);
    }
    w.Out += "</quiz>\n";
    w.Finish();
    return std::move(w.Out);
}
