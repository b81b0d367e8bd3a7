// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the model tests: fixture paths, cp1251 text from UTF-8 literals, a builder
// of little-endian binary records and a temporary folder.

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "tests/common/TempDir.h"

inline std::filesystem::path ModelData(std::string_view name) {
    return std::filesystem::path(TEZRA_TEST_DATA_DIR) / "model" / name;
}

// cp1251 bytes of a UTF-8 literal, so that tests can write "§TEZRA" and Cyrillic plainly.
inline std::string Cp(std::string_view utf8) {
    return Utf8ToCp1251(utf8);
}

// A fresh test read from text written in UTF-8.
inline std::unique_ptr<TTezra> ReadText(std::string_view utf8, bool* result = nullptr) {
    auto tezra = std::make_unique<TTezra>();
    const bool ok = LoadTestFromText(*tezra, Cp(utf8));
    if (result != nullptr) {
        *result = ok;
    }
    return tezra;
}

inline std::unique_ptr<TTezra> ReadBytes(const std::vector<std::uint8_t>& bytes,
                                         bool* result = nullptr) {
    auto tezra = std::make_unique<TTezra>();
    TMemoryStream stream(bytes.data(), bytes.size());
    const bool ok = LoadTestFromBinary(*tezra, stream);
    if (result != nullptr) {
        *result = ok;
    }
    return tezra;
}

inline std::unique_ptr<TTezra> ReadFixture(std::string_view name, bool* result = nullptr) {
    TMemoryStream stream;
    stream.LoadFromFile(ModelData(name));
    auto tezra = std::make_unique<TTezra>();
    const bool ok = TestFormatOf(std::string(name)) == TTestFormat::Text
                        ? LoadTestFromText(*tezra, stream.Text())
                        : LoadTestFromBinary(*tezra, stream);
    if (result != nullptr) {
        *result = ok;
    }
    return tezra;
}

inline std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
    TMemoryStream stream;
    stream.LoadFromFile(path);
    return {stream.Data(), stream.Data() + stream.Size()};
}

// Little-endian records of the binary format, written field by field.
class TBytes {
public:
    std::vector<std::uint8_t> Data;

    TBytes& Raw(std::string_view bytes) {
        Data.insert(Data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TBytes& Byte(std::uint8_t value) {
        Data.push_back(value);
        return *this;
    }
    TBytes& Int(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            Data.push_back(static_cast<std::uint8_t>(bits >> shift));
        }
        return *this;
    }
    TBytes& Float(float value) { return Int(std::bit_cast<std::int32_t>(value)); }
    TBytes& Str(std::string_view text) {
        Int(static_cast<std::int32_t>(text.size()));
        return Raw(text);
    }
    // A test record head: tag, id, title, flags, defer limit, five thresholds.
    TBytes& TestHead(std::string_view id = "t", std::int32_t flags = 0) {
        Raw("TZRA").Str(id).Str("").Int(flags).Int(0);
        for (int i = 0; i < 5; ++i) {
            Float(0.0f);
        }
        return *this;
    }
    // A whole problem record with one variant and no picture.
    TBytes& Problem(std::string_view id, std::string_view group = "") {
        Raw("PRBL").Str(id).Str("").Str("").Int(0).Str(group).Float(0.0f);
        Str("condition").Str("").Int(0);
        return Raw("ANSW").Byte(0).Int(1).Int(100).Str("yes");
    }
};

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    TMemoryStream(bytes.data(), bytes.size()).SaveToFile(path);
}

inline std::uint32_t Bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}
