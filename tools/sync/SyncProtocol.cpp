// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sync/SyncProtocol.h"

#include <openssl/evp.h>

#include <nlohmann/json.hpp>
#include <set>

#include "tools/sync/PlainNames.h"

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string ManifestJson(Manifest& manifest) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    std::string identity;
    for (const ManifestFile& file : manifest.Files) {
        files.push_back({{"name", file.Name}, {"size", file.Size}, {"sha256", file.Sha256}});
        identity += file.Name + '\n' + file.Sha256 + '\n';
    }
    manifest.Version = Sha256Hex(identity).substr(0, 16);
    nlohmann::ordered_json document = {{"version", manifest.Version}, {"files", files}};
    return document.dump();
}

namespace {

bool IsHash(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string ReadFile(const nlohmann::json& entry, ManifestFile& file) {
    if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string() ||
        !entry.contains("size") || !entry["size"].is_number_integer() ||
        !entry.contains("sha256") || !entry["sha256"].is_string()) {
        return "запись файла без имени, размера или SHA-256";
    }
    file.Name = entry["name"].get<std::string>();
    file.Size = entry["size"].get<std::int64_t>();
    file.Sha256 = entry["sha256"].get<std::string>();
    if (!IsPlainFileName(file.Name)) {
        return "недопустимое имя файла";
    }
    if (file.Size < 0 || file.Size > kMaxSyncFileBytes) {
        return "файл " + file.Name + " слишком большой (" + std::to_string(file.Size) + " байт)";
    }
    if (!IsHash(file.Sha256)) {
        return "у файла " + file.Name + " неверная SHA-256";
    }
    return {};
}

}  // namespace

std::optional<Manifest> ParseManifest(std::string_view text, std::string& error) {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("files") ||
        !document["files"].is_array() || !document.contains("version") ||
        !document["version"].is_string()) {
        error = "список тестов сервера не читается";
        return std::nullopt;
    }
    const auto& files = document["files"];
    if (files.size() > kMaxSyncFiles) {
        error = "в списке тестов слишком много файлов (" + std::to_string(files.size()) + ")";
        return std::nullopt;
    }
    Manifest manifest;
    manifest.Version = document["version"].get<std::string>();
    std::set<std::string> names;
    std::int64_t total = 0;
    for (const auto& entry : files) {
        ManifestFile file;
        error = ReadFile(entry, file);
        if (error.empty() && !names.insert(file.Name).second) {
            error = "файл " + file.Name + " указан дважды";
        }
        if (!error.empty()) {
            return std::nullopt;
        }
        total += file.Size;
        if (total > kMaxSyncSetBytes) {
            error = "файлы списка вместе слишком большие";
            return std::nullopt;
        }
        manifest.Files.push_back(std::move(file));
    }
    if (manifest.Version.size() > 64) {
        error = "список тестов сервера не читается";
        return std::nullopt;
    }
    return manifest;
}

bool IsStationHostName(std::string_view host) {
    if (host.empty() || host.size() > 64) {
        return false;
    }
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}
