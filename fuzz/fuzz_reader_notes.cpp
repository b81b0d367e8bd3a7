// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the test readers with a listener: what they read must be the same with and without
// it, and every note must point inside the input. The first byte picks the format (even:
// text, odd: binary); the rest is the file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/Compare.h"
#include "model/UTypes.h"

namespace {

class TCheckingSink : public TReadSink {
public:
    TCheckingSink(std::size_t lines, std::size_t bytes) : Lines(lines), Bytes(bytes) {}

    void Note(const TReadEvent& event) override {
        // Every byte of the texts is touched, so that a dangling view is found.
        for (std::string_view text : {event.Line, event.Detail, event.Value}) {
            Sum += static_cast<unsigned>(std::count(text.begin(), text.end(), '\xA7'));
        }
        if (event.Where > std::max(Lines, Bytes)) {
            __builtin_trap();
        }
    }

    unsigned Sum = 0;

private:
    std::size_t Lines;
    std::size_t Bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool binary = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    TCheckingSink sink(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1,
                       binary ? text.size() : 0);
    TTezra plain;
    TTezra heard;
    bool plainRead = false;
    bool heardRead = false;
    if (binary) {
        TMemoryStream a(text.data(), text.size());
        TMemoryStream b(text.data(), text.size());
        plainRead = LoadTestFromBinary(plain, a);
        heardRead = LoadTestFromBinary(heard, b, &sink);
    } else {
        plainRead = LoadTestFromText(plain, text);
        heardRead = LoadTestFromText(heard, text, &sink);
    }
    if (plainRead != heardRead || !SameTezra(plain, heard)) {
        __builtin_trap();
    }
    return 0;
}
