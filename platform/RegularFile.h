// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading files that the station finds by name: only regular files count. A FIFO, a device or
// a socket under such a name is passed over as if it were not there, so that it can neither
// hang the station nor feed it without end.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// Whether path names a regular file (a link counts by what it points to).
bool IsRegularFile(const std::filesystem::path& path);

// Up to limit bytes from the start of the regular file at path; none when it is not a regular
// file or cannot be read. Never waits for a writer.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::size_t limit);

// The whole regular file at path when it holds at most limit bytes; none when it is larger,
// not a regular file or cannot be read.
std::optional<std::string> ReadWholeRegularFile(const std::filesystem::path& path,
                                                std::size_t limit);
