// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the response reader takes its bytes from: a connection to the server, or, in tests
// and the fuzz target, bytes held in memory.

#include <cstddef>
#include <string>
#include <string_view>

enum class ReadStatus {
    Data,      // at least one byte was received
    Closed,    // the peer closed its side; no more bytes will come
    TimedOut,  // nothing arrived within the source's time limit
    Failed,    // any other error
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Waits for at most the source's time limit and stores up to capacity bytes.
    virtual ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& received) = 0;
};

// Hands out held bytes in pieces of at most pieceSize, then reports the given end.
class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::string data, std::size_t pieceSize = 4096,
                              ReadStatus end = ReadStatus::Closed);
    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& received) override;

private:
    std::string data_;
    std::size_t position_ = 0;
    std::size_t pieceSize_;
    ReadStatus end_;
};
