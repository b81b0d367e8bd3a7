// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The endpoints a station's sync uses, behind the station key ("Authorization: Bearer KEY"):
//   GET  /station/manifest            the published set: each file's name, size, SHA-256
//   GET  /station/files/NAME          one file of the published set
//   POST /station/journal?host=NAME   records of the station's report.log
//   POST /station/status?host=NAME&version=V&failed=0|1   how its run ended (body: text)
// A station can read nothing but the published set and write nothing but journal records
// and its own status. Without a key configured every request is refused.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "collector/ClassLibrary.h"
#include "collector/HttpServer.h"

bool IsStationPath(std::string_view path);

// Whether the Authorization header carries the station key (never when key is empty).
bool StationKeyAllows(std::string_view authorization, std::string_view key);

// The largest body the request may bring (0 for none); the key is checked by the caller.
std::size_t StationBodyLimit(const RequestHead& head);

void ServeStation(ClassLibrary& library, const std::string& key, HttpServer& server,
                  std::uint64_t connection, const RequestHead& head, const std::string& peer);
