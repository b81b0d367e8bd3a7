// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DurableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Get() const { return fd_; }
    // Closes now and tells whether the close succeeded (a failed close can lose data).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

bool SyncFolder(const std::filesystem::path& folder) {
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Get() >= 0 && ::fsync(dir.Get()) == 0;
}

}  // namespace

std::filesystem::path ReplacementPath(const std::filesystem::path& file) {
    std::filesystem::path beside = file;
    beside += ".new";
    return beside;
}

bool ReplaceFileDurably(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path beside = ReplacementPath(file);
    FileDescriptor out(::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    // fdatasync carries the bytes and the size; the rename and the folder's sync do the rest.
    const bool written =
        out.Get() >= 0 && WriteAll(out.Get(), bytes) && ::fdatasync(out.Get()) == 0 && out.Close();
    if (!written || ::rename(beside.c_str(), file.c_str()) != 0) {
        ::unlink(beside.c_str());
        return false;
    }
    return SyncFolder(FolderOf(file));
}

bool RemoveFileDurably(const std::filesystem::path& file) {
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    return SyncFolder(FolderOf(file));
}

bool RenameFileDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    return SyncFolder(FolderOf(to));
}
