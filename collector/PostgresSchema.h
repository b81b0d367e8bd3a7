// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The collectors' tables in a PostgreSQL database: results, hides and restores, the class
// library and the stations' sync status. Versioned in schema_version; created and migrated
// under an advisory lock, so that collectors starting together create them once.

#include <string>

#include "collector/Postgres.h"

constexpr int kPostgresSchemaVersion = 2;

// Brings the schema to this collector's version. False with the reason in error, also for a
// database of a newer schema.
bool MigratePostgres(PgConnection& connection, std::string& error);

// The lock every result transaction takes first: rows get their ids in the order they are
// committed, so that a page paging by id misses none that another collector stored.
constexpr const char* kResultOrderLock = "SELECT pg_advisory_xact_lock(7401522, 2)";
