// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads one response from a byte source: status lines (skipping interim 100 answers), header
// blocks and the body, and decides whether the exchange succeeded. A body longer than
// kMaxAnswerBody, or status and header lines longer than kMaxAnswerHead in all, are not read:
// the exchange fails with AnswerTooLong.

#include <functional>
#include <string>

#include "net/ByteSource.h"
#include "net/HttpError.h"
#include "net/HttpHeaders.h"

struct HttpResponse {
    int status = -1;      // of the final response; -1 when not a number
    HttpHeaders headers;  // of the final response
    std::string body;
    bool closed = false;  // the server closed the connection during the exchange
};

enum class LineResult { Line, Closed, TimedOut, TooLong, Failed };

class ResponseReader {
public:
    using HeaderBlockHandler = std::function<void(const HttpHeaders&)>;

    explicit ResponseReader(ByteSource& source) : source_(source) {}

    // Reads the whole exchange. onHeaderBlock sees every complete header block, interim ones
    // included (the cookies of every block count). Returns HttpError::None on success; the
    // response holds whatever was read either way.
    HttpError Read(HttpResponse& response, const HeaderBlockHandler& onHeaderBlock = {});

    // One line up to LF, a CR before the LF removed. At the close of the connection the
    // bytes that remain form a last line.
    LineResult ReadLine(std::string& line);

private:
    enum class Fill { Data, Closed, TimedOut, Failed };

    Fill FillBuffer();
    HttpError ReadHeaderBlock(HttpHeaders& headers, bool& closedInHeaders);
    HttpError ReadBody(const HttpHeaders& headers, std::string& body);
    HttpError ReadExactly(std::int64_t count, std::string& body);
    HttpError ReadChunked(std::string& body);
    HttpError ReadToClose(std::string& body);
    HttpError SkipLine();
    std::size_t Buffered() const { return buffer_.size() - position_; }
    // Adds a status or header line to the bytes of the answer's head; false past the limit.
    bool CountHead(const std::string& line);

    ByteSource& source_;
    std::string buffer_;
    std::size_t position_ = 0;
    bool closed_ = false;
    std::size_t headBytes_ = 0;
};
