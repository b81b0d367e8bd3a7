// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's "try as a student" and "as the student sees it" requests:
//   POST   /api/editor/try                  {"doc": {...}} or {"test": "NAME"}: a new attempt
//   GET    /api/editor/try/ID               the attempt as it stands
//   POST   /api/editor/try/ID/answer        {"answer": index | [indexes] | "typed text"}
//   POST   /api/editor/try/ID/defer
//   DELETE /api/editor/try/ID
//   POST   /api/editor/preview              {"doc" or "test", "problem": index}
// The caller has let the teacher in already, with the page's proof on every write. The
// station's model draws and scores; no result goes anywhere.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "collector/ClassLibrary.h"
#include "collector/HttpServer.h"
#include "collector/TryAttempts.h"

inline constexpr std::size_t kMaxTryAnswerBytes = 64 * 1024;

bool IsTryApiPath(std::string_view path);

// The largest body the request may bring (0 for none), and the answer to a larger one.
std::size_t TryBodyLimit(const RequestHead& head);
HttpAnswer TryTooLarge(const RequestHead& head);

// teacher says whose attempts these are (the teacher's name and address).
void ServeTryApi(ClassLibrary& library, TryAttempts& attempts, HttpServer& server,
                 std::uint64_t connection, const RequestHead& head, const std::string& teacher);
