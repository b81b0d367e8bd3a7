// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The header block of one response: names kept as sent, looked up without regard to case,
// in the order the server sent them.

#include <string>
#include <string_view>
#include <vector>

struct HttpHeader {
    std::string name;
    std::string value;
};

class HttpHeaders {
public:
    // Takes one header line: "Name: value" (value trimmed; a line without a colon is a name
    // with an empty value), or a continuation line that begins with a space or a tab, whose
    // trimmed text joins the previous value after one space.
    void AddLine(std::string_view line);

    // The first header of that name, or nullptr.
    const HttpHeader* Find(std::string_view name) const;
    // Its value, or an empty string.
    std::string Value(std::string_view name) const;

    const std::vector<HttpHeader>& All() const { return headers_; }
    void Clear() { headers_.clear(); }

private:
    std::vector<HttpHeader> headers_;
};
