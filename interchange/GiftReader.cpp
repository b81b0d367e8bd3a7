// SPDX-License-Identifier: GPL-3.0-or-later
// GIFT: questions separated by blank lines, "//" comment lines, $CATEGORY: lines, an optional
// ::name::, a format marker, the text and one answer block in braces.

#include <algorithm>
#include <optional>

#include "interchange/HtmlText.h"
#include "interchange/Readers.h"
#include "interchange/TextCodec.h"
#include "model/UTypes.h"
#include "platform/Numbers.h"

namespace {

// Escaped characters stand in as private-use characters while the question is taken apart,
// so that no escaped one is read as syntax.
constexpr std::string_view kEscapable = "\\~=#{}:";

std::string Marker(std::size_t index) {
    return CodePointToUtf8(static_cast<char32_t>(0xE000 + index));
}

std::string HideEscapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const std::size_t index = kEscapable.find(text[i + 1]);
            if (index != std::string_view::npos) {
                out += Marker(index);
                ++i;
                continue;
            }
            if (text[i + 1] == 'n') {
                out += '\n';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string RestoreEscapes(const std::string& text) {
    // The markers are U+E000 to U+E006: EE 80 80 to EE 80 86 in UTF-8.
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\xEE\x80") == 0 && i + 2 < text.size()) {
            const auto index = static_cast<unsigned char>(text[i + 2]) - 0x80u;
            if (index < kEscapable.size()) {
                out += kEscapable[index];
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string_view TrimView(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

enum class TextFormat { Moodle, Html, Plain, Markdown };

// Takes a leading [html], [moodle], [plain] or [markdown] off the text; the blanks right
// after a marker are kept as part of the text. marked tells whether there was one.
TextFormat TakeFormat(std::string_view& text, bool* marked = nullptr) {
    const std::string_view trimmed = TrimView(text);
    for (const auto& [name, format] :
         {std::pair{"[html]", TextFormat::Html}, std::pair{"[moodle]", TextFormat::Moodle},
          std::pair{"[plain]", TextFormat::Plain},
          std::pair{"[markdown]", TextFormat::Markdown}}) {
        if (Lower(trimmed.substr(0, std::string_view(name).size())) == name) {
            text = trimmed.substr(std::string_view(name).size());
            if (marked != nullptr) {
                *marked = true;
            }
            return format;
        }
    }
    text = trimmed;
    return TextFormat::Moodle;
}

std::string PlainText(std::string_view text) {
    bool marked = false;
    const TextFormat format = TakeFormat(text, &marked);
    if (format == TextFormat::Html) {
        return HtmlToPlain(RestoreEscapes(std::string(text)));
    }
    while (marked && !text.empty() && (text.front() == '\n' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    return TidyLines(RestoreEscapes(std::string(marked ? text : TrimView(text))));
}

struct GiftAnswer {
    char Sign = '=';
    std::optional<double> Percent;
    std::string Text;  // with escapes still hidden
};

// Splits an answer block into its = and ~ answers; feedback after # is counted and dropped.
std::vector<GiftAnswer> SplitAnswers(std::string_view block, std::size_t line,
                                     BankCollector& bank) {
    std::vector<GiftAnswer> answers;
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (block[i] == '=' || block[i] == '~') {
            answers.push_back({block[i], std::nullopt, {}});
        } else if (!answers.empty()) {
            answers.back().Text += block[i];
        }
    }
    for (GiftAnswer& answer : answers) {
        const std::size_t hash = answer.Text.find('#');
        if (hash != std::string::npos) {
            if (!TrimView(std::string_view(answer.Text).substr(hash)).empty()) {
                bank.DropExtras(line);
            }
            answer.Text.erase(hash);
        }
        std::string_view text = TrimView(answer.Text);
        if (text.starts_with('%')) {
            const std::size_t close = text.find('%', 1);
            if (close != std::string_view::npos) {
                answer.Percent = ParseFloat(text.substr(1, close - 1));
                text = TrimView(text.substr(close + 1));
            }
        }
        answer.Text = std::string(text);
    }
    return answers;
}

std::string AnswerText(std::string_view text) {
    const std::string plain = RestoreEscapes(std::string(TrimView(text)));
    std::string_view unmarked = plain;
    if (TakeFormat(unmarked) == TextFormat::Html) {
        return HtmlToPlain(unmarked);
    }
    return std::string(TrimView(unmarked));
}

bool IsNumber(std::string_view text) {
    return ParseFloat(text).has_value();
}

// {#...}: exact numbers become INPUT variants; a tolerance or a range leaves the question out.
bool ReadNumerical(std::string_view block, BankQuestion& q, BankCollector& bank) {
    std::vector<GiftAnswer> answers;
    const std::string_view trimmed = TrimView(block);
    if (trimmed.starts_with('=')) {
        answers = SplitAnswers(trimmed, q.Line, bank);
    } else {
        std::string_view value = trimmed;
        if (const std::size_t hash = value.find('#'); hash != std::string_view::npos) {
            bank.DropExtras(q.Line);
            value = TrimView(value.substr(0, hash));
        }
        answers.push_back({'=', std::nullopt, std::string(value)});
    }
    for (const GiftAnswer& answer : answers) {
        std::string value = RestoreEscapes(answer.Text);
        if (value.find("..") != std::string::npos) {
            bank.LeaveOut(q.Line, "числовой с диапазоном", "числовой ответ задан диапазоном");
            return false;
        }
        if (const std::size_t colon = value.find(':'); colon != std::string::npos) {
            const std::optional<double> tolerance = ParseFloat(value.substr(colon + 1));
            if (!tolerance || *tolerance != 0.0) {
                bank.LeaveOut(q.Line, "числовой с допуском", "числовой ответ с допуском");
                return false;
            }
            value = std::string(TrimView(value.substr(0, colon)));
        }
        if (!IsNumber(value)) {
            bank.LeaveOut(q.Line, "повреждённый", "числовой ответ " + value + " не число");
            return false;
        }
        q.Variants.push_back(
            {value, answer.Percent ? RoundedWeight(*answer.Percent, q.Line, bank) : 100});
    }
    q.Mode = ModeInput;
    return true;
}

bool ReadTrueFalse(std::string_view block, BankQuestion& q, BankCollector& bank) {
    std::string_view value = TrimView(block);
    if (const std::size_t hash = value.find('#'); hash != std::string_view::npos) {
        bank.DropExtras(q.Line);
        value = TrimView(value.substr(0, hash));
    }
    const std::string word = Lower(value);
    const bool isTrue = word == "t" || word == "true";
    if (!isTrue && word != "f" && word != "false") {
        return false;
    }
    q.Mode = ModeRadio;
    q.Variants = {{"Верно", isTrue ? 100 : 0}, {"Неверно", isTrue ? 0 : 100}};
    return true;
}

bool ReadChoices(std::string_view block, BankQuestion& q, BankCollector& bank) {
    std::vector<GiftAnswer> answers = SplitAnswers(block, q.Line, bank);
    if (answers.empty()) {
        bank.LeaveOut(q.Line, "повреждённый", "в фигурных скобках нет ответов");
        return false;
    }
    const bool anyWrong = std::any_of(answers.begin(), answers.end(),
                                      [](const GiftAnswer& a) { return a.Sign == '~'; });
    const bool anyRight = std::any_of(answers.begin(), answers.end(),
                                      [](const GiftAnswer& a) { return a.Sign == '='; });
    if (!anyWrong && std::any_of(answers.begin(), answers.end(), [](const GiftAnswer& a) {
            return a.Text.find("->") != std::string::npos;
        })) {
        bank.LeaveOut(q.Line, "на соответствие", "вопрос на соответствие");
        return false;
    }
    int positive = 0;
    for (const GiftAnswer& answer : answers) {
        const std::int32_t weight = answer.Percent ? RoundedWeight(*answer.Percent, q.Line, bank)
                                                   : (answer.Sign == '=' ? 100 : 0);
        positive += weight > 0 ? 1 : 0;
        q.Variants.push_back({AnswerText(answer.Text), weight});
    }
    if (!anyWrong) {
        q.Mode = ModeInput;
    } else {
        q.Mode = !anyRight && positive > 1 ? ModeCombo : ModeRadio;
    }
    return true;
}

// The pictures of an HTML question text, read from beside the GIFT file.
void TakePictures(std::string_view rawText, const std::filesystem::path& folder, BankQuestion& q,
                  BankCollector& bank) {
    std::string_view text = rawText;
    if (TakeFormat(text) != TextFormat::Html) {
        return;
    }
    for (const std::string& source : HtmlImageSources(RestoreEscapes(std::string(text)))) {
        ReadPictureBeside(folder, source, q.Line, q, bank);
    }
}

void ReadQuestion(std::string_view rawBlock, std::size_t line, const std::string& category,
                  const std::filesystem::path& folder, BankCollector& bank) {
    const std::string hidden = HideEscapes(rawBlock);
    std::string_view block = TrimView(hidden);
    BankQuestion q;
    q.Line = line;
    q.Category = category;
    if (block.starts_with("::")) {
        const std::size_t close = block.find("::", 2);
        if (close != std::string_view::npos) {
            q.Name = RestoreEscapes(std::string(TrimView(block.substr(2, close - 2))));
            block = TrimView(block.substr(close + 2));
        }
    }
    const std::size_t open = block.find('{');
    if (open == std::string_view::npos) {
        bank.LeaveOut(line, "описание", "описание без ответов");
        return;
    }
    const std::size_t close = block.find('}', open + 1);
    if (close == std::string_view::npos) {
        bank.LeaveOut(line, "повреждённый", "фигурная скобка «{» не закрыта");
        return;
    }
    const std::string_view after = TrimView(block.substr(close + 1));
    if (after.find('{') != std::string_view::npos) {
        bank.LeaveOut(line, "вложенные ответы (cloze)", "в вопросе несколько блоков ответов");
        return;
    }
    std::string rawText(TrimView(block.substr(0, open)));
    if (!after.empty()) {
        rawText += " _____ ";
        rawText += after;
    }
    const std::string_view answerBlock = block.substr(open + 1, close - open - 1);
    const std::string_view trimmedBlock = TrimView(answerBlock);
    bool read = false;
    if (trimmedBlock.empty()) {
        bank.LeaveOut(line, "эссе", "эссе (ответ в свободной форме)");
    } else if (trimmedBlock.starts_with('#')) {
        read = ReadNumerical(trimmedBlock.substr(1), q, bank);
    } else if (ReadTrueFalse(trimmedBlock, q, bank)) {
        read = true;
    } else {
        read = ReadChoices(trimmedBlock, q, bank);
    }
    if (!read) {
        return;
    }
    q.Text = PlainText(rawText);
    TakePictures(rawText, folder, q, bank);
    bank.Questions.push_back(std::move(q));
}

}  // namespace

void ReadGift(std::string_view bytes, const std::filesystem::path& folder, BankCollector& bank) {
    bool wasCp1251 = false;
    const std::string text = InputToUtf8(bytes, wasCp1251);
    if (wasCp1251) {
        bank.Warn(0, "cp1251-input", "файл не в UTF-8; прочитан как cp1251");
    }
    std::string category;
    std::string block;
    std::size_t blockLine = 0;
    auto finish = [&] {
        if (!TrimView(block).empty()) {
            ReadQuestion(block, blockLine, category, folder, bank);
        }
        block.clear();
    };
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        ++lineNumber;
        const std::string_view line = std::string_view(text).substr(start, end - start);
        start = end + 1;
        const std::string_view trimmed = TrimView(line);
        if (trimmed.starts_with("//")) {
            continue;
        }
        // A blank line always ends a question, so that one unclosed brace costs one question.
        if (TrimView(block).empty() && trimmed.starts_with("$CATEGORY:")) {
            finish();
            category = CategoryLastPart(TrimView(trimmed.substr(10)));
            bank.SeeCategory(category);
            continue;
        }
        if (trimmed.empty()) {
            finish();
            continue;
        }
        if (TrimView(block).empty()) {
            blockLine = lineNumber;
        }
        block.append(line).append("\n");
    }
    finish();
}
