// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An HTTP answer and its bytes on the wire. Every answer carries a Content-Length, so a
// kept connection always knows where the next answer begins.

#include <memory>
#include <string>
#include <utility>
#include <vector>

class StreamPipe;

struct HttpAnswer {
    int Status = 200;
    std::string ContentType = "text/plain; charset=utf-8";
    std::string Body;
    std::vector<std::pair<std::string, std::string>> Headers;
    bool Close = false;  // close the connection after this answer
    // A body made while it is sent (Body is then empty): chunked on HTTP/1.1, else ended by
    // closing the connection.
    std::shared_ptr<StreamPipe> Stream;
};

// A short plain-text answer.
HttpAnswer TextAnswer(int status, std::string text);

const char* ReasonPhrase(int status);

// The status line, headers and body. keepAlive says whether the connection stays open;
// an HTTP/1.0 client is told so explicitly. A streamed answer gets its head only, with
// "Transfer-Encoding: chunked" when the connection stays open.
std::string FormatAnswer(const HttpAnswer& answer, bool keepAlive, int minorVersion);
