// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The class library in the collector's SQLite database, beside the results: tests and their
// pictures are rows, so a backup of the database file holds them, and a change is one
// transaction that a crash either keeps whole or drops whole.

#include <filesystem>
#include <memory>
#include <string>

#include "collector/LibraryStore.h"

// Opens the database file (creating the library's tables when they are missing). Empty with
// the reason in error when it cannot.
std::unique_ptr<LibraryStore> OpenSqliteLibrary(const std::filesystem::path& file,
                                                std::string& error);
