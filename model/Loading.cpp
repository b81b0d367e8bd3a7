// SPDX-License-Identifier: GPL-3.0-or-later
// The current test of the station and the one entry through which test files are loaded.

#include <cstring>
#include <exception>
#include <system_error>

#include "model/UTypes.h"

namespace {

std::unique_ptr<TTezra>& CurrentHolder() {
    static std::unique_ptr<TTezra> current = std::make_unique<TTezra>();
    return current;
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool LoadTextFile(TTezra& tezra, const std::filesystem::path& path, TReadSink* sink) {
    TMemoryStream stream;
    return stream.LoadFromFile(path) && LoadTestFromText(tezra, stream.Text(), sink);
}

// A binary file: its first four bytes tell whether it is scrambled; a scrambled one is
// unscrambled piece by piece as it is read, while each piece is still in the cache.
bool LoadBinaryFile(TTezra& tezra, const std::filesystem::path& path, TReadSink* sink) {
    enum class TKind { Unknown, Plain, Scrambled };
    TKind kind = TKind::Unknown;
    auto unscramble = [&kind](std::uint8_t* content, std::size_t from, std::size_t to) {
        if (kind == TKind::Unknown) {
            if (to < 4) {
                return;
            }
            kind = std::memcmp(content, "TZRA", 4) == 0 ? TKind::Plain : TKind::Scrambled;
            from = 0;
        }
        if (kind == TKind::Scrambled) {
            ScrambleBytes(content + from, to - from, from);
        }
    };
    TMemoryStream stream;
    if (!stream.LoadFromFile(path, unscramble)) {
        return false;
    }
    if (kind == TKind::Unknown) {
        if (sink != nullptr) {
            sink->Note({TReadNote::NotATest, TReadBlock::Test, 0});
        }
        return false;
    }
    return tezra.LoadFromStream(stream, sink);
}

bool LoadFile(TTezra& tezra, const std::filesystem::path& path, TReadSink* sink) {
    switch (TestFormatOf(path)) {
        case TTestFormat::Text:
            return LoadTextFile(tezra, path, sink);
        case TTestFormat::Binary:
            return LoadBinaryFile(tezra, path, sink);
        case TTestFormat::Unknown:
            break;
    }
    return false;
}

}  // namespace

TTezra& CurrentTezra() {
    return *CurrentHolder();
}

bool LoadTestFile(const std::filesystem::path& path, TReadSink* sink) {
    if (!FileExists(path)) {
        return false;
    }
    try {
        // The fresh test replaces the previous one, which is freed here.
        CurrentHolder() = std::make_unique<TTezra>();
        TTezra& tezra = *CurrentHolder();
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error);
        tezra.TestFolder = (error ? path : full).parent_path();
        return LoadFile(tezra, path, sink);
    } catch (const std::exception&) {
        return false;
    }
}
