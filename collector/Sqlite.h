// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thin RAII layer over the SQLite C API: one owned connection, prepared statements that
// finalize themselves, and a transaction guard that rolls back unless committed.

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class SqliteStatement;

class SqliteDatabase {
public:
    // Opens (and with create, creates) the database file. Check Ok() afterwards.
    SqliteDatabase(const std::filesystem::path& file, bool create, bool readOnly = false);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    bool Ok() const { return db_ != nullptr; }
    // The last error of this connection (or of the open) as text.
    const std::string& Error() const { return error_; }

    // Runs one or more statements without results. False (and Error()) on failure.
    bool Execute(const char* sql);
    // A prepared statement; its Ok() is false when the text does not compile.
    SqliteStatement Prepare(const char* sql);
    // The single integer that the query returns, or nothing.
    std::optional<std::int64_t> QueryInt(const char* sql);
    // Rows changed by the last insert, update or delete.
    int Changes() const;

    sqlite3* Handle() const { return db_; }

private:
    void TakeError();

    sqlite3* db_ = nullptr;
    std::string error_;
};

class SqliteStatement {
public:
    SqliteStatement(SqliteDatabase& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    SqliteStatement& operator=(SqliteStatement&&) = delete;

    bool Ok() const { return statement_ != nullptr; }

    // Parameters are numbered from 1. Text and blobs are copied.
    void Bind(int index, std::int64_t value);
    void Bind(int index, std::string_view text);
    void BindBlob(int index, std::string_view bytes);
    void BindNull(int index);

    // Steps once: true while a row is ready; Done() tells whether the statement finished
    // without error.
    bool Step();
    bool Done() const { return done_; }
    // Runs the statement to its end; true when it finished without error.
    bool Run();
    // Clears the bindings and makes the statement ready to run again.
    void Reset();

    std::int64_t Int(int column) const;
    std::string Text(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
    bool done_ = false;
};

// BEGIN IMMEDIATE on construction; ROLLBACK on destruction unless Commit() succeeded.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool Begun() const { return begun_; }
    bool Commit();

private:
    SqliteDatabase& db_;
    bool begun_ = false;
    bool finished_ = false;
};
