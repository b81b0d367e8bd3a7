// SPDX-License-Identifier: GPL-3.0-or-later
// The entry points of the conversion library: the format chooses the reader or the writer;
// station tests go through the station's own readers and the project's writers.

#include "interchange/Convert.h"

#include <fstream>
#include <system_error>

#include "interchange/Readers.h"
#include "interchange/StationBuilder.h"
#include "interchange/TextCodec.h"
#include "interchange/Writers.h"
#include "model/TestWriters.h"
#include "platform/Cp1251.h"

namespace {

bool HasMultiByteUtf8(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return true;
    }
    const bool high = std::any_of(bytes.begin(), bytes.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return high && IsValidUtf8(bytes);
}

// A station text test saved in UTF-8, recoded line by line so that each character cp1251
// cannot hold is reported with its line.
std::string StationTextFromUtf8(std::string_view bytes, std::vector<BankWarning>& warnings) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    warnings.push_back(
        {0, "utf8-input", "файл в UTF-8, а станция читает cp1251; перекодирован в cp1251", false});
    std::string out;
    std::size_t line = 0;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        ++line;
        std::vector<CharReplacement> replaced;
        out += Utf8ToStation(bytes.substr(start, end - start), replaced);
        for (const CharReplacement& r : replaced) {
            warnings.push_back(
                {line, "char-replaced",
                 "символ «" + r.From + "» не помещается в cp1251; записан как «" + r.To + "»",
                 false});
        }
        start = end;
    }
    return out;
}

BankReadResult ReadStation(std::string_view bytes, BankFormat format) {
    BankReadResult result;
    result.Tezra = std::make_unique<TTezra>();
    bool read = false;
    if (format == BankFormat::StationText) {
        if (HasMultiByteUtf8(bytes)) {
            const std::string text = StationTextFromUtf8(bytes, result.Warnings);
            read = LoadTestFromText(*result.Tezra, text);
        } else {
            read = LoadTestFromText(*result.Tezra, bytes);
        }
    } else {
        TMemoryStream stream(bytes.data(), bytes.size());
        read = bytes.size() >= 4 && LoadTestFromBinary(*result.Tezra, stream);
    }
    result.Converted = static_cast<int>(result.Tezra->Problems.size());
    if (!read) {
        result.Warnings.push_back({0, "unreadable",
                                   result.Converted == 0
                                       ? "файл не читается как тест станции"
                                       : "тест станции прочитан не до конца (файл повреждён)",
                                   true});
        result.Failed = result.Converted == 0;
    }
    return result;
}

}  // namespace

BankReadResult ReadQuestionBank(std::string_view bytes, BankFormat format,
                                const BankReadOptions& options) {
    if (IsStationFormat(format)) {
        return ReadStation(bytes, format);
    }
    BankCollector bank;
    switch (format) {
        case BankFormat::Gift:
            ReadGift(bytes, options.Folder, bank);
            break;
        case BankFormat::Aiken:
            ReadAiken(bytes, bank);
            break;
        case BankFormat::MoodleXml:
            ReadMoodleXml(bytes, bank);
            break;
        default:
            bank.Fail(0, "формат не поддерживается");
            break;
    }
    return BuildStationTest(std::move(bank), options.FallbackTitle);
}

BankReadResult ReadQuestionBankFile(const std::filesystem::path& path, BankFormat format) {
    auto refused = [](std::string text) {
        BankReadResult result;
        result.Tezra = std::make_unique<TTezra>();
        result.Failed = true;
        result.Warnings.push_back({0, "unreadable", std::move(text), true});
        return result;
    };
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return refused("это не обычный файл или его нет");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > BankMaxFileBytes) {
        return refused("файл больше " + std::to_string(BankMaxFileBytes / (1024 * 1024)) +
                       " МиБ; такие не читаются");
    }
    std::ifstream file(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(file.gcount()) != size) {
        return refused("файл не читается");
    }
    BankReadOptions options;
    options.Folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    options.FallbackTitle = path.stem().string();
    return ReadQuestionBank(bytes, format, options);
}

std::string WriteQuestionBank(const TTezra& tezra, BankFormat format,
                              const BankWriteOptions& options,
                              std::vector<BankWarning>& warnings) {
    std::vector<std::string> writerWarnings;
    std::string out;
    switch (format) {
        case BankFormat::StationText:
            out = SaveTestToText(tezra, writerWarnings);
            break;
        case BankFormat::StationBinary:
        case BankFormat::StationScrambled: {
            const TMemoryStream stream =
                SaveTestToBinary(tezra, format == BankFormat::StationScrambled, writerWarnings);
            out.assign(stream.Text());
            break;
        }
        case BankFormat::Gift:
            return WriteGift(tezra, warnings);
        case BankFormat::MoodleXml:
            return WriteMoodleXml(tezra, options, warnings);
        default:
            warnings.push_back({0, "no-writer", "в этот формат тесты не записываются", true});
            return {};
    }
    for (const std::string& warning : writerWarnings) {
        warnings.push_back({0, "station-writer", "при записи теста станции: " + warning, false});
    }
    return out;
}
