// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/ResultStore.h"

#include "collector/PostgresResultStore.h"
#include "collector/SqliteResultStore.h"

std::vector<StoredResult> ResultStore::Query(const ResultFilter& filter) {
    std::vector<StoredResult> rows;
    ForEach(filter, [&rows](const StoredResult& row) {
        rows.push_back(row);
        return true;
    });
    return rows;
}

bool IsPostgresUri(const std::string& database) {
    return database.starts_with("postgresql://") || database.starts_with("postgres://");
}

std::unique_ptr<ResultStore> OpenResultStore(const std::string& database, bool writer,
                                             std::string& error,
                                             const std::string& applicationName) {
    if (IsPostgresUri(database)) {
        return OpenPostgresResultStore(database, writer, applicationName, error);
    }
    if (writer) {
        return SqliteResultStore::OpenWriter(database, error);
    }
    return SqliteResultStore::OpenReader(database, error);
}
