// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool IsRegularFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::size_t limit) {
    // Opened without waiting, so that a FIFO that nobody writes cannot block the open itself.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes.emplace();
        const auto size = static_cast<std::size_t>(info.st_size);
        bytes->resize(size < limit ? size : limit);
        std::size_t got = 0;
        while (got < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                bytes.reset();
                break;
            }
            if (n == 0) {
                break;  // the file shrank meanwhile: what it has
            }
            got += static_cast<std::size_t>(n);
        }
        if (bytes) {
            bytes->resize(got);
        }
    }
    ::close(fd);
    return bytes;
}

std::optional<std::string> ReadWholeRegularFile(const std::filesystem::path& path,
                                                std::size_t limit) {
    std::optional<std::string> bytes = ReadRegularFile(path, limit + 1);
    if (bytes && bytes->size() > limit) {
        bytes.reset();
    }
    return bytes;
}
