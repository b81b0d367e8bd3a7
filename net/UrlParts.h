// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Splitting of a request URL into the parts that go on the wire. Nothing is decoded or
// encoded: the target is sent byte for byte as the URL holds it.

#include <optional>
#include <string>
#include <string_view>

struct UrlParts {
    std::string scheme;    // text before "://"
    std::string host;      // authority up to its first colon, user:password@ removed
    std::string port;      // text after that colon; empty when the URL has no port
    std::string path;      // "/" up to and including the last slash before the query
    std::string document;  // between that slash and the query
    std::string query;     // from "?" on, "?" included, cut at the first "#"

    // What the request line carries after "GET ".
    std::string Target() const { return path + document + query; }
    // The path the cookies are matched against: the target without its query.
    std::string RequestPath() const { return path + document; }
};

// Backslashes become slashes first; see UrlParts for the rest.
UrlParts SplitUrl(std::string_view url);

// A port text that names a TCP port (1 to 65535), read with the platform's integer conversion.
std::optional<int> ParsePort(std::string_view text);

// The port text a request uses: the URL's own port when it has one; otherwise the port kept
// from the previous request, unless that one is empty, not a port, 80 or 443, which gives "80".
std::string ResolvePort(std::string_view urlPort, std::string_view keptPort);
