// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thin RAII layer over libpq: one owned connection that comes back by itself after the
// server was lost, results that clear themselves, parameterised statements only (values never
// enter the SQL text), and errors from which the connection's password is removed.

#include <libpq-fe.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One parameter of a statement: text, binary bytes (for bytea) or NULL.
struct PgParam {
    std::string Value;
    bool Binary = false;
    bool Null = false;
};

PgParam PgText(std::string_view text);
PgParam PgInt(std::int64_t value);
PgParam PgBytes(std::string_view bytes);
PgParam PgNull();

class PgResult {
public:
    PgResult() = default;
    explicit PgResult(PGresult* result) : result_(result, &PQclear) {}

    // Whether the statement succeeded (with or without rows).
    bool Ok() const;
    int Rows() const;
    bool IsNull(int row, int column) const;
    std::string Text(int row, int column) const;
    std::int64_t Int(int row, int column) const;
    // A bytea column (as the server writes it in text form) as its bytes.
    std::string Bytes(int row, int column) const;
    // Rows changed by an insert, update or delete.
    std::int64_t Affected() const;
    PGresult* Handle() const { return result_.get(); }

private:
    std::unique_ptr<PGresult, decltype(&PQclear)> result_{nullptr, &PQclear};
};

struct PgSettings {
    std::string Uri;              // postgresql://USER@HOST:PORT/DB?...
    std::string ApplicationName;  // shown in the server's list of connections
    int StatementTimeoutMs = 5000;
};

class PgConnection {
public:
    explicit PgConnection(PgSettings settings);
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects now (again, after a loss). False with Error() when the server cannot be
    // reached within the connection's timeout.
    bool Connect();
    // Whether the last statement or connection attempt reached the server.
    bool Reachable() const { return reachable_.load(); }

    // Runs one statement with its parameters ($1, $2, ...). A lost connection is opened again
    // first, at most once per back-off interval, so that a server that is down costs each
    // caller little time.
    PgResult Exec(const char* sql, const std::vector<PgParam>& params = {});
    bool Run(const char* sql, const std::vector<PgParam>& params = {});

    // Sends a query whose rows are read one at a time (NextRow), for exports of any size.
    bool StartRows(const char* sql, const std::vector<PgParam>& params);
    // The next single-row result; empty when the rows ended (Ok() tells whether they ended
    // well). Must be called until it is empty.
    PgResult NextRow(bool& finished, bool& ok);
    // Asks the server to stop sending the rows of the query under way (their reader went
    // away); NextRow then soon ends them instead of reading the rest.
    void CancelRows();

    // The last error, without the password.
    std::string Error() const { return error_; }

private:
    bool EnsureConnected();
    PgResult Send(const char* sql, const std::vector<PgParam>& params);
    void Failed(std::string_view message);
    void TakeError(const PgResult& result);

    PgSettings settings_;
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn_{nullptr, &PQfinish};
    std::atomic<bool> reachable_{false};
    std::string error_;
    std::chrono::steady_clock::time_point retryAt_{};
    std::chrono::milliseconds backoff_{0};
};

// BEGIN on construction; ROLLBACK on destruction unless Commit() succeeded.
class PgTransaction {
public:
    explicit PgTransaction(PgConnection& connection);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;

    bool Begun() const { return begun_; }
    bool Commit();

private:
    PgConnection& connection_;
    bool begun_ = false;
    bool finished_ = false;
};
