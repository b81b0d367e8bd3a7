// SPDX-License-Identifier: GPL-3.0-or-later
// A small forgiving HTML-to-text pass: enough for the question texts of a bank, never more
// than one look at each byte.

#include "interchange/HtmlText.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

#include "platform/Cp1251.h"

namespace {

constexpr std::array<std::pair<std::string_view, char32_t>, 22> kEntities = {{
    {"amp", U'&'},        {"lt", U'<'},          {"gt", U'>'},          {"quot", U'"'},
    {"apos", U'\''},      {"nbsp", U'\u00A0'},   {"laquo", U'\u00AB'},  {"raquo", U'\u00BB'},
    {"mdash", U'\u2014'}, {"ndash", U'\u2013'},  {"hellip", U'\u2026'}, {"minus", U'\u2212'},
    {"times", U'\u00D7'}, {"divide", U'\u00F7'}, {"le", U'\u2264'},     {"ge", U'\u2265'},
    {"ne", U'\u2260'},    {"deg", U'\u00B0'},    {"plusmn", U'\u00B1'}, {"middot", U'\u00B7'},
    {"copy", U'\u00A9'},  {"shy", U'\u00AD'},
}};

constexpr std::array<std::string_view, 18> kBlockTags = {
    "p",  "div", "br", "li", "tr",    "h1",  "h2",         "h3", "h4",
    "h5", "h6",  "ul", "ol", "table", "pre", "blockquote", "hr", "dd"};

bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The lower-case name of a tag whose text (between < and >) is given; "/p" gives "p".
std::string TagName(std::string_view tag) {
    std::size_t i = 0;
    if (i < tag.size() && tag[i] == '/') {
        ++i;
    }
    std::string name;
    while (i < tag.size() && !IsHtmlSpace(tag[i]) && tag[i] != '/' && tag[i] != '>') {
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(tag[i])));
        ++i;
    }
    return name;
}

bool IsBlockTag(std::string_view name) {
    for (std::string_view block : kBlockTags) {
        if (block == name) {
            return true;
        }
    }
    return false;
}

// The value of one attribute of a tag's text, quoted or not; empty when there is none.
std::string AttributeValue(std::string_view tag, std::string_view attribute) {
    const std::string lower = AnsiLowerCase(tag);
    std::size_t at = 0;
    while ((at = lower.find(attribute, at)) != std::string::npos) {
        const bool startsWord = at > 0 && IsHtmlSpace(lower[at - 1]);
        std::size_t i = at + attribute.size();
        while (i < lower.size() && IsHtmlSpace(lower[i])) {
            ++i;
        }
        if (!startsWord || i >= lower.size() || lower[i] != '=') {
            at += attribute.size();
            continue;
        }
        ++i;
        while (i < lower.size() && IsHtmlSpace(lower[i])) {
            ++i;
        }
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const std::size_t end = tag.find(tag[i], i + 1);
            return DecodeEntities(tag.substr(
                i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1));
        }
        std::size_t end = i;
        while (end < tag.size() && !IsHtmlSpace(tag[end]) && tag[end] != '>') {
            ++end;
        }
        return DecodeEntities(tag.substr(i, end - i));
    }
    return {};
}

// Calls onText for each run of text and onTag for each tag's inner text, in order.
template <typename Text, typename Tag>
void ScanHtml(std::string_view html, Text onText, Tag onTag) {
    std::size_t i = 0;
    while (i < html.size()) {
        const std::size_t open = html.find('<', i);
        if (open == std::string_view::npos) {
            onText(html.substr(i));
            return;
        }
        onText(html.substr(i, open - i));
        if (html.substr(open).starts_with("<!--")) {
            const std::size_t end = html.find("-->", open + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        const std::size_t close = html.find('>', open + 1);
        if (close == std::string_view::npos) {
            onText(html.substr(open));
            return;
        }
        onTag(html.substr(open + 1, close - open - 1));
        i = close + 1;
    }
}

}  // namespace

std::string CodePointToUtf8(char32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = 0xFFFD;
    }
    std::string out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

std::string DecodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, amp - i));
        const std::size_t semi = text.find(';', amp + 1);
        if (semi == std::string_view::npos || semi - amp > 12) {
            out += '&';
            i = amp + 1;
            continue;
        }
        const std::string_view name = text.substr(amp + 1, semi - amp - 1);
        std::optional<char32_t> code;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            std::uint32_t value = 0;
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(),
                                                      value, hex ? 16 : 10);
            if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty()) {
                code = value;
            }
        } else {
            for (const auto& [entity, value] : kEntities) {
                if (entity == name) {
                    code = value;
                }
            }
        }
        if (!code) {
            out += '&';
            i = amp + 1;
            continue;
        }
        out += CodePointToUtf8(*code);
        i = semi + 1;
    }
    return out;
}

std::string TidyLines(std::string_view text) {
    std::string out;
    std::size_t blanks = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && (IsHtmlSpace(line.back()))) {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            ++blanks;
        } else {
            if (!out.empty()) {
                out.append(blanks + 1, '\n');
            }
            out.append(line);
            blanks = 0;
        }
        start = end + 1;
    }
    return out;
}

std::string HtmlToPlain(std::string_view html) {
    std::string out;
    bool space = false;
    bool skipping = false;  // inside script or style
    auto onText = [&](std::string_view text) {
        if (skipping) {
            return;
        }
        for (char c : DecodeEntities(text)) {
            if (IsHtmlSpace(c)) {
                space = true;
                continue;
            }
            if (space && !out.empty() && out.back() != '\n') {
                out += ' ';
            }
            space = false;
            out += c;
        }
    };
    auto onTag = [&](std::string_view tag) {
        const std::string name = TagName(tag);
        if (name == "script" || name == "style") {
            skipping = !tag.starts_with("/");
        } else if (name == "br") {
            out += '\n';
            space = false;
        } else if (IsBlockTag(name)) {
            // A paragraph, list item or other block starts and ends a line, never an empty one.
            if (!out.empty() && out.back() != '\n') {
                out += '\n';
            }
            space = false;
        }
    };
    ScanHtml(html, onText, onTag);
    std::string lines;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == ' ' && (i + 1 == out.size() || out[i + 1] == '\n')) {
            continue;
        }
        lines += out[i];
    }
    std::string trimmed;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == ' ' && (i == 0 || lines[i - 1] == '\n')) {
            continue;
        }
        trimmed += lines[i];
    }
    // Non-breaking spaces hold blanks that HTML would collapse; they become plain blanks last.
    const std::string tidy = TidyLines(trimmed);
    std::string plain;
    plain.reserve(tidy.size());
    for (std::size_t i = 0; i < tidy.size(); ++i) {
        if (tidy.compare(i, 2, "\xC2\xA0") == 0) {
            plain += ' ';
            ++i;
        } else {
            plain += tidy[i];
        }
    }
    return plain;
}

std::vector<std::string> HtmlImageSources(std::string_view html) {
    std::vector<std::string> sources;
    ScanHtml(
        html, [](std::string_view) {},
        [&](std::string_view tag) {
            if (TagName(tag) == "img") {
                std::string src = AttributeValue(tag, "src");
                if (!src.empty()) {
                    sources.push_back(std::move(src));
                }
            }
        });
    return sources;
}
