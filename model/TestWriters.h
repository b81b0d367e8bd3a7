// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writers of a test in the text and the binary format, the inverses of the readers: what they
// write reads back to an equal test. Where a format cannot hold something, the closest form is
// written and a warning (UTF-8 text for the console) says what was changed.

#include <filesystem>
#include <string>
#include <vector>

#include "model/UTypes.h"

// The text form (cp1251 bytes, CR LF line ends); pictures are written as DATA lines.
std::string SaveTestToText(const TTezra& tezra, std::vector<std::string>& warnings);
// The binary form, scrambled when asked; positioned at 0.
TMemoryStream SaveTestToBinary(const TTezra& tezra, bool scramble,
                               std::vector<std::string>& warnings);
// Writes the test in the format that the path's extension names; false for another extension
// (or a scrambled text) and when the file cannot be written.
bool SaveTestFile(const TTezra& tezra, const std::filesystem::path& path, bool scramble,
                  std::vector<std::string>& warnings);
