// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/HttpHeaders.h"

#include "platform/Cp1251.h"
#include "platform/TextUtils.h"

void HttpHeaders::AddLine(std::string_view line) {
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        if (headers_.empty()) {
            return;
        }
        std::string& value = headers_.back().value;
        value += ' ';
        value += TrimView(line);
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        headers_.push_back({Trim(line), std::string()});
        return;
    }
    headers_.push_back({Trim(line.substr(0, colon)), Trim(line.substr(colon + 1))});
}

const HttpHeader* HttpHeaders::Find(std::string_view name) const {
    for (const HttpHeader& header : headers_) {
        if (AnsiSameText(header.name, name)) {
            return &header;
        }
    }
    return nullptr;
}

std::string HttpHeaders::Value(std::string_view name) const {
    const HttpHeader* header = Find(name);
    return header ? header->value : std::string();
}
