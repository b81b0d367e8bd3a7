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
        std::memcpy(buffer_.get(), data, size);
    }
}

TMemoryStream::TMemoryStream(TMemoryStream&& other) noexcept
    : buffer_(std::move(other.buffer_)),
      capacity_(std::exchange(other.capacity_, 0)),
      length_(std::exchange(other.length_, 0)),
      pos_(std::exchange(other.pos_, 0)) {}

TMemoryStream& TMemoryStream::operator=(TMemoryStream&& other) noexcept {
    buffer_ = std::move(other.buffer_);
    capacity_ = std::exchange(other.capacity_, 0);
    length_ = std::exchange(other.length_, 0);
    pos_ = std::exchange(other.pos_, 0);
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
    const std::size_t piece = observer ? kObservedPiece : length_;
    std::size_t got = 0;
    while (got < length_) {
        const std::size_t want = length_ - got < piece ? length_ - got : piece;
        const ssize_t n = read(file.Fd, buffer_.get() + got, want);
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
            observer(buffer_.get(), got, got + static_cast<std::size_t>(n));
        }
        got += static_cast<std::size_t>(n);
    }
    length_ = got;
    return true;
}

bool TMemoryStream::SaveToFile(const std::filesystem::path& path) const {
    FileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    if (length_ > 0 && std::fwrite(buffer_.get(), 1, length_, file.get()) != length_) {
        return false;
    }
    return std::fclose(file.release()) == 0;
}

bool TMemoryStream::ReadExact(void* out, std::size_t count) {
    if (count > Remaining()) {
        pos_ = length_;
        return false;
    }
    if (count > 0) {
        std::memcpy(out, buffer_.get() + pos_, count);
    }
    pos_ += count;
    return true;
}

std::size_t TMemoryStream::ReadShort(void* out, std::size_t count) {
    const std::size_t n = count < Remaining() ? count : Remaining();
    if (n > 0) {
        std::memcpy(out, buffer_.get() + pos_, n);
    }
    pos_ += n;
    return n;
}

const std::uint8_t* TMemoryStream::ReadSpan(std::size_t count) {
    if (count > Remaining()) {
        pos_ = length_;
        return nullptr;
    }
    const std::uint8_t* span = buffer_.get() + pos_;
    pos_ += count;
    return span;
}

void TMemoryStream::Write(const void* data, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (count > length_ - pos_) {
        SetSize(pos_ + count);
    }
    std::memcpy(buffer_.get() + pos_, data, count);
    pos_ += count;
}

void TMemoryStream::SetSize(std::size_t size) {
    if (size > capacity_) {
        Reserve(size > capacity_ * 2 ? size : capacity_ * 2);
    }
    length_ = size;
    if (pos_ > length_) {
        pos_ = length_;
    }
}

void TMemoryStream::TFree::operator()(std::uint8_t* buffer) const {
    std::free(buffer);
}

void TMemoryStream::Reserve(std::size_t capacity) {
    std::unique_ptr<std::uint8_t, TFree> grown(Allocate(capacity));
    if (length_ > 0) {
        std::memcpy(grown.get(), buffer_.get(), length_);
    }
    buffer_ = std::move(grown);
    capacity_ = capacity;
}
