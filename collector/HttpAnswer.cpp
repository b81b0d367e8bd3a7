// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/HttpAnswer.h"

HttpAnswer TextAnswer(int status, std::string text) {
    HttpAnswer answer;
    answer.Status = status;
    answer.Body = std::move(text);
    if (!answer.Body.empty() && answer.Body.back() != '\n') {
        answer.Body += '\n';
    }
    return answer;
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 413:
            return "Content Too Large";
        case 414:
            return "URI Too Long";
        case 429:
            return "Too Many Requests";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return status >= 500 ? "Server Error" : status >= 400 ? "Client Error" : "OK";
    }
}

std::string FormatAnswer(const HttpAnswer& answer, bool keepAlive, int minorVersion) {
    std::string text =
        "HTTP/1.1 " + std::to_string(answer.Status) + " " + ReasonPhrase(answer.Status) + "\r\n";
    text += "Content-Type: " + answer.ContentType + "\r\n";
    if (!answer.Stream) {
        text += "Content-Length: " + std::to_string(answer.Body.size()) + "\r\n";
    } else if (keepAlive) {
        text += "Transfer-Encoding: chunked\r\n";
    }
    for (const auto& [name, value] : answer.Headers) {
        text += name + ": " + value + "\r\n";
    }
    if (!keepAlive) {
        text += "Connection: close\r\n";
    } else if (minorVersion == 0) {
        text += "Connection: keep-alive\r\n";
    }
    text += "\r\n";
    return answer.Stream ? text : text + answer.Body;
}
