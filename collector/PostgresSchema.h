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

// Result ids and the page's paging by id. Every transaction that stores results takes this
// lock shared before its rows draw their ids, so that the collectors commit side by side and
// share the disk's flushes. A poll that pages by id takes it exclusively for a moment: once
// it holds it, no transaction that drew ids is still open, so every id up to the sequence's
// last value is final, and the poll reads no further. A page thus never passes over a row
// that another collector commits a moment later under a smaller id. The statement also gives
// the transaction's id, by which the outcome of a commit whose answer was lost is asked.
constexpr const char* kResultWriterLock =
    "SELECT pg_advisory_xact_lock_shared(7401522, 2), pg_current_xact_id()::text";
constexpr const char* kResultHorizonLock = "SELECT pg_advisory_xact_lock(7401522, 2)";

// How long a poll waits for the result transactions open at that moment; past it, the poll
// reads nothing new this time rather than wait behind a stalled one.
constexpr const char* kResultHorizonWait = "SET LOCAL lock_timeout = '250ms'";
