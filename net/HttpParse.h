// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pure pieces of the HTTP exchange: the request text, and the readings of the response's
// status line and headers. None of them touches a socket.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/HttpHeaders.h"

// Limits of the exchange.
constexpr std::size_t kMaxResponseLine = 16384;  // bytes in one response line, CR LF excluded
constexpr std::size_t kHeaderFoldLength = 1024;  // a longer request header line is folded
constexpr int kConnectTimeoutMs = 2000;          // to establish the TCP connection
constexpr int kReadTimeoutMs = 2000;             // for every wait for incoming data
constexpr int kKeptConnectionCheckMs = 1;        // to notice that the server closed a kept one

// The request as written to the server, in one piece. portText goes into the Host header
// unless it is "80"; cookies is the Cookie header's value, empty for none.
std::string BuildRequest(std::string_view target, std::string_view host, std::string_view portText,
                         bool basicAuthorization, std::string_view cookies);

// Appends "name: value" CR LF, folded onto continuation lines that begin with a space when
// the line is longer than kHeaderFoldLength and has blanks to break at.
void AppendHeaderLine(std::string& out, std::string_view name, std::string_view value);

// The second space-separated word of the status line as a decimal number; -1 when it is not.
int ParseStatusCode(std::string_view statusLine);

// A chunk size line: the text up to its first space as a hexadecimal number (wrapping to a
// signed 32-bit value); 0 when that text is not a hexadecimal number.
std::int32_t ParseChunkSize(std::string_view line);

// A usable Content-Length: the trimmed value as a decimal number of 0 or more.
std::optional<std::int64_t> ParseContentLength(std::string_view value);

// Whether the Transfer-Encoding value asks for chunked transfer (case matters).
bool IsChunked(std::string_view transferEncoding);

// Whether one of the WWW-Authenticate headers offers the Basic scheme.
bool OffersBasic(const HttpHeaders& headers);

// Whether the response lets the connection stay open: neither Connection nor
// Proxy-Connection is "close".
bool KeepsConnection(const HttpHeaders& headers);

// Whether one of the response's Location headers is not empty.
bool HasLocation(const HttpHeaders& headers);
