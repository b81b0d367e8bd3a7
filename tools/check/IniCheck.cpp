// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/IniCheck.h"

#include <array>
#include <fstream>
#include <iterator>

#include "platform/Cp1251.h"
#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "tools/check/CheckText.h"

namespace {

struct TKnownKey {
    std::string_view Name;
    const char* Default;  // what a missing key or a value that is not an integer gives
};

constexpr std::array<TKnownKey, 7> kGeneralKeys = {{
    {"needlogin", "0"},
    {"needpassword", "0"},
    {"refreshtezras", "0"},
    {"secure", "1"},
    {"saveresults", "1"},
    {"reportlevel", "0"},
    {"resume", "1"},
}};

const TKnownKey* FindKey(std::string_view key) {
    for (const TKnownKey& known : kGeneralKeys) {
        if (AnsiSameText(known.Name, key)) {
            return &known;
        }
    }
    return nullptr;
}

bool IsKnownSection(std::string_view name) {
    return AnsiSameText(name, "general") || AnsiSameText(name, "groups") ||
           AnsiSameText(name, "servers");
}

class TIniChecker {
public:
    TIniChecker(const TIniFile& ini, TIniCheck& result) : Ini(ini), Result(result) {}

    void Run() {
        for (std::size_t line : Ini.LinesOutsideSections()) {
            Warn(line, "ini-outside-section",
                 "строка стоит до первого раздела: станция её не читает");
        }
        const auto& sections = Ini.AllSections();
        for (std::size_t i = 0; i < sections.size(); ++i) {
            CheckSection(sections, i);
        }
    }

private:
    void Warn(std::size_t line, const char* code, std::string text) {
        Result.Report.Add(TSeverity::Warning, line, code, std::move(text));
    }

    void CheckSection(const std::vector<TIniFile::Section>& sections, std::size_t i) {
        const TIniFile::Section& section = sections[i];
        const std::string name = "[" + Cp1251ToUtf8(section.Name) + "]";
        for (std::size_t earlier = 0; earlier < i; ++earlier) {
            if (AnsiSameText(sections[earlier].Name, section.Name)) {
                Warn(section.Line, "ini-repeated-section",
                     "раздел " + name + " уже был в строке " +
                         std::to_string(sections[earlier].Line) +
                         ": станция читает только первый");
                return;
            }
        }
        if (!IsKnownSection(section.Name)) {
            Warn(section.Line, "ini-unknown-section",
                 "неизвестный раздел " + name +
                     ": станция читает только [general], [groups] "
                     "и [servers]");
            return;
        }
        if (AnsiSameText(section.Name, "general")) {
            CheckGeneral(section);
            return;
        }
        const bool servers = AnsiSameText(section.Name, "servers");
        for (const TIniFile::Entry& entry : section.Entries) {
            if (servers) {
                Result.ServerLines.push_back(entry.Line);
            }
            if (!entry.Value.empty()) {
                Warn(entry.Line, "ini-value-ignored",
                     "в разделе " + name + " читается только часть до «=»: " +
                         Quoted(entry.Value) + " после «=» не действует");
            }
        }
    }

    void CheckGeneral(const TIniFile::Section& section) {
        for (std::size_t i = 0; i < section.Entries.size(); ++i) {
            const TIniFile::Entry& entry = section.Entries[i];
            const TKnownKey* known = FindKey(entry.Key);
            if (known == nullptr) {
                Warn(entry.Line, "ini-unknown-key",
                     "неизвестный ключ " + Quoted(entry.Key) +
                         " в разделе [general]: станция "
                         "его не читает");
                continue;
            }
            if (const std::size_t first = FirstLineOf(section, i); first != 0) {
                Warn(entry.Line, "ini-repeated-key",
                     "ключ " + Quoted(entry.Key) + " уже задан в строке " + std::to_string(first) +
                         ": действует первый");
                continue;
            }
            if (!ParseInt(entry.Value)) {
                Warn(entry.Line, "ini-not-integer",
                     "значение " + Quoted(entry.Value) + " ключа " + Quoted(entry.Key) +
                         " — не целое число: берётся " + known->Default);
            }
        }
    }

    // The line of an earlier entry with the same key, or 0.
    static std::size_t FirstLineOf(const TIniFile::Section& section, std::size_t i) {
        for (std::size_t k = 0; k < i; ++k) {
            if (AnsiSameText(section.Entries[k].Key, section.Entries[i].Key)) {
                return section.Entries[k].Line;
            }
        }
        return 0;
    }

    const TIniFile& Ini;
    TIniCheck& Result;
};

}  // namespace

TIniCheck CheckIniFile(const std::filesystem::path& path, const std::string& shown) {
    TIniCheck result;
    result.Report.File = shown;
    TIniFile ini;
    if (!ini.LoadFromFile(path)) {
        result.Report.Add(TSeverity::Error, std::nullopt, "ini-unreadable",
                          "файл настроек не читается: станция работает со встроенными "
                          "настройками");
        return result;
    }
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (LooksLikeUtf8(text)) {
        result.Report.Add(TSeverity::Warning, std::nullopt, "utf8-text",
                          "файл, похоже, в кодировке UTF-8: станция читает Windows-1251, и "
                          "русские буквы будут испорчены");
    }
    TIniChecker(ini, result).Run();
    return result;
}
