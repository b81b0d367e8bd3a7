// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/convert/ConvertRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "interchange/Convert.h"
#include "tools/check/CheckOutput.h"

namespace {

namespace fs = std::filesystem;

// Writes the bytes beside the path, flushes them to disk and renames them into place, so that
// converting a file onto itself never leaves it half written.
bool WriteDurably(const fs::path& path, std::string_view bytes) {
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == bytes.size() && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    close(fd);
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

void AddWarnings(TFileReport& report, const std::vector<BankWarning>& warnings) {
    for (const BankWarning& w : warnings) {
        report.Add(w.Error ? TSeverity::Error : TSeverity::Warning,
                   w.Line > 0 ? std::optional<std::size_t>(w.Line) : std::nullopt, w.Code, w.Text);
    }
}

ConvertOutcome UsageError(ConvertOutcome outcome, std::string text) {
    outcome.ExitCode = 2;
    outcome.Usage = std::move(text);
    return outcome;
}

}  // namespace

ConvertOutcome RunConversion(const ConvertRequest& request) {
    ConvertOutcome outcome;
    outcome.Report.File = request.Shown.empty() ? request.In.string() : request.Shown;
    const BankFormat from =
        request.From != BankFormat::Unknown ? request.From : BankFormatOfPath(request.In);
    const BankFormat to =
        request.To != BankFormat::Unknown ? request.To : BankFormatOfPath(request.Out);
    if (from == BankFormat::Unknown) {
        return UsageError(outcome, "the format of IN is not known by its extension; use --from");
    }
    if (to == BankFormat::Unknown) {
        return UsageError(outcome, "the format of OUT is not known by its extension; use --to");
    }
    if (to == BankFormat::Aiken) {
        return UsageError(outcome, "Aiken is read, not written");
    }
    std::error_code error;
    const bool regular = fs::is_regular_file(request.In, error);
    if (!regular || fs::file_size(request.In, error) > BankMaxFileBytes || error) {
        outcome.Report.Add(TSeverity::Error, std::nullopt, "unreadable",
                           regular ? "файл больше " +
                                         std::to_string(BankMaxFileBytes / (1024 * 1024)) +
                                         " МиБ или не читается"
                                   : "нет такого файла (или это не обычный файл)");
        outcome.ExitCode = 2;
        return outcome;
    }
    BankReadResult read = ReadQuestionBankFile(request.In, from);
    AddWarnings(outcome.Report, read.Warnings);
    outcome.Converted = read.Converted;
    outcome.LeftOut = read.LeftOut;
    if (read.Converted == 0) {
        outcome.Report.Add(TSeverity::Error, std::nullopt, "nothing-converted",
                           "ни одной задачи не получилось; файл не записан");
        outcome.ExitCode = 1;
        return outcome;
    }
    BankWriteOptions options;
    options.PictureFolder =
        request.In.parent_path().empty() ? fs::path(".") : request.In.parent_path();
    std::vector<BankWarning> written;
    const std::string bytes = WriteQuestionBank(*read.Tezra, to, options, written);
    AddWarnings(outcome.Report, written);
    if (!WriteDurably(request.Out, bytes)) {
        outcome.Report.Add(TSeverity::Error, std::nullopt, "not-written",
                           "не удалось записать " + request.Out.string());
        outcome.ExitCode = 2;
        return outcome;
    }
    outcome.ExitCode = 0;
    return outcome;
}

std::string ConvertSummary(const ConvertOutcome& outcome) {
    int leftOut = 0;
    std::string kinds;
    for (const LeftOutKind& kind : outcome.LeftOut) {
        leftOut += kind.Count;
        kinds += (kinds.empty() ? ": " : ", ") + kind.Kind + " " + std::to_string(kind.Count);
    }
    return outcome.Report.File + ": преобразовано задач " + std::to_string(outcome.Converted) +
           ", пропущено " + std::to_string(leftOut) + kinds;
}

void PrintConvertText(std::ostream& out, const ConvertOutcome& outcome, bool quiet) {
    TCheckRun run;
    run.Files.push_back(outcome.Report);
    PrintCheckText(out, run, quiet);
    if (!quiet) {
        out << ConvertSummary(outcome) << "\n";
    }
}

nlohmann::ordered_json ConvertJson(const ConvertOutcome& outcome, bool quiet) {
    TCheckRun run;
    run.Files.push_back(outcome.Report);
    nlohmann::ordered_json json = CheckJson(run, quiet);
    nlohmann::ordered_json leftOut = nlohmann::ordered_json::object();
    for (const LeftOutKind& kind : outcome.LeftOut) {
        leftOut[kind.Kind] = kind.Count;
    }
    json["converted"] = outcome.Converted;
    json["leftOut"] = leftOut;
    return json;
}
