// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sync's HTTP/1.1 client: one request per connection, every wait bounded by one
// deadline for the whole run, answers bounded by a size the caller gives, so that a server
// that stalls, lies or floods cannot keep a station from starting.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

enum class SyncNetError { None, Unreachable, TimedOut, Broken, TooLarge };

// Russian, for the lines the sync prints.
const char* to_string(SyncNetError error);

struct SyncReply {
    SyncNetError Error = SyncNetError::None;
    int Status = 0;
    std::string Body;
};

class SyncHttp {
public:
    using Clock = std::chrono::steady_clock;

    // host is a dotted IPv4 address, "localhost" or a name (looked up once).
    SyncHttp(std::string host, int port, std::string key, Clock::time_point deadline);

    SyncReply Send(std::string_view method, const std::string& target, std::string_view body,
                   std::size_t maxBody);

    // Whether some answer arrived in this run.
    bool Reached() const { return reached_; }
    bool Expired() const { return Clock::now() >= deadline_; }

private:
    int Connect(SyncNetError& error);

    std::string host_;
    int port_;
    std::string key_;
    Clock::time_point deadline_;
    bool reached_ = false;
};

// Splits "HOST[:PORT]" (port 80 when none); false when the port is no number 1 to 65535.
bool SplitServer(const std::string& server, std::string& host, int& port);
