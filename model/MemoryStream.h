// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A byte buffer with a read and write position: the whole of a binary test file lives in one
// while it is unscrambled and parsed. Reads never go past the end of the data.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

class TMemoryStream {
public:
    TMemoryStream() = default;
    // A stream holding a copy of the bytes, positioned at 0.
    TMemoryStream(const void* data, std::size_t size);
    // A moved-from stream is empty.
    TMemoryStream(TMemoryStream&& other) noexcept;
    TMemoryStream& operator=(TMemoryStream&& other) noexcept;

    // Told about the bytes [from, to) of the content right after they have been read.
    using TReadObserver =
        std::function<void(std::uint8_t* content, std::size_t from, std::size_t to)>;

    // Replaces the content with the file's bytes and sets the position to 0: in one read, or,
    // with an observer, in pieces of 1 MiB that the observer sees while they are in the cache.
    // False, with an empty stream, when the file is not an ordinary file, is larger than the
    // station reads (kMaxTestFileBytes) or cannot be read.
    bool LoadFromFile(const std::filesystem::path& path, const TReadObserver& observer = {});
    // Writes the whole content to the file, replacing it; false when that fails.
    bool SaveToFile(const std::filesystem::path& path) const;

    std::uint8_t* Data() { return buffer_.get(); }
    const std::uint8_t* Data() const { return buffer_.get(); }
    std::size_t Size() const { return length_; }
    std::size_t Position() const { return pos_; }
    std::size_t Remaining() const { return length_ - pos_; }
    // Sets the read/write position; a position past the end is taken as the end.
    void Seek(std::size_t position) { pos_ = position < length_ ? position : length_; }
    std::string_view Text() const {
        return {reinterpret_cast<const char*>(buffer_.get()), length_};
    }

    // Exact read: copies count bytes and advances, or, when fewer remain, copies nothing,
    // moves the position to the end and returns false.
    bool ReadExact(void* out, std::size_t count);
    // Short read: copies what remains of count bytes (possibly none); returns how many.
    std::size_t ReadShort(void* out, std::size_t count);
    // The next count bytes in place, advancing past them; nullptr (and the position at the end)
    // when fewer remain.
    const std::uint8_t* ReadSpan(std::size_t count);

    // Writes at the position, growing the content as needed.
    void Write(const void* data, std::size_t count);
    // Sets the content size; new bytes are left as they come from the allocator.
    void SetSize(std::size_t size);

private:
    struct TFree {
        void operator()(std::uint8_t* buffer) const;
    };

    void Reserve(std::size_t capacity);

    std::unique_ptr<std::uint8_t, TFree> buffer_;
    std::size_t capacity_ = 0;
    std::size_t length_ = 0;
    std::size_t pos_ = 0;
};
