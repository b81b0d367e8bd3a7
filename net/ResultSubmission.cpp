// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ResultSubmission.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Cp1251.h"
#include "platform/Numbers.h"

namespace {

// The texts of the walk, converted once from the UTF-8 of this source.
struct WalkTexts {
    std::string connecting = Utf8ToCp1251("Соединение с сервером");
    std::string trying = Utf8ToCp1251("Пробуем адрес ");
    std::string accepted = Utf8ToCp1251(" -> нормалёк!");
    std::string failed = Utf8ToCp1251(" -> абламинго!");
    std::string callTeacher = Utf8ToCp1251("Пожалуйста, позовите учителя к своему компьютеру!");
    std::string mustCallTeacher = Utf8ToCp1251("Необходимо позвать учителя к своему компьютеру!");
    std::string points = Utf8ToCp1251("Баллы = ");
    std::string mark = Utf8ToCp1251("Оценка= ");
    std::string enterWord = Utf8ToCp1251("Введите СЛОВО:");
    std::string resultCaption = Utf8ToCp1251("Результат теста");
    std::string cyrillicWord = Utf8ToCp1251("ОК");  // Cyrillic capitals that look like "OK"
};

const WalkTexts& Texts() {
    static const WalkTexts texts;
    return texts;
}

bool NeedsEscape(unsigned char c) {
    switch (c) {
        case '"':
        case '#':
        case '%':
        case '&':
        case '+':
        case '=':
        case '?':
        case '\\':
        case 0x7F:
            return true;
        default:
            return c < 0x21;
    }
}

}  // namespace

std::int64_t ResultScore(float points) {
    // A float times 10000 is exact in a double (24 + 14 significant bits), so this is the
    // extended-precision product.
    const double scaled = static_cast<double>(points) * 10000.0;
    if (std::isnan(scaled)) {
        return 0;
    }
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (scaled >= kLimit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (scaled < -kLimit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    double rounded = std::floor(scaled);
    const double fraction = scaled - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    if (rounded >= kLimit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return static_cast<std::int64_t>(rounded);
}

std::string EncodeQueryValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return encoded;
}

std::string BuildResultQuery(std::string_view group, std::string_view user, float points,
                             int mark) {
    return "group=" + EncodeQueryValue(group) + "&user=" + EncodeQueryValue(user) +
           "&res=" + std::to_string(ResultScore(points)) + "&mark=" + std::to_string(mark);
}

bool IsAcknowledgementWord(std::string_view typed) {
    return LatinUpperCase(typed) == "OK" || AnsiUpperCase(typed) == Texts().cyrillicWord;
}

ResultSubmission::ResultSubmission(ResultGetter getter, SubmissionView& view)
    : getter_(std::move(getter)), view_(view) {}

bool ResultSubmission::Submit(std::vector<std::string>& servers, std::string& serverAddress,
                              std::string_view group, std::string_view user, float points,
                              int mark) {
    const std::string query = BuildResultQuery(group, user, points, mark);
    view_.ClearActivity();
    const bool listed = std::any_of(servers.begin(), servers.end(), [&](const std::string& s) {
        return AnsiSameText(s, serverAddress);
    });
    if (!listed) {
        servers.insert(servers.begin(), serverAddress);
    }
    bool ok = false;
    for (const std::string& server : servers) {
        serverAddress = server;
        ok = TryServer("http", serverAddress, "/tezra/result", query);
        if (ok) {
            break;
        }
    }
    if (!ok) {
        FallbackDialogue(points, mark);
    }
    return ok;
}

bool ResultSubmission::TryServer(const std::string& scheme, const std::string& server,
                                 const std::string& path, const std::string& query) {
    const std::string url = scheme + "://" + server + path + "?" + query;
    view_.ShowActivity(Texts().connecting);
    view_.AppendActivityLine(Texts().trying + server);
    const bool ok = getter_ && getter_(url);
    view_.FinishActivityLine(ok ? Texts().accepted : Texts().failed);
    view_.Sleep(kPauseAfterAttemptMs);
    view_.HideActivity();
    return ok;
}

void ResultSubmission::FallbackDialogue(float points, int mark) {
    view_.ShowMessage(Texts().callTeacher);
    view_.ShowMessage(Texts().mustCallTeacher);
    const std::string summary =
        Texts().points + FormatGeneral(points) + "\r" + Texts().mark + std::to_string(mark);
    const std::string prompt = summary + "\r\r" + Texts().enterWord;
    for (int attempt = 0; attempt < kAcknowledgementTries; ++attempt) {
        const std::string typed = view_.InputBox(Texts().resultCaption, prompt, "");
        if (IsAcknowledgementWord(typed)) {
            break;
        }
    }
}
