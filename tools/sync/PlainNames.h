// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names of the class library and of a station's synced files: test files as the station
// will find them in its tezra folder, and the pictures that text tests name. A name is one
// plain file name, never a path, so that nothing taken from a request or a manifest can
// reach outside that folder.

#include <cstddef>
#include <string>
#include <string_view>

constexpr std::size_t kMaxLibraryNameBytes = 100;

// Valid UTF-8, 1 to 100 bytes, no "/", "\", NUL or other control characters, not "." or
// "..", no leading dot (the station's folder keeps its own hidden files) and no ".."
// anywhere.
bool IsPlainFileName(std::string_view name);

// A plain file name that ends in one of the station's four test extensions.
bool IsLibraryTestName(std::string_view name);

// A plain file name of a JPEG picture (".jpg" or ".jpeg" in any case).
bool IsLibraryPictureName(std::string_view name);

// Percent-encoding of one path segment or query value: every byte but letters, digits, ".",
// "-" and "_" as %XX.
std::string EncodePathSegment(std::string_view text);

// Percent-decoding of one path segment; false on a bad escape. "+" stays "+".
bool DecodePathSegment(std::string_view text, std::string& decoded);
