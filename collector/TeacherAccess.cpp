// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TeacherAccess.h"

#include <fstream>
#include <random>

#include "platform/TextUtils.h"

namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && text.size() > padding && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    std::string decoded;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return decoded;
}

bool ConstantTimeEquals(std::string_view given, std::string_view expected) {
    unsigned difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char g = i < given.size() ? given[i] : 0;
        difference |= static_cast<unsigned char>(g ^ expected[i]);
    }
    return difference == 0;
}

bool AuthorizationAllows(std::string_view header, std::string_view password) {
    header = TrimView(header);
    const std::size_t space = header.find(' ');
    if (space == std::string_view::npos) {
        return false;
    }
    std::string scheme(header.substr(0, space));
    for (char& c : scheme) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    const auto credentials = DecodeBase64(TrimView(header.substr(space + 1)));
    if (scheme != "basic" || !credentials) {
        return false;
    }
    const std::size_t colon = credentials->find(':');
    if (colon == std::string::npos) {
        return false;
    }
    return ConstantTimeEquals(std::string_view(*credentials).substr(colon + 1), password);
}

std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    std::string password = Trim(line);
    if (password.empty()) {
        return std::nullopt;
    }
    return password;
}

std::string GeneratePassword(std::size_t length) {
    static constexpr std::string_view kAlphabet = "abcdefghijkmnpqrstuvwxyz23456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string password;
    for (std::size_t i = 0; i < length; ++i) {
        password += kAlphabet[pick(device)];
    }
    return password;
}
