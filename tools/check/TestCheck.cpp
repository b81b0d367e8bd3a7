// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/TestCheck.h"

#include <system_error>

#include "model/UTypes.h"
#include "platform/TestFileTypes.h"
#include "tools/check/CheckText.h"
#include "tools/check/ReadListener.h"
#include "tools/check/TestRules.h"

namespace {

bool HasCode(const TFileReport& report, std::string_view code) {
    for (const TDiagnostic& diagnostic : report.Diagnostics) {
        if (diagnostic.Code == code) {
            return true;
        }
    }
    return false;
}

// The file as bytes; none when it is not an ordinary readable file.
std::optional<TMemoryStream> ReadWhole(const std::filesystem::path& path) {
    TMemoryStream stream;
    if (!stream.LoadFromFile(path)) {
        return std::nullopt;
    }
    return stream;
}

}  // namespace

TFileReport CheckTestFile(const std::filesystem::path& path, const std::string& shown,
                          const TTestCheckOptions& options) {
    TFileReport report;
    report.File = shown;
    const TTestFormat format = TestFormatOf(path);
    if (format == TTestFormat::Unknown) {
        report.Add(TSeverity::Error, std::nullopt, "unknown-extension",
                   "станция читает тесты только с расширениями " +
                       TestExtensionList(TTestFormat::Unknown, "или"));
        return report;
    }
    const bool binary = format == TTestFormat::Binary;
    report.PlaceKind = binary ? TPlaceKind::Offset : TPlaceKind::Line;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        report.Add(TSeverity::Error, std::nullopt, "file-missing", "файла нет");
        return report;
    }
    const std::optional<TMemoryStream> bytes = ReadWhole(path);
    if (!bytes) {
        report.Add(TSeverity::Error, std::nullopt, "file-unreadable", "файл не читается");
        return report;
    }

    TReadListener listener(report, binary);
    const bool loaded = LoadTestFile(path, &listener);
    listener.Finish();
    if (!loaded && HasCode(report, "too-many-records")) {
        return report;  // nothing of a damaged test is worth a rule
    }
    if (!binary && !HasCode(report, "not-a-test") && LooksLikeUtf8(bytes->Text())) {
        report.Add(TSeverity::Warning, std::nullopt, "utf8-text",
                   "файл, похоже, в кодировке UTF-8: станция читает Windows-1251, и русские "
                   "буквы будут испорчены");
    }

    TTezra& tezra = CurrentTezra();
    tezra.ProgramFolder = options.ProgramFolder;
    TRulesInput input{tezra, listener.Map(), {}, binary};
    for (std::size_t g = 0; g < tezra.Groups.size() && g < listener.Map().Groups.size(); ++g) {
        input.ListedQuotas.push_back(tezra.Groups[g].Group->Quota);
    }
    tezra.Prepare();
    tezra.SelectProblems();
    report.Summary = SummarizeTest(input);
    CheckTestRules(input, report.Summary->HighestPoints, report);
    SortByPlace(report);
    return report;
}
