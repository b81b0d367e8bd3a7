// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the result servers accept a connection: the server the station starts with and those
// of [servers], in the order the station tries them. A connection is opened and closed again;
// nothing is sent, so no result can ever be faked.

#include <string>
#include <vector>

struct TServerProbe {
    std::string Address;  // cp1251, as the station holds it
    int ListIndex = -1;   // its index in Settings.Servers; -1 for the start server
    bool Reachable = false;
    std::string Why = {};  // why not, in Russian (UTF-8)
};

// The walk of the result submission: startServer first unless [servers] lists it, then the
// listed servers. Each one gets at most timeoutMs to accept the connection.
std::vector<TServerProbe> ProbeServers(const std::string& startServer,
                                       const std::vector<std::string>& servers, int timeoutMs);
