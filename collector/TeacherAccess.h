// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's password: HTTP Basic with any user name, the password compared in constant
// time so that the answer time tells nothing about how much of a guess was right.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Standard Base64 with padding; nothing when the text is not Base64.
std::optional<std::string> DecodeBase64(std::string_view text);

// Equal texts; the time taken depends only on the length of expected.
bool ConstantTimeEquals(std::string_view given, std::string_view expected);

// Whether an Authorization header value carries the password.
bool AuthorizationAllows(std::string_view header, std::string_view password);

// The first line of the file, without its line end and surrounding blanks; nothing when the
// file cannot be read or that line is empty.
std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file);

// A fresh random password of letters and digits that are hard to confuse.
std::string GeneratePassword(std::size_t length = 12);
