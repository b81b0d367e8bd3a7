// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/EditorApi.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <charconv>
#include <exception>
#include <vector>

#include "collector/EditorHandlers.h"
#include "collector/LibraryApi.h"
#include "collector/ResultQuery.h"
#include "collector/Session.h"
#include "collector/TeacherAccess.h"
#include "tools/sync/PlainNames.h"

namespace {

constexpr std::string_view kPrefix = "/api/editor";

// A request's route, or nothing for a path that is not the editor's; bad is set for a path
// of the editor with a name that is not allowed.
struct Routed {
    std::optional<EditorRequest> Request;
    bool Bad = false;
};

std::vector<std::string_view> Segments(std::string_view rest) {
    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        parts.push_back(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return parts;
}

bool ReadRevision(std::string_view text, std::int64_t& revision) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), revision);
    return error == std::errc() && end == text.data() + text.size() && revision > 0;
}

// The route of a path under /tests/NAME.
Routed RouteTest(const std::vector<std::string_view>& parts) {
    Routed routed;
    EditorRequest request;
    routed.Bad = !DecodePathSegment(parts[1], request.Test) || !IsLibraryTestName(request.Test);
    const std::size_t n = parts.size();
    if (n == 2) {
        request.Route = EditorRoute::Test;
    } else if (n == 3 && parts[2] == "rename") {
        request.Route = EditorRoute::Rename;
    } else if (n == 3 && parts[2] == "versions") {
        request.Route = EditorRoute::Versions;
    } else if (n == 3 && parts[2] == "export") {
        request.Route = EditorRoute::Export;
    } else if ((n == 4 || (n == 5 && parts[4] == "restore")) && parts[2] == "versions") {
        request.Route = n == 4 ? EditorRoute::Version : EditorRoute::Restore;
        routed.Bad = routed.Bad || !ReadRevision(parts[3], request.Revision);
    } else if (n == 4 && parts[2] == "pictures") {
        request.Route = EditorRoute::Picture;
        routed.Bad = routed.Bad || !DecodePathSegment(parts[3], request.Picture) ||
                     !IsLibraryPictureName(request.Picture);
    } else {
        return {};
    }
    routed.Request = std::move(request);
    return routed;
}

Routed Route(std::string_view path) {
    if (!path.starts_with(kPrefix) || path.size() <= kPrefix.size() + 1 ||
        path[kPrefix.size()] != '/') {
        return {};
    }
    const std::vector<std::string_view> parts = Segments(path.substr(kPrefix.size() + 1));
    if (parts.empty()) {
        return {};
    }
    if (parts[0] == "tests" && parts.size() >= 2) {
        return RouteTest(parts);
    }
    static const std::pair<std::string_view, EditorRoute> kSingles[] = {
        {"check", EditorRoute::Check},
        {"import", EditorRoute::Import},
        {"library.zip", EditorRoute::Zip},
        {"tests", EditorRoute::Create},
    };
    for (const auto& [name, route] : kSingles) {
        if (parts.size() == 1 && parts[0] == name) {
            EditorRequest request;
            request.Route = route;
            return {request, false};
        }
    }
    return {};
}

bool MethodAllowed(EditorRoute route, const std::string& method) {
    switch (route) {
        case EditorRoute::Check:
        case EditorRoute::Import:
        case EditorRoute::Create:
        case EditorRoute::Rename:
        case EditorRoute::Restore:
            return method == "POST";
        case EditorRoute::Test:
            return method == "GET" || method == "PUT";
        case EditorRoute::Picture:
            return method == "GET" || method == "PUT" || method == "DELETE";
        default:
            return method == "GET";
    }
}

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 15];
    }
    return text;
}

}  // namespace

bool IsEditorApiPath(std::string_view path) {
    return path == std::string(kPrefix) + "/token" || Route(path).Request.has_value();
}

std::size_t EditorBodyLimit(const RequestHead& head) {
    const Routed routed = Route(head.Path());
    if (!routed.Request || head.Method == "GET") {
        return 0;
    }
    return routed.Request->Route == EditorRoute::Picture ? kMaxPictureUploadBytes
                                                         : kMaxTestUploadBytes;
}

HttpAnswer EditorTooLarge(const RequestHead& head) {
    const Routed routed = Route(head.Path());
    const bool picture = routed.Request && routed.Request->Route == EditorRoute::Picture;
    HttpAnswer answer =
        EditorMessage(413, picture ? "Рисунок больше 10 МБ: уменьшите его и загрузите снова."
                                   : "Тест больше 50 МБ: так много сервер не принимает.");
    return answer;
}

EditorApi::EditorApi(ClassLibrary& library) : library_(library), secret_(RandomToken()) {}

std::string EditorApi::TokenFor(const RequestHead& head) const {
    const std::string_view cookie = CookieValue(head.Cookie, SessionTable::kCookieName);
    const std::string binding =
        cookie.empty() ? "basic:" + head.Authorization : "session:" + std::string(cookie);
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(binding.data()), binding.size(), mac, &size);
    return Hex(mac, size);
}

std::optional<HttpAnswer> EditorApi::RefuseWrite(const RequestHead& head) const {
    if (head.Method == "GET" || head.Method == "HEAD") {
        return std::nullopt;
    }
    if (!FromOwnOrigin(head) || head.EditorToken.empty() ||
        !ConstantTimeEquals(head.EditorToken, TokenFor(head))) {
        return EditorMessage(403,
                             "Запрос отклонён: он пришёл не со страницы редактора. Обновите "
                             "страницу.");
    }
    return std::nullopt;
}

void EditorApi::Serve(HttpServer& server, std::uint64_t connection, const RequestHead& head) {
    const std::string_view path = head.Path();
    if (path == std::string(kPrefix) + "/token") {
        if (head.Method != "GET") {
            return server.Answer(connection, EditorMessage(405, "Только GET."));
        }
        return server.Answer(connection, EditorJson(200, {{"token", TokenFor(head)}}));
    }
    Routed routed = Route(path);
    if (!routed.Request) {
        return server.Answer(connection, EditorMessage(404, "Нет такого адреса."));
    }
    if (routed.Bad) {
        return server.Answer(connection, EditorMessage(400, "Недопустимое имя файла."));
    }
    if (!MethodAllowed(routed.Request->Route, head.Method)) {
        return server.Answer(connection, EditorMessage(405, "Метод не поддерживается."));
    }
    if (std::optional<HttpAnswer> refusal = RefuseWrite(head)) {
        return server.Answer(connection, std::move(*refusal));
    }
    EditorRequest request = std::move(*routed.Request);
    request.Method = head.Method;
    request.Query = std::string(head.Query());
    request.Body = head.Body;
    library_.Post([&server, library = &library_, connection, request = std::move(request)](
                      LibraryStore& store, ResultStore&) {
        HttpAnswer answer;
        try {
            answer = HandleEditorRequest(*library, store, request);
        } catch (const std::exception&) {
            answer = EditorMessage(500, "Внутренняя ошибка сервера: изменение не сохранено.");
        }
        server.Answer(connection, std::move(answer));
    });
}
