// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ResponseReader.h"

#include <algorithm>
#include <cstring>

#include "net/HttpParse.h"
#include "platform/StationLimits.h"

namespace {

constexpr std::size_t kReadPiece = 16384;

HttpError LineError(LineResult result) {
    switch (result) {
        case LineResult::TimedOut:
            return HttpError::ReadTimeout;
        case LineResult::TooLong:
            return HttpError::LineTooLong;
        case LineResult::Failed:
            return HttpError::SocketError;
        case LineResult::Line:
        case LineResult::Closed:
            break;
    }
    return HttpError::None;
}

bool IsRedirect(int status, const HttpHeaders& headers) {
    return (status >= 300 && status <= 399 && status != 304) || HasLocation(headers);
}

}  // namespace

ResponseReader::Fill ResponseReader::FillBuffer() {
    if (position_ > 0) {
        buffer_.erase(0, position_);
        position_ = 0;
    }
    char piece[kReadPiece];
    std::size_t received = 0;
    switch (source_.Read(piece, sizeof piece, received)) {
        case ReadStatus::Data:
            buffer_.append(piece, std::min(received, sizeof piece));
            return Fill::Data;
        case ReadStatus::Closed:
            closed_ = true;
            return Fill::Closed;
        case ReadStatus::TimedOut:
            return Fill::TimedOut;
        case ReadStatus::Failed:
            break;
    }
    return Fill::Failed;
}

bool ResponseReader::CountHead(const std::string& line) {
    headBytes_ += line.size() + 2;
    return headBytes_ <= kMaxAnswerHead;
}

LineResult ResponseReader::ReadLine(std::string& line) {
    for (;;) {
        const char* begin = buffer_.data() + position_;
        const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', Buffered()));
        if (lf != nullptr || (closed_ && Buffered() > 0)) {
            const std::size_t length =
                lf != nullptr ? static_cast<std::size_t>(lf - begin) : Buffered();
            std::size_t content = length;
            if (content > 0 && begin[content - 1] == '\r') {
                --content;
            }
            if (content > kMaxResponseLine) {
                return LineResult::TooLong;
            }
            line.assign(begin, content);
            position_ += lf != nullptr ? length + 1 : length;
            return LineResult::Line;
        }
        // Without an LF, more than the limit plus a CR can no longer end in time.
        if (Buffered() > kMaxResponseLine + 1) {
            return LineResult::TooLong;
        }
        if (closed_) {
            return LineResult::Closed;
        }
        switch (FillBuffer()) {
            case Fill::Data:
            case Fill::Closed:
                break;
            case Fill::TimedOut:
                return LineResult::TimedOut;
            case Fill::Failed:
                return LineResult::Failed;
        }
    }
}

HttpError ResponseReader::ReadHeaderBlock(HttpHeaders& headers, bool& closedInHeaders) {
    std::string line;
    for (;;) {
        const LineResult result = ReadLine(line);
        if (result == LineResult::Closed) {
            closedInHeaders = true;
            return HttpError::None;
        }
        if (result != LineResult::Line) {
            return LineError(result);
        }
        if (!CountHead(line)) {
            return HttpError::AnswerTooLong;
        }
        if (line.empty()) {
            return HttpError::None;
        }
        headers.AddLine(line);
    }
}

HttpError ResponseReader::SkipLine() {
    std::string line;
    return LineError(ReadLine(line));
}

HttpError ResponseReader::ReadExactly(std::int64_t count, std::string& body) {
    while (count > 0) {
        if (Buffered() == 0) {
            if (closed_) {
                return HttpError::None;  // an early close ends the body without failure
            }
            const Fill fill = FillBuffer();
            if (fill == Fill::TimedOut) {
                return HttpError::ReadTimeout;
            }
            if (fill == Fill::Failed) {
                return HttpError::SocketError;
            }
            continue;
        }
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::int64_t>(count, Buffered()));
        if (take > kMaxAnswerBody - body.size()) {
            return HttpError::AnswerTooLong;
        }
        body.append(buffer_, position_, take);
        position_ += take;
        count -= static_cast<std::int64_t>(take);
    }
    return HttpError::None;
}

HttpError ResponseReader::ReadChunked(std::string& body) {
    std::string line;
    for (;;) {
        const LineResult result = ReadLine(line);
        if (result == LineResult::Closed) {
            return HttpError::None;
        }
        if (result != LineResult::Line) {
            return LineError(result);
        }
        const std::int32_t size = ParseChunkSize(line);
        if (size <= 0) {
            return SkipLine();  // the line after the last chunk; trailers are not expected
        }
        HttpError error = ReadExactly(size, body);
        if (error == HttpError::None) {
            error = SkipLine();  // the line break after the chunk data
        }
        if (error != HttpError::None) {
            return error;
        }
    }
}

HttpError ResponseReader::ReadToClose(std::string& body) {
    for (;;) {
        if (Buffered() > kMaxAnswerBody - body.size()) {
            return HttpError::AnswerTooLong;
        }
        body.append(buffer_, position_, Buffered());
        position_ = buffer_.size();
        if (closed_) {
            return HttpError::None;
        }
        const Fill fill = FillBuffer();
        if (fill == Fill::TimedOut) {
            return HttpError::ReadTimeout;
        }
        if (fill == Fill::Failed) {
            return HttpError::SocketError;
        }
    }
}

HttpError ResponseReader::ReadBody(const HttpHeaders& headers, std::string& body) {
    const HttpHeader* lengthHeader = headers.Find("Content-Length");
    const std::optional<std::int64_t> length =
        lengthHeader != nullptr ? ParseContentLength(lengthHeader->value) : std::nullopt;
    if (length && *length > static_cast<std::int64_t>(kMaxAnswerBody)) {
        return HttpError::AnswerTooLong;  // not worth waiting for
    }
    if (length && *length > 0) {
        return ReadExactly(*length, body);
    }
    if (IsChunked(headers.Value("Transfer-Encoding"))) {
        return ReadChunked(body);
    }
    if (!length) {
        return ReadToClose(body);
    }
    return HttpError::None;
}

HttpError ResponseReader::Read(HttpResponse& response, const HeaderBlockHandler& onHeaderBlock) {
    bool closedInHeaders = false;
    for (;;) {
        std::string statusLine;
        const LineResult result = ReadLine(statusLine);
        if (result == LineResult::Closed) {
            response.closed = true;
            return HttpError::ClosedBeforeStatus;
        }
        if (result != LineResult::Line) {
            response.closed = closed_;
            return LineError(result);
        }
        if (!CountHead(statusLine)) {
            return HttpError::AnswerTooLong;
        }
        response.status = ParseStatusCode(statusLine);
        response.headers.Clear();
        const HttpError error = ReadHeaderBlock(response.headers, closedInHeaders);
        if (error != HttpError::None) {
            response.closed = closed_;
            return error;
        }
        if (onHeaderBlock) {
            onHeaderBlock(response.headers);
        }
        if (response.status != 100) {
            break;
        }
    }

    const int status = response.status;
    HttpError outcome = HttpError::None;
    bool readBody = true;
    if (IsRedirect(status, response.headers)) {
        outcome = HttpError::Redirect;
    } else if (status >= 200 && status <= 299) {
        if (closedInHeaders) {
            outcome = HttpError::ClosedInHeaders;
            readBody = false;
        } else if (status == 204) {
            readBody = false;
        }
    } else {
        outcome = HttpError::ErrorStatus;
    }
    if (readBody) {
        const HttpError bodyError = ReadBody(response.headers, response.body);
        if (outcome == HttpError::None) {
            outcome = bodyError;
        }
    }
    response.closed = closed_;
    return outcome;
}
