// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/JsonAnswer.h"

#include <utility>

#include "tools/sync/PlainNames.h"

namespace {

void AddNoCacheHeaders(HttpAnswer& answer) {
    answer.Headers.emplace_back("Cache-Control", "no-store");
    answer.Headers.emplace_back("X-Content-Type-Options", "nosniff");
}

}  // namespace

HttpAnswer JsonAnswer(int status, const nlohmann::ordered_json& document) {
    HttpAnswer answer;
    answer.Status = status;
    answer.ContentType = "application/json; charset=utf-8";
    answer.Body = document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    AddNoCacheHeaders(answer);
    return answer;
}

HttpAnswer AttachmentAnswer(std::string contentType, std::string body, const std::string& name,
                            std::string_view fallbackName) {
    HttpAnswer answer;
    answer.ContentType = std::move(contentType);
    answer.Body = std::move(body);
    AddNoCacheHeaders(answer);
    // The name percent-encoded as RFC 5987 says, so UTF-8 names survive every browser.
    answer.Headers.emplace_back("Content-Disposition",
                                "attachment; filename=\"" + std::string(fallbackName) +
                                    "\"; filename*=UTF-8''" + EncodePathSegment(name));
    return answer;
}
