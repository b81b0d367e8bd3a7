// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's requests once routed: each runs on the class library's thread with its store
// and gives the whole answer.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "collector/ClassLibrary.h"
#include "collector/HttpAnswer.h"

enum class EditorRoute {
    Check,     // POST /check
    Import,    // POST /import?name=FILE
    Zip,       // GET  /library.zip
    Create,    // POST /tests
    Test,      // GET|PUT /tests/NAME
    Rename,    // POST /tests/NAME/rename
    Versions,  // GET  /tests/NAME/versions
    Version,   // GET  /tests/NAME/versions/REV
    Restore,   // POST /tests/NAME/versions/REV/restore
    Picture,   // GET|PUT|DELETE /tests/NAME/pictures/FILE
    Export,    // GET  /tests/NAME/export?as=FORMAT
};

struct EditorRequest {
    EditorRoute Route = EditorRoute::Check;
    std::string Method;
    std::string Test;     // UTF-8 file name, when the path names one
    std::string Picture;  // UTF-8 file name, when the path names one
    std::int64_t Revision = 0;
    std::string Query;
    std::string Body;
};

HttpAnswer EditorJson(int status, const nlohmann::ordered_json& document);
// {"message": text} with the status.
HttpAnswer EditorMessage(int status, const std::string& text);

HttpAnswer HandleEditorRequest(ClassLibrary& library, LibraryStore& store,
                               const EditorRequest& request);
