// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The conversion library's entry points: any supported format read into the station's test
// model, and the model written to any supported format, each with the line-numbered Russian
// warnings of what was dropped or changed. Qt-free; used by tezra-tool and the class server.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "interchange/Bank.h"
#include "model/UTypes.h"

struct BankReadOptions {
    // Where pictures named by a GIFT file are looked up; empty: none are read.
    std::filesystem::path Folder;
    // The test's TITLE when the bank names no category (UTF-8), usually the file's name.
    std::string FallbackTitle;
};

struct BankReadResult {
    std::unique_ptr<TTezra> Tezra;  // never null; empty when nothing could be read
    std::vector<BankWarning> Warnings;
    int Converted = 0;  // problems in the test
    std::vector<LeftOutKind> LeftOut;
    bool Failed = false;  // the input could not be read as its format at all
};

// Reads bytes of the given format (a station test's text may be UTF-8 or cp1251).
BankReadResult ReadQuestionBank(std::string_view bytes, BankFormat format,
                                const BankReadOptions& options);
// Reads a file, refusing one larger than BankMaxFileBytes or that is not an ordinary file;
// pictures of a GIFT file are looked up beside it.
BankReadResult ReadQuestionBankFile(const std::filesystem::path& path, BankFormat format);

struct BankWriteOptions {
    // Where the picture files that problems name (FILE) are looked up when the picture is not
    // embedded; usually the folder of the station test.
    std::filesystem::path PictureFolder;
};

// The test in the given format: station files in cp1251 with CR LF, GIFT and Moodle XML in
// UTF-8. Aiken is not written (an empty text and a warning).
std::string WriteQuestionBank(const TTezra& tezra, BankFormat format,
                              const BankWriteOptions& options, std::vector<BankWarning>& warnings);
