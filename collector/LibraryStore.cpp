// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/LibraryStore.h"

#include "collector/LibraryPostgres.h"
#include "collector/LibrarySqlite.h"
#include "collector/ResultStore.h"

std::unique_ptr<LibraryStore> OpenLibraryStore(const std::string& database,
                                               const std::string& applicationName,
                                               std::string& error) {
    if (IsPostgresUri(database)) {
        return OpenPostgresLibrary(database, applicationName, error);
    }
    return OpenSqliteLibrary(database, error);
}

bool FoldsIntoNewestVersion(EditorSaveKind kind, std::optional<std::int64_t> previousSavedMs,
                            std::int64_t nowMs) {
    return kind == EditorSaveKind::Change && previousSavedMs &&
           nowMs - *previousSavedMs < kEditorVersionSpanMs;
}
