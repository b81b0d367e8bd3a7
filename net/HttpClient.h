// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's HTTP/1.1 GET client. One client lives for the whole run: it keeps the open
// connection, the cookie jar, the port of the last URL and whether Basic authorization was
// asked for, from one student to the next.

#include <memory>
#include <string>

#include "net/CookieJar.h"
#include "net/HttpError.h"
#include "net/TcpConnection.h"
#include "platform/StationLimits.h"

struct HttpResult {
    HttpError error = HttpError::None;
    int status = -1;   // of the final response; -1 when none arrived or it was not a number
    std::string body;  // cp1251 bytes as the server sent them

    bool Ok() const { return error == HttpError::None; }
};

class HttpClient {
public:
    HttpClient();
    ~HttpClient();

    // Sends one GET for url and reads the answer. Blocks until the exchange is over; every
    // wait is bounded by the time limits in net/HttpParse.h, and the whole exchange by the
    // attempt limit (kAttemptTimeLimitMs), after which it fails with AttemptTimeout.
    // Redirects are never followed.
    HttpResult Get(const std::string& url);

    // Another limit for one whole exchange than kAttemptTimeLimitMs (for the tests).
    void SetAttemptTimeLimit(int milliseconds) { attemptLimitMs_ = milliseconds; }

    // Whether a connection is kept open for the next request.
    bool Connected() const { return connection_ != nullptr; }

private:
    HttpError Exchange(const std::string& host, int port, const std::string& request,
                       const std::string& requestPath, HttpResult& result);
    void Disconnect();

    std::unique_ptr<TcpConnection> connection_;
    std::string connectedHost_;
    int connectedPort_ = 0;
    std::string keptPort_;  // port text of the last URL
    bool basicAuthorization_ = false;
    int attemptLimitMs_ = kAttemptTimeLimitMs;
    CookieJar cookies_;
};
