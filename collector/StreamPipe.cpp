// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/StreamPipe.h"

#include "collector/HttpServer.h"

bool StreamPipe::Write(std::string_view bytes) {
    std::function<void()> ready;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [this] { return cancelled_ || buffer_.size() < kCapacity; });
        if (cancelled_) {
            return false;
        }
        buffer_.append(bytes);
        ready = ready_;
    }
    if (ready) {
        ready();
    }
    return true;
}

void StreamPipe::Finish(bool ok) {
    std::function<void()> ready;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        ok_ = ok;
        ready = ready_;
    }
    if (ready) {
        ready();
    }
}

StreamPipe::Take StreamPipe::TakeAll(std::string& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!buffer_.empty()) {
        out.swap(buffer_);
        buffer_.clear();
        room_.notify_all();
        return Take::Data;
    }
    if (!finished_) {
        return Take::Empty;
    }
    return ok_ ? Take::Ended : Take::Failed;
}

void StreamPipe::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    ready_ = nullptr;
    room_.notify_all();
}

void StreamPipe::OnReady(std::function<void()> ready) {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_ = std::move(ready);
}

StreamedAnswer::~StreamedAnswer() {
    if (!finished_) {
        Finish(false);
    }
}

bool StreamedAnswer::Write(std::string_view bytes) {
    pending_.append(bytes);
    if (!pipe_ && pending_.size() > kWhole) {
        pipe_ = std::make_shared<StreamPipe>();
        HttpAnswer head = head_;
        head.Stream = pipe_;
        server_.Answer(connection_, std::move(head));
    }
    if (pipe_ && pending_.size() >= kPiece) {
        const bool open = pipe_->Write(pending_);
        pending_.clear();
        return open;
    }
    return true;
}

void StreamedAnswer::Finish(bool ok) {
    finished_ = true;
    if (!pipe_) {
        HttpAnswer answer = ok ? std::move(head_) : TextAnswer(503, "the export failed");
        if (ok) {
            answer.Body = std::move(pending_);
        }
        server_.Answer(connection_, std::move(answer));
        return;
    }
    if (ok && !pending_.empty()) {
        ok = pipe_->Write(pending_);
    }
    pipe_->Finish(ok);
}
