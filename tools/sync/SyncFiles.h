// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Durable file work for the sync on a station: whole files written beside their place,
// synced and renamed in, and the small state file that remembers which files of the tezra
// folder the sync put there and how far the journal has been sent.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

// Writes the bytes to a fresh file beside path, syncs it and renames it into place, then
// syncs the folder. False, with nothing left behind, when any step fails (a full disk).
bool WriteFileDurably(const std::filesystem::path& path, const std::string& bytes,
                      std::string& error);

// Syncs a folder, so that renames and removals in it survive a power cut.
bool SyncFolder(const std::filesystem::path& folder);

// The whole file, when it is a regular file of at most maxBytes bytes.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path,
                                         std::uint64_t maxBytes);

// The first line of a key file without its line end and surrounding blanks; none when the
// file cannot be read or that line is empty.
std::optional<std::string> ReadKeyFile(const std::filesystem::path& file);

struct JournalCursor {
    std::uint64_t Inode = 0;
    std::uint64_t Offset = 0;  // bytes of report.log already taken by the server
    std::string HeadSha;       // SHA-256 of the first min(Offset, 4096) bytes
    std::uint64_t Lines = 0;   // lines before Offset, for the numbers in messages
};

struct SyncState {
    std::set<std::string> Files;  // in the tezra folder, put there by the sync
    std::string Version;          // of the published set last installed
    JournalCursor Journal;
};

// The state file; a missing or unreadable one reads as a fresh state.
SyncState LoadSyncState(const std::filesystem::path& file);
bool SaveSyncState(const std::filesystem::path& file, const SyncState& state, std::string& error);
