// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading one HTTP request head from the bytes a connection has received so far. The
// request line's target is everything between the method's space and the last " HTTP/1.x",
// so stations that put raw spaces into their query are understood.

#include <cstddef>
#include <string>
#include <string_view>

struct RequestLimits {
    std::size_t MaxLine = 16 * 1024;  // the request line, line end excluded
    std::size_t MaxHead = 32 * 1024;  // request line and headers together
    std::size_t MaxHeaders = 100;
    std::size_t MaxBody = 50 * 1024 * 1024;  // the largest body any handler may take
};

struct RequestHead {
    std::string Method;
    std::string Target;  // raw bytes as sent
    int Minor = 1;       // HTTP/1.<Minor>
    bool KeepAlive = true;
    std::string Authorization;
    std::string Cookie;
    std::string Origin;       // the Origin header, empty when none
    std::string Host;         // the Host header
    std::string FetchSite;    // Sec-Fetch-Site as browsers send it
    std::string FetchMode;    // Sec-Fetch-Mode: "navigate" for a page, "cors" for a script
    std::string EditorToken;  // X-Tezra-Token: the editor page's proof that it sent a write
    bool HasBody = false;     // a Content-Length above 0 or any Transfer-Encoding
    bool Chunked = false;     // a Transfer-Encoding: bodies are only taken with a length
    bool BadLength = false;   // a Content-Length that is no number or given twice apart
    std::size_t ContentLength = 0;
    bool ExpectContinue = false;  // "Expect: 100-continue"
    std::string Body;             // filled in by the server before the handler sees it

    std::string_view Path() const;   // the target up to "?"
    std::string_view Query() const;  // after the first "?", empty when none
};

enum class HeadStatus { Incomplete, Complete, Bad, LineTooLong, HeadTooLarge };

struct HeadParse {
    HeadStatus Status = HeadStatus::Incomplete;
    std::size_t Consumed = 0;  // bytes of the head, blank line included, when Complete
};

// Looks for a complete head at the start of buffer. Empty lines before the request line are
// skipped, as a client may send them after a previous request.
HeadParse ParseRequestHead(std::string_view buffer, const RequestLimits& limits,
                           RequestHead& head);

// The request line read alone: method, target and minor version. False when it is no
// "METHOD target HTTP/1.x" line. A target in absolute form ("http://host/path?query") is
// kept as its path and query, as every HTTP/1.1 server must accept it.
bool ParseRequestLine(std::string_view line, RequestHead& head);
