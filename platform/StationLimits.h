// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's limits on what a file or a result server can make it read, wait for or hold.
// Each is tested at the limit and one past it.

#include <cstddef>
#include <cstdint>

// A description file's first line: longer lines are cut here.
inline constexpr std::size_t kMaxDescriptionLine = 64 * 1024;

// The settings file: a larger one is not read (the station keeps its built-in settings).
inline constexpr std::size_t kMaxIniBytes = 1024 * 1024;

// A picture file: a larger one is not read, since no picture within the decoder's pixel limit
// needs more.
inline constexpr std::size_t kMaxPictureFileBytes = 64 * 1024 * 1024;

// A test file, or a picture file that a problem names: a larger one is not read. A test of
// the largest size the record limits below allow, pictures included, stays far below it.
inline constexpr std::size_t kMaxTestFileBytes = 256 * 1024 * 1024;

// A result server's answer body, which the station drops, and all its status lines and header
// blocks together: a longer one fails the attempt.
inline constexpr std::size_t kMaxAnswerBody = 1024 * 1024;
inline constexpr std::size_t kMaxAnswerHead = 1024 * 1024;

// One attempt at one result server, from the connect to the end of the answer.
inline constexpr int kAttemptTimeLimitMs = 10000;

// A test that promises more records than these is a damaged file.
inline constexpr std::int32_t kMaxProblems = 100000;
inline constexpr std::int32_t kMaxVariants = 10000;  // in one problem
inline constexpr std::int32_t kMaxGroups = 10000;
