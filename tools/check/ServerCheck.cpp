// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/ServerCheck.h"

#include <memory>

#include "net/TcpConnection.h"
#include "net/UrlParts.h"
#include "platform/Cp1251.h"

namespace {

std::string ReasonText(HttpError error) {
    switch (error) {
        case HttpError::EmptyHost:
            return "в адресе нет имени сервера";
        case HttpError::BadPort:
            return "порт — не число от 1 до 65535";
        case HttpError::HostNotFound:
            return "имя сервера не найдено";
        case HttpError::ConnectTimeout:
            return "сервер не ответил за отведённое время";
        case HttpError::ConnectFailed:
            return "соединение отвергнуто";
        default:
            return std::string(to_string(error));
    }
}

}  // namespace

std::vector<TServerProbe> ProbeServers(const std::string& startServer,
                                       const std::vector<std::string>& servers, int timeoutMs) {
    std::vector<TServerProbe> probes;
    bool listed = false;
    for (const std::string& server : servers) {
        listed = listed || AnsiSameText(server, startServer);
    }
    if (!listed) {
        probes.push_back({startServer, -1});
    }
    for (std::size_t i = 0; i < servers.size(); ++i) {
        probes.push_back({servers[i], static_cast<int>(i)});
    }
    // The port of a server without one is the port of the previous attempt, as the station's
    // client keeps it.
    std::string keptPort;
    for (TServerProbe& probe : probes) {
        const UrlParts parts = SplitUrl("http://" + probe.Address + "/tezra/result");
        keptPort = ResolvePort(parts.port, keptPort);
        HttpError error = HttpError::None;
        const std::optional<int> port = ParsePort(keptPort);
        if (parts.host.empty()) {
            error = HttpError::EmptyHost;
        } else if (!port) {
            error = HttpError::BadPort;
        } else {
            std::unique_ptr<TcpConnection> connection;
            error = TcpConnection::Open(parts.host, *port, timeoutMs, connection);
        }
        probe.Reachable = error == HttpError::None;
        if (!probe.Reachable) {
            probe.Why = ReasonText(error);
        }
    }
    return probes;
}
