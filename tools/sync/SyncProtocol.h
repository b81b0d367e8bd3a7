// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the class server and a station's sync agree on: the paths of the station endpoints,
// the manifest of the published set (each file's name, size and SHA-256) and the limits
// that bound everything a server may send a station.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kStationManifestPath = "/station/manifest";
inline constexpr std::string_view kStationFilesPath = "/station/files/";
inline constexpr std::string_view kStationJournalPath = "/station/journal";
inline constexpr std::string_view kStationStatusPath = "/station/status";

inline constexpr std::size_t kMaxManifestBytes = 2 * 1024 * 1024;
inline constexpr std::size_t kMaxSyncFiles = 2000;
inline constexpr std::int64_t kMaxSyncFileBytes = 50LL * 1024 * 1024;
inline constexpr std::int64_t kMaxSyncSetBytes = 512LL * 1024 * 1024;
// The part of a report.log sent in one request; a longer journal goes up in several.
inline constexpr std::size_t kMaxJournalChunk = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxStatusBytes = 4096;

struct ManifestFile {
    std::string Name;  // a plain file name, UTF-8
    std::int64_t Size = 0;
    std::string Sha256;  // 64 lower-case hex digits
};

struct Manifest {
    std::string Version;  // names the whole set; equal sets have equal versions
    std::vector<ManifestFile> Files;
};

// Lower-case hex SHA-256 of the bytes.
std::string Sha256Hex(std::string_view bytes);

// The manifest as JSON text; its version is computed from the files.
std::string ManifestJson(Manifest& manifest);

// Reads and checks a manifest: every name plain, sizes and counts within the limits, every
// hash 64 hex digits, no name twice. Nothing, with the reason in error, when it lies.
std::optional<Manifest> ParseManifest(std::string_view text, std::string& error);

// A station's name as the class server keeps it: letters, digits, ".", "-" and "_", at most
// 64 of them.
bool IsStationHostName(std::string_view host);
