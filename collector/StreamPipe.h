// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An answer body that is made while it is sent: a producer thread writes bytes, the server's
// thread takes them as the client reads. The pipe holds at most its capacity, so a large
// export takes little memory however slowly the client reads; when the client goes away
// the producer learns it at its next write.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "collector/HttpAnswer.h"

class HttpServer;

class StreamPipe {
public:
    static constexpr std::size_t kCapacity = 1 << 20;

    // Producer: appends bytes, waiting while the pipe is full. False once the answer was
    // cancelled (the client went away or the server stops).
    bool Write(std::string_view bytes);
    // Producer: the body is complete (ok) or broken off (the client sees a cut answer).
    void Finish(bool ok);

    enum class Take { Data, Empty, Ended, Failed };
    // Server: everything written so far, or why there is nothing.
    Take TakeAll(std::string& out);
    // Server: the answer is dropped; a waiting producer wakes up.
    void Cancel();
    // Server: called (from the producer's thread) whenever bytes or the end arrive.
    void OnReady(std::function<void()> ready);

private:
    std::mutex mutex_;
    std::condition_variable room_;
    std::string buffer_;
    bool finished_ = false;
    bool ok_ = true;
    bool cancelled_ = false;
    std::function<void()> ready_;
};

// Writes an answer body of unknown size: a body that stays small goes out whole with its
// Content-Length; once it grows past kWhole the answer goes out at once and the rest
// streams through a pipe in pieces of kPiece.
class StreamedAnswer {
public:
    static constexpr std::size_t kWhole = 1 << 20;
    static constexpr std::size_t kPiece = 64 * 1024;

    StreamedAnswer(HttpServer& server, std::uint64_t connection, HttpAnswer head)
        : server_(server), connection_(connection), head_(std::move(head)) {}
    ~StreamedAnswer();  // finishes as broken off unless Finish() was called
    StreamedAnswer(const StreamedAnswer&) = delete;
    StreamedAnswer& operator=(const StreamedAnswer&) = delete;

    // False once the client has gone: the producer should stop.
    bool Write(std::string_view bytes);
    // The body is complete (ok), or it failed: then a 503 when nothing was sent yet, else the
    // connection is cut so that the client sees an incomplete answer.
    void Finish(bool ok);

private:
    HttpServer& server_;
    std::uint64_t connection_;
    HttpAnswer head_;
    std::string pending_;
    std::shared_ptr<StreamPipe> pipe_;
    bool finished_ = false;
};
