// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/XlsxExport.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "collector/Exports.h"

namespace {

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookCloser>;

struct Formats {
    lxw_format* Header = nullptr;
    lxw_format* Time = nullptr;
    lxw_format* Points = nullptr;
};

// The UTF-8 characters of a text, at most count of them.
std::string FirstCharacters(const std::string& text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t taken = 0; at < text.size() && taken < count; ++taken) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
            ++at;
        }
    }
    return text.substr(0, at);
}

// Latin and Russian letters in lower case: sheet names are unique regardless of case.
std::string Lower(const std::string& text) {
    std::string lower;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c >= 'A' && c <= 'Z') {
            lower += static_cast<char>(c - 'A' + 'a');
        } else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) {  // А-П
            lower += {'\xD0', static_cast<char>(next + 0x20)};
            ++i;
        } else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) {  // Р-Я
            lower += {'\xD1', static_cast<char>(next - 0x20)};
            ++i;
        } else if (c == 0xD0 && next == 0x81) {  // Ё
            lower += "\xD1\x91";
            ++i;
        } else {
            lower += static_cast<char>(c);
        }
    }
    return lower;
}

// "2025-05-14T10:23:45+03:00" as the local calendar time it names.
lxw_datetime LocalDateTime(const std::string& stamp) {
    const auto field = [&stamp](std::size_t at, std::size_t length) {
        return at + length <= stamp.size() ? std::atoi(stamp.substr(at, length).c_str()) : 0;
    };
    return lxw_datetime{field(0, 4),  field(5, 2),  field(8, 2),
                        field(11, 2), field(14, 2), static_cast<double>(field(17, 2))};
}

lxw_worksheet* NewSheet(lxw_workbook* workbook, const std::string& name, const Formats& formats) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, name.c_str());
    if (sheet == nullptr) {
        return nullptr;
    }
    static constexpr double kWidths[] = {20, 16, 12, 36, 9, 8};
    static constexpr const char* kTitles[] = {"Время",   "Станция", "Класс",
                                              "Фамилия", "Баллы",   "Оценка"};
    for (lxw_col_t column = 0; column < 6; ++column) {
        worksheet_set_column(sheet, column, column, kWidths[column], nullptr);
        worksheet_write_string(sheet, 0, column, kTitles[column], formats.Header);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    return sheet;
}

void WriteRow(lxw_worksheet* sheet, lxw_row_t row, const StoredResult& result,
              const Formats& formats) {
    lxw_datetime time = LocalDateTime(result.ReceivedLocal);
    worksheet_write_datetime(sheet, row, 0, &time, formats.Time);
    worksheet_write_string(sheet, row, 1, result.Station.c_str(), nullptr);
    worksheet_write_string(sheet, row, 2, result.Group.c_str(), nullptr);
    worksheet_write_string(sheet, row, 3, result.User.c_str(), nullptr);
    worksheet_write_number(sheet, row, 4, static_cast<double>(result.Res) / 10000.0,
                           formats.Points);
    worksheet_write_number(sheet, row, 5, result.Mark, nullptr);
}

}  // namespace

std::string XlsxSheetName(const std::string& group, std::vector<std::string>& used) {
    std::string name;
    for (const char c : group) {
        name += std::string_view("[]:*?/\\").find(c) == std::string_view::npos ? c : '_';
    }
    while (!name.empty() && (name.front() == '\'' || name.front() == ' ')) {
        name.erase(0, 1);
    }
    name = FirstCharacters(name.empty() ? std::string("(без класса)") : name, 31);
    while (!name.empty() && name.back() == '\'') {
        name.pop_back();
    }
    std::string unique = name;
    for (int n = 2; std::find(used.begin(), used.end(), Lower(unique)) != used.end(); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        unique = FirstCharacters(name, 31 - suffix.size()) + suffix;
    }
    used.push_back(Lower(unique));
    return unique;
}

bool WriteResultsXlsx(ResultStore& store, ResultFilter filter, const std::filesystem::path& file,
                      std::string& error) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    std::string tmpdir = file.parent_path().string();
    options.tmpdir = tmpdir.data();
    Workbook workbook(workbook_new_opt(file.c_str(), &options));
    if (!workbook) {
        error = "the workbook cannot be created";
        return false;
    }
    Formats formats;
    formats.Header = workbook_add_format(workbook.get());
    format_set_bold(formats.Header);
    formats.Time = workbook_add_format(workbook.get());
    format_set_num_format(formats.Time, "dd.mm.yyyy hh:mm:ss");
    formats.Points = workbook_add_format(workbook.get());
    format_set_num_format(formats.Points, "0.####");

    const bool perClass = filter.Group.empty();
    filter.ByGroup = perClass;
    std::vector<std::string> used;
    lxw_worksheet* sheet = nullptr;
    lxw_row_t row = 0;
    std::string sheetGroup;
    bool sharedSheet = false;
    if (!perClass) {
        sheet = NewSheet(workbook.get(), XlsxSheetName(filter.Group, used), formats);
    }
    bool broken = false;
    const bool read = store.ForEach(filter, [&](const StoredResult& result) {
        const bool newClass =
            perClass && !sharedSheet && (sheet == nullptr || result.Group != sheetGroup);
        // A sheet holds about a million rows: the rest of its class goes on to another one.
        const bool full = sheet != nullptr && row + 1 >= LXW_ROW_MAX;
        if (newClass || full) {
            sharedSheet = sharedSheet || (newClass && used.size() + 1 >= kMaxXlsxSheets);
            const std::string& name = sharedSheet ? std::string("Прочие классы")
                                      : perClass  ? result.Group
                                                  : filter.Group;
            sheet = NewSheet(workbook.get(), XlsxSheetName(name, used), formats);
            sheetGroup = result.Group;
            row = 0;
        }
        if (sheet == nullptr) {
            broken = true;
            return false;
        }
        WriteRow(sheet, ++row, result, formats);
        return true;
    });
    if (sheet == nullptr) {
        sheet = NewSheet(workbook.get(), "Результаты", formats);
    }
    lxw_workbook* raw = workbook.release();
    const lxw_error closed = workbook_close(raw);
    if (closed != LXW_NO_ERROR) {
        error = lxw_strerror(closed);
        return false;
    }
    if (!read || broken) {
        error = "the results could not be read or written";
        return false;
    }
    return true;
}
