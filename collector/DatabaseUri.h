// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The password of a PostgreSQL connection URI kept out of everything the collector prints.

#include <string>
#include <string_view>

// The password the URI carries (in its user part or as a password= parameter), decoded;
// empty when it has none.
std::string UriPassword(std::string_view uri);

// The URI without its password, for messages and logs.
std::string UriWithoutPassword(std::string_view uri);

// The text with every appearance of the URI's password (as written and decoded) replaced by
// "***", and any URI in it without its password.
std::string RedactPassword(std::string_view text, std::string_view uri);
