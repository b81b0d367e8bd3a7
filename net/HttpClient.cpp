// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/HttpClient.h"

#include <algorithm>
#include <chrono>

#include "net/HttpParse.h"
#include "net/ResponseReader.h"
#include "net/UrlParts.h"
#include "platform/Cp1251.h"

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

void HttpClient::Disconnect() {
    connection_.reset();
    connectedHost_.clear();
    connectedPort_ = 0;
}

HttpResult HttpClient::Get(const std::string& url) {
    HttpResult result;
    const UrlParts parts = SplitUrl(url);
    const std::string portText = ResolvePort(parts.port, keptPort_);
    keptPort_ = portText;
    if (parts.host.empty()) {
        result.error = HttpError::EmptyHost;
        return result;
    }
    const std::optional<int> port = ParsePort(portText);
    if (!port) {
        result.error = HttpError::BadPort;
        return result;
    }

    if (connection_ && (!AnsiSameText(connectedHost_, parts.host) || connectedPort_ != *port ||
                        connection_->IsStale(kKeptConnectionCheckMs))) {
        Disconnect();
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(attemptLimitMs_);
    if (!connection_) {
        const int connectMs = std::min(kConnectTimeoutMs, attemptLimitMs_);
        result.error = TcpConnection::Open(parts.host, *port, connectMs, connection_);
        if (result.error != HttpError::None) {
            return result;
        }
        connection_->SetReadTimeout(kReadTimeoutMs);
        connectedHost_ = parts.host;
        connectedPort_ = *port;
    }

    connection_->SetEnd(end);
    const std::string requestPath = parts.RequestPath();
    const std::string cookies = cookies_.CookieHeader(parts.host, requestPath, *port, CookieNow());
    const std::string request =
        BuildRequest(parts.Target(), parts.host, portText, basicAuthorization_, cookies);
    result.error = Exchange(parts.host, *port, request, requestPath, result);
    if (result.error == HttpError::ReadTimeout && std::chrono::steady_clock::now() >= end) {
        result.error = HttpError::AttemptTimeout;
    }
    return result;
}

HttpError HttpClient::Exchange(const std::string& host, int port, const std::string& request,
                               const std::string& requestPath, HttpResult& result) {
    if (!connection_->SendAll(request, std::min(kReadTimeoutMs, attemptLimitMs_))) {
        Disconnect();
        return HttpError::SendFailed;
    }
    ResponseReader reader(*connection_);
    HttpResponse response;
    const HttpError error = reader.Read(response, [&](const HttpHeaders& headers) {
        cookies_.TakeCookies(headers, host, requestPath, port, CookieNow());
    });
    result.status = response.status;
    result.body = std::move(response.body);
    if (response.status == 401 && OffersBasic(response.headers)) {
        basicAuthorization_ = true;
    }
    // After a failure the connection is never reused, so that a late answer cannot be taken
    // for the next request's.
    if (error != HttpError::None || response.closed || !KeepsConnection(response.headers)) {
        Disconnect();
    }
    return error;
}
