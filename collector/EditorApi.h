// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test editor's JSON interface on the class server (/api/editor/...): a test of the
// library as a document to edit, saved with a revision so that two tabs never overwrite each
// other silently, its last versions, the checker's findings, import from the station's and
// other formats, pictures, export and the whole library as a zip for a USB stick. Every
// write must carry X-Tezra-Token, a value bound to the teacher's session that only the
// editor's page can read, so that another site cannot make the teacher's browser write.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "collector/ClassLibrary.h"
#include "collector/HttpAnswer.h"
#include "collector/HttpServer.h"

inline constexpr std::string_view kEditorTokenHeader = "X-Tezra-Token";

// Paths served here; the trial runs (/api/editor/try, /api/editor/preview) are not.
bool IsEditorApiPath(std::string_view path);

// The largest body a request under /api/editor may bring (0 for none).
std::size_t EditorBodyLimit(const RequestHead& head);
// The answer to a body over that limit, with a message for the teacher.
HttpAnswer EditorTooLarge(const RequestHead& head);

class EditorApi {
public:
    explicit EditorApi(ClassLibrary& library);

    // The token of the request's session (its cookie, or its Authorization for scripts).
    std::string TokenFor(const RequestHead& head) const;
    // A 403 answer for a write without the right token or from another site; nothing when
    // the request may go on (reads always may).
    std::optional<HttpAnswer> RefuseWrite(const RequestHead& head) const;

    // Serves a request of the teacher, already let in.
    void Serve(HttpServer& server, std::uint64_t connection, const RequestHead& head);

private:
    ClassLibrary& library_;
    std::string secret_;
};
