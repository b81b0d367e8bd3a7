// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files that must survive a crash or a power cut: a file is replaced by writing its new bytes
// beside it, syncing them, renaming them into place and syncing the folder, so that at any
// instant the file holds either its old or its new bytes.

#include <filesystem>
#include <functional>
#include <string_view>

// Where the new bytes are written before they replace the file: its name with ".new" added.
std::filesystem::path ReplacementPath(const std::filesystem::path& file);

// Replaces the file's contents durably. False, with the file as it was, when any step fails.
bool ReplaceFileDurably(const std::filesystem::path& file, std::string_view bytes);

// Removes the file and syncs its folder; true when the file is gone (or was never there).
bool RemoveFileDurably(const std::filesystem::path& file);

// Renames from into to and syncs the folder; false when the rename fails.
bool RenameFileDurably(const std::filesystem::path& from, const std::filesystem::path& to);
