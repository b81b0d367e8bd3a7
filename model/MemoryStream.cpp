// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MemoryStream.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/StationLimits.h"

namespace {

constexpr std::size_t kObservedPiece = 1 << 20;
constexpr std::size_t kHugePage = 2 << 20;

// Room for capacity bytes. A large buffer (a whole test file with its pictures) is asked to
// live in huge pages: a few faults instead of one per 4 KiB, which halves the time to fill it.
std::uint8_t* Allocate(std::size_t& capacity) {
    void* buffer = nullptr;
    if (capacity >= 2 * kHugePage) {
        capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
        buffer = std::aligned_alloc(kHugePage, capacity);
#ifdef MADV_HUGEPAGE
        if (buffer != nullptr) {
            madvise(buffer, capacity, MADV_HUGEPAGE);
        }
#endif
    } else {
        buffer = std::malloc(capacity);
    }
    if (buffer == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<std::uint8_t*>(buffer);
}

struct FileDescriptor {
    explicit FileDescriptor(int fd) : Fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (Fd >= 0) {
            close(Fd);
        }
    }
    int Fd;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

TMemoryStream::TMemoryStream(const void* data, std::size_t size) {
    SetSize(size);
    if (size > 0) {
        std::memcpy(Buffer.get(), data, size);
    }
}

TMemoryStream::TMemoryStream(TMemoryStream&& other) noexcept
    : Buffer(std::move(other.Buffer)),
      Capacity(std::exchange(other.Capacity, 0)),
      Length(std::exchange(other.Length, 0)),
      Pos(std::exchange(other.Pos, 0)) {}

TMemoryStream& TMemoryStream::operator=(TMemoryStream&& other) noexcept {
    Buffer = std::move(other.Buffer);
    Capacity = std::exchange(other.Capacity, 0);
    Length = std::exchange(other.Length, 0);
    Pos = std::exchange(other.Pos, 0);
    return *this;
}

bool TMemoryStream::LoadFromFile(const std::filesystem::path& path,
                                 const TReadObserver& observer) {
    *this = TMemoryStream();
    // Non-blocking, so that a FIFO or device under a test's name cannot hang the station.
    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.Fd < 0 || fstat(file.Fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > kMaxTestFileBytes) {
        return false;
    }
    // The size the file has now; a file that shrinks meanwhile gives what it has.
    SetSize(static_cast<std::size_t>(info.st_size));
    const std::size_t piece = observer ? kObservedPiece : Length;
    std::size_t got = 0;
    while (got < Length) {
        const std::size_t want = Length - got < piece ? Length - got : piece;
        const ssize_t n = read(file.Fd, Buffer.get() + got, want);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *this = TMemoryStream();
            return false;
        }
        if (n == 0) {
            break;
        }
        if (observer) {
            observer(Buffer.get(), got, got + static_cast<std::size_t>(n));
        }
        got += static_cast<std::size_t>(n);
    }
    Length = got;
    return true;
}

bool TMemoryStream::SaveToFile(const std::filesystem::path& path) const {
    FileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    if (Length > 0 && std::fwrite(Buffer.get(), 1, Length, file.get()) != Length) {
        return false;
    }
    return std::fclose(file.release()) == 0;
}

bool TMemoryStream::ReadExact(void* out, std::size_t count) {
    if (count > Remaining()) {
        Pos = Length;
        return false;
    }
    if (count > 0) {
        std::memcpy(out, Buffer.get() + Pos, count);
    }
    Pos += count;
    return true;
}

std::size_t TMemoryStream::ReadShort(void* out, std::size_t count) {
    const std::size_t n = count < Remaining() ? count : Remaining();
    if (n > 0) {
        std::memcpy(out, Buffer.get() + Pos, n);
    }
    Pos += n;
    return n;
}

const std::uint8_t* TMemoryStream::ReadSpan(std::size_t count) {
    if (count > Remaining()) {
        Pos = Length;
        return nullptr;
    }
    const std::uint8_t* span = Buffer.get() + Pos;
    Pos += count;
    return span;
}

void TMemoryStream::Write(const void* data, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (count > Length - Pos) {
        SetSize(Pos + count);
    }
    std::memcpy(Buffer.get() + Pos, data, count);
    Pos += count;
}

void TMemoryStream::SetSize(std::size_t size) {
    if (size > Capacity) {
        Reserve(size > Capacity * 2 ? size : Capacity * 2);
    }
    Length = size;
    if (Pos > Length) {
        Pos = Length;
    }
}

void TMemoryStream::TFree::operator()(std::uint8_t* buffer) const {
    std::free(buffer);
}

void TMemoryStream::Reserve(std::size_t capacity) {
    std::unique_ptr<std::uint8_t, TFree> grown(Allocate(capacity));
    if (Length > 0) {
        std::memcpy(grown.get(), Buffer.get(), Length);
    }
    Buffer = std::move(grown);
    Capacity = capacity;
}
