// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/StationCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <optional>
#include <system_error>

#include "model/MemoryStream.h"
#include "platform/Cp1251.h"
#include "platform/FileEnum.h"
#include "platform/TestFileTypes.h"
#include "settings/AttemptJournal.h"
#include "settings/TestDescription.h"
#include "settings/UCommon.h"
#include "tools/check/CheckText.h"
#include "tools/check/IniCheck.h"
#include "tools/check/PictureCheck.h"
#include "tools/check/ServerCheck.h"
#include "tools/check/TestCheck.h"

namespace {

// Room that a record needs on the disk, with its separating empty line and some to spare.
constexpr unsigned long long kRecordRoom = 4096;

// Why no record could be appended to the log; empty when one could. An existing log is
// opened for appending (without waiting, so a FIFO cannot hold the check) and closed again,
// unchanged; for a missing one the folder must let the station create it; either way the disk
// must have room for a record.
std::string LogRefusal(const std::filesystem::path& log) {
    std::error_code error;
    if (std::filesystem::exists(log, error)) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return std::generic_category().message(errno);
        }
        struct stat info {};
        const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
        ::close(fd);
        if (!regular) {
            return "это не обычный файл";
        }
    } else if (::access(log.parent_path().c_str(), W_OK | X_OK) != 0) {
        return std::generic_category().message(errno);
    }
    struct statvfs disk {};
    if (::statvfs(log.parent_path().c_str(), &disk) == 0) {
        // The superuser may also fill the blocks kept in reserve.
        const unsigned long long blocks = ::geteuid() == 0 ? disk.f_bfree : disk.f_bavail;
        if (blocks * disk.f_frsize < kRecordRoom) {
            return "на диске нет места";
        }
    }
    return {};
}

class TStationChecker {
public:
    TStationChecker(const TStationCheckOptions& options, const std::filesystem::path& folder,
                    TCheckRun& run)
        : Options(options), Folder(folder), Settings(folder / "tezra-net"), Run(run) {
        Station.File = options.Folder;
    }

    void Check() {
        CheckIniAndServers();
        for (const auto& test : Settings.TestFiles) {
            Run.Files.push_back(CheckTestFile(test, Shown(test), {Folder}));
            CheckDescription(test);
        }
        if (Settings.TestFiles.empty()) {
            Station.Add(TSeverity::Error, std::nullopt, "no-tests",
                        "в папке tezra нет ни одного теста (" +
                            TestExtensionList(TTestFormat::Unknown, "или") +
                            "): ученикам нечего выбрать");
        }
        CheckStrayDescriptions();
        for (const auto& picture : Settings.SplashFiles) {
            CheckSplash(picture);
        }
        if (Settings.SplashFiles.empty()) {
            Station.Add(TSeverity::Warning, std::nullopt, "no-splash",
                        "в папке splash нет рисунков (.jpg, .jpeg): заставка будет пустой");
        }
        const std::string refusal = Settings.SaveResults ? LogRefusal(Settings.ReportLog) : "";
        if (!refusal.empty()) {
            Station.Add(TSeverity::Error, std::nullopt, "report-log-not-writable",
                        "в " + Shown(Settings.ReportLog) + " нельзя дописать запись (" + refusal +
                            "): результаты на станции не сохранятся");
        }
        CheckAttemptJournal();
        if (!Station.Diagnostics.empty()) {
            Run.Files.push_back(Station);
        }
        Summary.Folder = Options.Folder;
        Summary.Tests = static_cast<int>(Settings.TestFiles.size());
        Summary.SplashPictures = static_cast<int>(Settings.SplashFiles.size());
        Run.Station = Summary;
    }

private:
    // A path below the station folder, named from the folder as the user gave it.
    std::string Shown(const std::filesystem::path& path) const {
        return (std::filesystem::path(Options.Folder) / path.lexically_relative(Folder)).string();
    }

    void CheckIniAndServers() {
        std::optional<TIniCheck> ini;
        std::error_code error;
        if (std::filesystem::exists(Settings.IniPath, error)) {
            ini = CheckIniFile(Settings.IniPath, Shown(Settings.IniPath));
        }
        const std::vector<TServerProbe> probes =
            ProbeServers(Options.StartServer, Settings.Servers, Options.ConnectTimeoutMs);
        for (const TServerProbe& probe : probes) {
            Summary.ServersTried += 1;
            Summary.ServersReachable += probe.Reachable ? 1 : 0;
            if (probe.Reachable) {
                continue;
            }
            const auto index = static_cast<std::size_t>(probe.ListIndex);
            if (probe.ListIndex >= 0 && ini && index < ini->ServerLines.size()) {
                ini->Report.Add(TSeverity::Warning, ini->ServerLines[index], "server-down",
                                "сервер результатов " + Quoted(probe.Address) +
                                    " не принимает соединение: " + probe.Why);
            } else {
                Station.Add(TSeverity::Warning, std::nullopt, "server-down",
                            std::string(probe.ListIndex < 0 ? "сервер, с которым станция "
                                                              "запускается, "
                                                            : "сервер результатов ") +
                                Quoted(probe.Address) + " не принимает соединение: " + probe.Why);
            }
        }
        if (Summary.ServersReachable == 0) {
            Station.Add(TSeverity::Error, std::nullopt, "no-server",
                        "ни один сервер результатов не принимает соединение: результаты не "
                        "уйдут, и ученикам придётся звать учителя");
        }
        if (ini) {
            SortByPlace(ini->Report);
            Run.Files.push_back(std::move(ini->Report));
        }
    }

    // A journal left by a crash waits for the station's next start.
    void CheckAttemptJournal() {
        const std::filesystem::path& path = Settings.AttemptJournal;
        const TJournalRead read = ReadAttemptJournal(path);
        if (read.Kind == TJournalRead::State::Damaged) {
            Station.Add(TSeverity::Warning, std::nullopt, "attempt-damaged",
                        Shown(path) + " повреждён: при запуске станция отложит его в " +
                            Shown(SetAsidePath(path)));
        } else if (read.Kind == TJournalRead::State::Valid) {
            const TAttemptJournal& journal = *read.Journal;
            const std::size_t left = journal.Progress.Pending.size();
            Station.Add(TSeverity::Warning, std::nullopt, "attempt-waiting",
                        "в " + Shown(path) +
                            " ждёт тест, прерванный сбоем: " + Cp1251ToUtf8(journal.User) + " (" +
                            Cp1251ToUtf8(journal.Group) + "), " + Cp1251ToUtf8(journal.TestName) +
                            ", осталось задач: " + std::to_string(left) +
                            ". При запуске станция продолжит его или запишет в report.log; "
                            "чтобы сбросить станцию, удалите этот файл");
        }
        std::error_code error;
        if (std::filesystem::exists(SetAsidePath(path), error)) {
            Station.Add(TSeverity::Warning, std::nullopt, "attempt-set-aside",
                        Shown(SetAsidePath(path)) +
                            ": станция отложила повреждённый журнал теста; его можно удалить");
        }
    }

    void CheckDescription(const std::filesystem::path& test) {
        const std::filesystem::path path = DescriptionPath(test);
        std::error_code error;
        if (!std::filesystem::exists(path, error)) {
            return;
        }
        TFileReport report;
        report.File = Shown(path);
        const std::optional<std::string> first = DescriptionFirstLine(test);
        if (!first) {
            report.Add(TSeverity::Warning, std::nullopt, "desc-unreadable",
                       "описание теста не читается: в списке тестов будет имя файла");
        } else if (first->empty()) {
            report.Add(TSeverity::Warning, 1, "desc-empty",
                       "первая строка описания пуста: в списке тестов будет имя файла");
        } else if (LooksLikeUtf8(*first)) {
            report.Add(TSeverity::Warning, 1, "utf8-text",
                       "описание, похоже, в кодировке UTF-8: станция читает Windows-1251, "
                       "и в списке тестов русские буквы будут испорчены");
        }
        if (!report.Diagnostics.empty()) {
            Run.Files.push_back(std::move(report));
        }
    }

    void CheckStrayDescriptions() {
        for (const auto& desc : EnumerateFiles(Settings.TestDir, "*.desc")) {
            const bool used = std::any_of(Settings.TestFiles.begin(), Settings.TestFiles.end(),
                                          [&desc](const std::filesystem::path& test) {
                                              return DescriptionPath(test) == desc;
                                          });
            if (!used) {
                TFileReport report;
                report.File = Shown(desc);
                report.Add(TSeverity::Warning, std::nullopt, "desc-without-test",
                           "рядом нет теста с тем же именем: станция это описание не показывает");
                Run.Files.push_back(std::move(report));
            }
        }
    }

    void CheckSplash(const std::filesystem::path& picture) {
        TMemoryStream bytes;
        bytes.LoadFromFile(picture);
        if (auto error = PictureError(bytes.Data(), bytes.Size(), std::nullopt, "splash",
                                      "рисунок заставки")) {
            TFileReport report;
            report.File = Shown(picture);
            report.Diagnostics.push_back(std::move(*error));
            Run.Files.push_back(std::move(report));
        }
    }

    const TStationCheckOptions& Options;
    std::filesystem::path Folder;
    TSettings Settings;
    TCheckRun& Run;
    TFileReport Station;
    TStationSummary Summary;
};

}  // namespace

bool CheckStation(const TStationCheckOptions& options, TCheckRun& run) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(options.Folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        return false;
    }
    TStationChecker(options, folder, run).Check();
    return true;
}
