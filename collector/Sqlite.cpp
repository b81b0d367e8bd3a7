// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/Sqlite.h"

SqliteDatabase::SqliteDatabase(const std::filesystem::path& file, bool create, bool readOnly) {
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !readOnly) {
        flags |= SQLITE_OPEN_CREATE;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        error_ = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return;
    }
    db_ = db;
    // Readers and the writer meet on the same file; a short wait beats a failed request.
    sqlite3_busy_timeout(db_, 5000);
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(db_);
}

void SqliteDatabase::TakeError() {
    error_ = db_ != nullptr ? sqlite3_errmsg(db_) : "database not open";
}

bool SqliteDatabase::Execute(const char* sql) {
    if (db_ == nullptr) {
        return false;
    }
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        error_ = message != nullptr ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        return false;
    }
    return true;
}

SqliteStatement SqliteDatabase::Prepare(const char* sql) {
    SqliteStatement statement(*this, sql);
    if (!statement.Ok()) {
        TakeError();
    }
    return statement;
}

std::optional<std::int64_t> SqliteDatabase::QueryInt(const char* sql) {
    SqliteStatement statement = Prepare(sql);
    if (!statement.Ok() || !statement.Step()) {
        return std::nullopt;
    }
    return statement.Int(0);
}

int SqliteDatabase::Changes() const {
    return db_ != nullptr ? sqlite3_changes(db_) : 0;
}

SqliteStatement::SqliteStatement(SqliteDatabase& db, const char* sql) {
    if (db.Handle() != nullptr &&
        sqlite3_prepare_v2(db.Handle(), sql, -1, &statement_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : statement_(other.statement_), done_(other.done_) {
    other.statement_ = nullptr;
}

void SqliteStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void SqliteStatement::Bind(int index, std::string_view text) {
    sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
}

void SqliteStatement::BindBlob(int index, std::string_view bytes) {
    sqlite3_bind_blob64(statement_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

void SqliteStatement::BindNull(int index) {
    sqlite3_bind_null(statement_, index);
}

bool SqliteStatement::Step() {
    if (statement_ == nullptr) {
        done_ = false;
        return false;
    }
    const int rc = sqlite3_step(statement_);
    done_ = rc == SQLITE_DONE;
    return rc == SQLITE_ROW;
}

bool SqliteStatement::Run() {
    while (Step()) {
    }
    return done_;
}

void SqliteStatement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    done_ = false;
}

std::int64_t SqliteStatement::Int(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text), size)
                           : std::string();
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : db_(db) {
    begun_ = db_.Execute("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (begun_ && !finished_) {
        db_.Execute("ROLLBACK");
    }
}

bool SqliteTransaction::Commit() {
    if (!begun_ || finished_) {
        return false;
    }
    finished_ = db_.Execute("COMMIT");
    return finished_;
}
