// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results as an Excel workbook that opens with a double click: real numbers and dates,
// a header row, column widths, and one sheet per class when no class is chosen.

#include <filesystem>
#include <string>

#include "collector/ResultStore.h"

// At most this many sheets; the classes beyond share one last sheet.
inline constexpr std::size_t kMaxXlsxSheets = 250;

// A sheet name for a class: at most 31 characters, none of []:*?/\, unique within used.
std::string XlsxSheetName(const std::string& group, std::vector<std::string>& used);

// Writes the filter's rows to the file (in constant memory: rows go to disk as they come).
// False with the reason in error when the workbook cannot be written.
bool WriteResultsXlsx(ResultStore& store, ResultFilter filter, const std::filesystem::path& file,
                      std::string& error);
