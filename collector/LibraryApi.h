// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's JSON interface to the class library (the page, scripts and editors use it):
//   GET    /api/tests                          the library
//   PUT    /api/tests/NAME                     a test file in any station format
//   GET    /api/tests/NAME[?as=ttxt|tbin|tbin-scrambled]
//   PATCH  /api/tests/NAME                     {"published": bool, "chooser_text": "..."}
//   DELETE /api/tests/NAME
//   GET|PUT|DELETE /api/tests/NAME/pictures/FILE
//   GET    /api/stations                       what each station last did
// The caller has been let in as the teacher already. A write whose Origin names another
// site is refused, so a page opened elsewhere cannot use the teacher's browser.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "collector/ClassLibrary.h"
#include "collector/HttpServer.h"

inline constexpr std::size_t kMaxTestUploadBytes = 50 * 1024 * 1024;
inline constexpr std::size_t kMaxPictureUploadBytes = 10 * 1024 * 1024;
inline constexpr std::size_t kMaxPatchBytes = 64 * 1024;

bool IsLibraryApiPath(std::string_view path);

// The largest body the request may bring (0 for none).
std::size_t LibraryBodyLimit(const RequestHead& head);

// Whether a writing request may go on: its Origin, when it has one, is this server.
bool SameOriginWrite(const RequestHead& head);

void ServeLibraryApi(ClassLibrary& library, HttpServer& server, std::uint64_t connection,
                     const RequestHead& head);
