// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The answers of the teacher's JSON interfaces: JSON that no cache keeps and no browser
// sniffs as another type, and files handed out as downloads under their own name.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "collector/HttpAnswer.h"

HttpAnswer JsonAnswer(int status, const nlohmann::ordered_json& document);

// The body as a download named name (UTF-8, percent-encoded for the browser); fallbackName
// is the plain ASCII name for a browser that cannot read the encoded one.
HttpAnswer AttachmentAnswer(std::string contentType, std::string body, const std::string& name,
                            std::string_view fallbackName);
