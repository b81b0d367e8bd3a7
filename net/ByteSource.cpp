// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ByteSource.h"

#include <algorithm>
#include <cstring>

MemoryByteSource::MemoryByteSource(std::string data, std::size_t pieceSize, ReadStatus end)
    : data_(std::move(data)), pieceSize_(std::max<std::size_t>(pieceSize, 1)), end_(end) {}

ReadStatus MemoryByteSource::Read(char* buffer, std::size_t capacity, std::size_t& received) {
    received = 0;
    if (position_ >= data_.size()) {
        return end_;
    }
    received = std::min({capacity, pieceSize_, data_.size() - position_});
    std::memcpy(buffer, data_.data() + position_, received);
    position_ += received;
    return ReadStatus::Data;
}
