// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sync/StationSync.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <system_error>
#include <vector>

#include "settings/ResultLog.h"
#include "tools/sync/PlainNames.h"
#include "tools/sync/SyncFiles.h"
#include "tools/sync/SyncHttp.h"
#include "tools/sync/SyncProtocol.h"

namespace fs = std::filesystem;

namespace {

enum class Outcome { Ok = 0, Unreachable = 1, Failed = 2 };

Outcome Worse(Outcome a, Outcome b) {
    return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

// An answer that is a network failure or not 200, as a line's reason.
std::string ReplyProblem(const SyncReply& reply) {
    if (reply.Error != SyncNetError::None) {
        return to_string(reply.Error);
    }
    if (reply.Status == 401) {
        return "сервер не принял ключ станции";
    }
    return reply.Status == 200 ? std::string() : "ответ сервера " + std::to_string(reply.Status);
}

// A server that cannot be reached, stalls or sends what it should not counts as not reached
// (nothing changed); an answer it refuses with, such as a wrong key, is an error.
Outcome NetOutcome(const SyncReply& reply) {
    return reply.Error != SyncNetError::None ? Outcome::Unreachable : Outcome::Failed;
}

class TestsDown {
public:
    TestsDown(const SyncOptions& options, SyncHttp& http, SyncState& state, std::ostream& out)
        : http_(http),
          state_(state),
          out_(out),
          folder_(options.StationDir / "tezra"),
          staging_(folder_ / kSyncStagingFolder) {}

    ~TestsDown() {
        std::error_code ignored;
        fs::remove_all(staging_, ignored);
    }

    Outcome Run() {
        std::error_code error;
        fs::create_directories(folder_, error);
        const SyncReply reply =
            http_.Send("GET", std::string(kStationManifestPath), {}, kMaxManifestBytes);
        if (const std::string problem = ReplyProblem(reply); !problem.empty()) {
            out_ << "Тесты: список с сервера не получен: " << problem << "\n";
            return NetOutcome(reply);
        }
        std::string reason;
        const auto manifest = ParseManifest(reply.Body, reason);
        if (!manifest) {
            out_ << "Тесты: список с сервера отклонён: " << reason << "\n";
            return Outcome::Unreachable;
        }
        version_ = manifest->Version;
        const Outcome fetched = FetchAll(*manifest);
        return fetched == Outcome::Ok ? Install(*manifest) : fetched;
    }

    const std::string& Version() const { return version_; }

private:
    bool HandPlaced(const std::string& name) const {
        std::error_code error;
        return state_.Files.count(name) == 0 &&
               fs::symlink_status(folder_ / name, error).type() != fs::file_type::not_found;
    }

    bool AlreadyThere(const ManifestFile& file) const {
        if (state_.Files.count(file.Name) == 0) {
            return false;
        }
        const auto bytes = ReadSmallFile(folder_ / file.Name, kMaxSyncFileBytes);
        return bytes && static_cast<std::int64_t>(bytes->size()) == file.Size &&
               Sha256Hex(*bytes) == file.Sha256;
    }

    Outcome FetchAll(const Manifest& manifest) {
        std::error_code error;
        fs::remove_all(staging_, error);
        if (!fs::create_directory(staging_, error)) {
            out_ << "Тесты: не создать папку " << staging_.string() << ": " << error.message()
                 << "\n";
            return Outcome::Failed;
        }
        for (const ManifestFile& file : manifest.Files) {
            if (HandPlaced(file.Name)) {
                out_ << "Тесты: " << file.Name << " положен вручную и не заменяется\n";
                continue;
            }
            if (AlreadyThere(file)) {
                keep_.push_back(file.Name);
                continue;
            }
            const Outcome fetched = Fetch(file);
            if (fetched != Outcome::Ok) {
                return fetched;
            }
        }
        return Outcome::Ok;
    }

    Outcome Fetch(const ManifestFile& file) {
        const SyncReply reply =
            http_.Send("GET", std::string(kStationFilesPath) + EncodePathSegment(file.Name), {},
                       static_cast<std::size_t>(file.Size));
        if (const std::string problem = ReplyProblem(reply); !problem.empty()) {
            out_ << "Тесты: " << file.Name << " не получен: " << problem
                 << "; папка не изменена\n";
            return reply.Error == SyncNetError::None ? Outcome::Failed : Outcome::Unreachable;
        }
        if (static_cast<std::int64_t>(reply.Body.size()) != file.Size ||
            Sha256Hex(reply.Body) != file.Sha256) {
            out_ << "Тесты: " << file.Name
                 << " не совпал с размером или SHA-256 из списка; папка не изменена\n";
            return Outcome::Unreachable;
        }
        const fs::path staged = staging_ / std::to_string(fetched_.size());
        std::string reason;
        if (!WriteFileDurably(staged, reply.Body, reason)) {
            out_ << "Тесты: " << file.Name << " не записан: " << reason << "; папка не изменена\n";
            return Outcome::Failed;
        }
        fetched_.emplace_back(file.Name, staged);
        return Outcome::Ok;
    }

    // Every file is checked and waits beside its place: the state first names old and new
    // files (a crash in between leaves nothing unknown behind), then the renames, then the
    // files no longer published go.
    Outcome Install(const Manifest& manifest) {
        SyncState next = state_;
        for (const auto& [name, staged] : fetched_) {
            next.Files.insert(name);
        }
        std::string reason;
        if (!SaveSyncState(folder_ / kSyncStateFile, next, reason)) {
            out_ << "Тесты: состояние не записано: " << reason << "; папка не изменена\n";
            return Outcome::Failed;
        }
        for (const auto& [name, staged] : fetched_) {
            if (::rename(staged.c_str(), (folder_ / name).c_str()) != 0) {
                out_ << "Тесты: " << name << " не поставлен на место: " << std::strerror(errno)
                     << "\n";
                return Outcome::Failed;
            }
            out_ << "Тесты: получен " << name << "\n";
        }
        SyncFolder(folder_);
        std::set<std::string> published;
        for (const ManifestFile& file : manifest.Files) {
            published.insert(file.Name);
        }
        for (const std::string& name : state_.Files) {
            if (published.count(name) == 0) {
                std::error_code error;
                fs::remove(folder_ / name, error);
                out_ << "Тесты: удалён снятый с публикации " << name << "\n";
            }
        }
        SyncFolder(folder_);
        next.Files.clear();
        for (const auto& [name, staged] : fetched_) {
            next.Files.insert(name);
        }
        next.Files.insert(keep_.begin(), keep_.end());
        next.Version = version_;
        state_ = next;
        if (!SaveSyncState(folder_ / kSyncStateFile, state_, reason)) {
            out_ << "Тесты: состояние не записано: " << reason << "\n";
            return Outcome::Failed;
        }
        out_ << "Тесты: набор " << version_ << " на месте (" << manifest.Files.size()
             << " файлов, новых " << fetched_.size() << ")\n";
        return Outcome::Ok;
    }

    SyncHttp& http_;
    SyncState& state_;
    std::ostream& out_;
    fs::path folder_;
    fs::path staging_;
    std::string version_;
    std::vector<std::pair<std::string, fs::path>> fetched_;
    std::vector<std::string> keep_;
};

std::uint64_t CountLines(std::string_view bytes) {
    std::uint64_t lines = 0;
    for (const char c : bytes) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

// Where the piece of the journal to send ends: after its last complete line, before a last
// record that is still missing lines (it may be being written; it goes with a later run, or
// is reported as damaged once another record follows it), and within one request's size.
std::size_t SendableEnd(std::string_view tail) {
    std::size_t end = tail.rfind('\n');
    if (end == std::string_view::npos) {
        return 0;
    }
    end += 1;
    if (end > kMaxJournalChunk) {
        const std::size_t cut = tail.substr(0, kMaxJournalChunk).rfind('\n');
        end = cut == std::string_view::npos ? kMaxJournalChunk : cut + 1;
    }
    const std::string_view piece = tail.substr(0, end);
    std::size_t lineStart = 0;
    std::size_t lastRecord = std::string_view::npos;
    std::size_t linesAfter = 0;
    while (lineStart < piece.size()) {
        const std::size_t lineEnd = piece.find('\n', lineStart);
        std::string_view line = piece.substr(lineStart, lineEnd - lineStart);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (line == kResultRecordSeparator) {
            lastRecord = lineStart;
            linesAfter = 0;
        } else {
            ++linesAfter;
        }
        lineStart = lineEnd + 1;
    }
    if (lastRecord != std::string_view::npos && linesAfter < kResultRecordKeys.size() &&
        end == tail.rfind('\n') + 1) {
        return lastRecord;
    }
    return end;
}

class JournalsUp {
public:
    JournalsUp(const SyncOptions& options, SyncHttp& http, SyncState& state, std::ostream& out)
        : options_(options), http_(http), state_(state), out_(out) {}

    Outcome Run(std::int64_t& sent) {
        const fs::path journal = options_.StationDir / "report.log";
        struct stat info {};
        if (::stat(journal.c_str(), &info) != 0) {
            out_ << "Журнал: report.log нет, отправлять нечего\n";
            return Outcome::Ok;
        }
        const auto bytes = ReadSmallFile(journal, 1ULL << 31);
        if (!bytes) {
            out_ << "Журнал: report.log не читается\n";
            return Outcome::Failed;
        }
        JournalCursor& cursor = state_.Journal;
        if (cursor.Offset > bytes->size() || cursor.Inode != info.st_ino ||
            Sha256Hex(std::string_view(*bytes).substr(
                0, std::min<std::uint64_t>(cursor.Offset, 4096))) != cursor.HeadSha) {
            if (cursor.Offset != 0) {
                out_ << "Журнал: report.log заменён или укорочен, отправляется с начала\n";
            }
            cursor = {};
            cursor.Inode = info.st_ino;
        }
        while (cursor.Offset < bytes->size()) {
            const std::string_view tail = std::string_view(*bytes).substr(cursor.Offset);
            const std::size_t end = SendableEnd(tail);
            if (end == 0) {
                break;
            }
            const Outcome outcome = Send(tail.substr(0, end), sent);
            if (outcome != Outcome::Ok) {
                return outcome;
            }
            cursor.Offset += end;
            cursor.Lines += CountLines(tail.substr(0, end));
            cursor.HeadSha = Sha256Hex(
                std::string_view(*bytes).substr(0, std::min<std::uint64_t>(cursor.Offset, 4096)));
            std::string reason;
            if (!SaveSyncState(options_.StationDir / "tezra" / kSyncStateFile, state_, reason)) {
                out_ << "Журнал: не записано, сколько отправлено: " << reason << "\n";
                return Outcome::Failed;
            }
        }
        if (sent == 0) {
            out_ << "Журнал: новых записей нет\n";
        }
        return Outcome::Ok;
    }

private:
    Outcome Send(std::string_view piece, std::int64_t& sent) {
        const std::string target =
            std::string(kStationJournalPath) + "?host=" + EncodePathSegment(options_.StationName);
        const SyncReply reply = http_.Send("POST", target, piece, 64 * 1024);
        if (const std::string problem = ReplyProblem(reply); !problem.empty()) {
            out_ << "Журнал: записи не отправлены: " << problem << "\n";
            return NetOutcome(reply);
        }
        const nlohmann::json answer = nlohmann::json::parse(reply.Body, nullptr, false);
        if (!answer.is_object() || !answer.contains("added") || !answer["added"].is_number() ||
            !answer.contains("present") || !answer["present"].is_number()) {
            out_ << "Журнал: ответ сервера не читается\n";
            return Outcome::Failed;
        }
        const auto added = answer["added"].get<std::int64_t>();
        const auto present = answer["present"].get<std::int64_t>();
        sent += added + present;
        out_ << "Журнал: отправлено записей " << added + present << " (новых " << added
             << ", уже были на сервере " << present << ")\n";
        if (answer.contains("problems") && answer["problems"].is_array()) {
            for (const auto& problem : answer["problems"]) {
                if (problem.is_object() && problem.value("line", nlohmann::json()).is_number()) {
                    out_ << "Журнал: строка "
                         << state_.Journal.Lines + problem["line"].get<std::uint64_t>()
                         << ": повреждённая запись пропущена ("
                         << problem.value("reason", std::string()) << ")\n";
                }
            }
        }
        return Outcome::Ok;
    }

    const SyncOptions& options_;
    SyncHttp& http_;
    SyncState& state_;
    std::ostream& out_;
};

void SendStatus(SyncHttp& http, const SyncOptions& options, const std::string& version,
                bool failed) {
    if (http.Expired() || !http.Reached()) {
        return;
    }
    const std::string target =
        std::string(kStationStatusPath) + "?host=" + EncodePathSegment(options.StationName) +
        "&version=" + EncodePathSegment(version) + "&failed=" + (failed ? "1" : "0");
    http.Send("POST", target, failed ? "sync failed" : "", 1024);
}

}  // namespace

int RunStationSync(const SyncOptions& options, std::ostream& out) {
    const auto deadline = SyncHttp::Clock::now() + std::chrono::milliseconds(options.TimeoutMs);
    SyncHttp http(options.Host, options.Port, options.Key, deadline);
    const fs::path stateFile = options.StationDir / "tezra" / kSyncStateFile;
    SyncState state = LoadSyncState(stateFile);
    Outcome outcome = Outcome::Ok;
    std::string version = state.Version;
    {
        TestsDown down(options, http, state, out);
        outcome = down.Run();
        if (outcome == Outcome::Ok) {
            version = down.Version();
        }
    }
    std::int64_t sent = 0;
    if (http.Reached()) {
        JournalsUp up(options, http, state, out);
        outcome = Worse(outcome, up.Run(sent));
    }
    SendStatus(http, options, version, outcome != Outcome::Ok);
    if (!http.Reached()) {
        return static_cast<int>(Outcome::Unreachable);
    }
    return static_cast<int>(outcome);
}
