// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sync/SyncFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "tools/sync/PlainNames.h"

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool SyncFolder(const std::filesystem::path& folder) {
    const Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Get() >= 0 && ::fsync(fd.Get()) == 0;
}

bool WriteFileDurably(const std::filesystem::path& path, const std::string& bytes,
                      std::string& error) {
    const std::filesystem::path temporary = path.string() + ".part";
    bool ok = false;
    {
        const Fd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        ok = fd.Get() >= 0 && WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
        if (!ok) {
            error = std::strerror(errno);
        }
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(path.parent_path());
    return true;
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path,
                                         std::uint64_t maxBytes) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

std::optional<std::string> ReadKeyFile(const std::filesystem::path& file) {
    auto text = ReadSmallFile(file, 64 * 1024);
    if (!text) {
        return std::nullopt;
    }
    std::string line = text->substr(0, text->find_first_of("\r\n"));
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    line.erase(0, first);
    line.erase(line.find_last_not_of(" \t") + 1);
    return line;
}

SyncState LoadSyncState(const std::filesystem::path& file) {
    SyncState state;
    const auto text = ReadSmallFile(file, 1024 * 1024);
    if (!text) {
        return state;
    }
    const nlohmann::json document = nlohmann::json::parse(*text, nullptr, false);
    if (!document.is_object()) {
        return state;
    }
    if (document.contains("files") && document["files"].is_array()) {
        for (const auto& name : document["files"]) {
            if (name.is_string() && IsPlainFileName(name.get<std::string>())) {
                state.Files.insert(name.get<std::string>());
            }
        }
    }
    if (document.contains("version") && document["version"].is_string()) {
        state.Version = document["version"].get<std::string>();
    }
    try {
        const auto journal = document.value("journal", nlohmann::json::object());
        state.Journal.Inode = journal.value("inode", std::uint64_t{0});
        state.Journal.Offset = journal.value("offset", std::uint64_t{0});
        state.Journal.HeadSha = journal.value("head", std::string());
        state.Journal.Lines = journal.value("lines", std::uint64_t{0});
    } catch (const nlohmann::json::exception&) {
        state.Journal = {};  // sent again from the start; the server knows what it has
    }
    return state;
}

bool SaveSyncState(const std::filesystem::path& file, const SyncState& state, std::string& error) {
    nlohmann::json files = nlohmann::json::array();
    for (const std::string& name : state.Files) {
        files.push_back(name);
    }
    const nlohmann::json document = {{"files", files},
                                     {"version", state.Version},
                                     {"journal",
                                      {{"inode", state.Journal.Inode},
                                       {"offset", state.Journal.Offset},
                                       {"head", state.Journal.HeadSha},
                                       {"lines", state.Journal.Lines}}}};
    return WriteFileDurably(file, document.dump(1) + "\n", error);
}
