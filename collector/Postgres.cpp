// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/Postgres.h"

#include <algorithm>
#include <charconv>

#include "collector/DatabaseUri.h"

namespace {

constexpr std::chrono::milliseconds kFirstBackoff{250};
constexpr std::chrono::milliseconds kLastBackoff{4000};

// The statement's parameters in the arrays libpq takes; they point into params.
struct ParamArrays {
    explicit ParamArrays(const std::vector<PgParam>& params) {
        for (const PgParam& param : params) {
            Values.push_back(param.Null ? nullptr : param.Value.data());
            Lengths.push_back(static_cast<int>(param.Value.size()));
            Formats.push_back(param.Binary ? 1 : 0);
        }
    }
    int Count() const { return static_cast<int>(Values.size()); }

    std::vector<const char*> Values;
    std::vector<int> Lengths;
    std::vector<int> Formats;
};

}  // namespace

PgParam PgText(std::string_view text) {
    // A text parameter ends at its first NUL, which PostgreSQL's text cannot hold anyway.
    return {std::string(text.substr(0, text.find('\0'))), false, false};
}

PgParam PgInt(std::int64_t value) {
    return {std::to_string(value), false, false};
}

PgParam PgBytes(std::string_view bytes) {
    return {std::string(bytes), true, false};
}

PgParam PgNull() {
    return {std::string(), false, true};
}

bool PgResult::Ok() const {
    if (!result_) {
        return false;
    }
    const ExecStatusType status = PQresultStatus(result_.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE;
}

int PgResult::Rows() const {
    return result_ ? PQntuples(result_.get()) : 0;
}

bool PgResult::IsNull(int row, int column) const {
    return !result_ || row >= Rows() || column >= PQnfields(result_.get()) ||
           PQgetisnull(result_.get(), row, column) != 0;
}

std::string PgResult::Text(int row, int column) const {
    if (IsNull(row, column)) {
        return {};
    }
    return std::string(PQgetvalue(result_.get(), row, column),
                       static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
}

std::int64_t PgResult::Int(int row, int column) const {
    const std::string text = Text(row, column);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string PgResult::Bytes(int row, int column) const {
    if (IsNull(row, column)) {
        return {};
    }
    std::size_t length = 0;
    unsigned char* bytes = PQunescapeBytea(
        reinterpret_cast<const unsigned char*>(PQgetvalue(result_.get(), row, column)), &length);
    if (bytes == nullptr) {
        return {};
    }
    std::string value(reinterpret_cast<const char*>(bytes), length);
    PQfreemem(bytes);
    return value;
}

std::int64_t PgResult::Affected() const {
    if (!result_) {
        return 0;
    }
    const char* count = PQcmdTuples(result_.get());
    std::int64_t value = 0;
    std::from_chars(count, count + std::char_traits<char>::length(count), value);
    return value;
}

PgConnection::PgConnection(PgSettings settings) : settings_(std::move(settings)) {}

bool PgConnection::Connect() {
    // The defaults come first: what the URI says overrides them. A server that does not
    // answer within a second counts as down, and so does one whose socket stops taking data.
    const std::string options =
        "-c statement_timeout=" + std::to_string(settings_.StatementTimeoutMs) +
        " -c idle_in_transaction_session_timeout=60000";
    const char* keys[] = {"connect_timeout",  "tcp_user_timeout",
                          "keepalives_idle",  "keepalives_interval",
                          "keepalives_count", "application_name",
                          "client_encoding",  "dbname",
                          "options",          nullptr};
    const char* values[] = {"1",
                            "2000",
                            "5",
                            "1",
                            "3",
                            settings_.ApplicationName.c_str(),
                            "UTF8",
                            settings_.Uri.c_str(),
                            options.c_str(),
                            nullptr};
    conn_.reset(PQconnectdbParams(keys, values, 1));
    if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK) {
        Failed(conn_ ? PQerrorMessage(conn_.get()) : "out of memory");
        conn_.reset();
        return false;
    }
    reachable_ = true;
    backoff_ = std::chrono::milliseconds{0};
    return true;
}

bool PgConnection::EnsureConnected() {
    if (conn_ && PQstatus(conn_.get()) == CONNECTION_OK) {
        // An idle connection that the server closed (a restart) has the notice waiting in
        // its socket: it is opened again now instead of failing the next statement.
        if (PQtransactionStatus(conn_.get()) != PQTRANS_IDLE ||
            (PQconsumeInput(conn_.get()) != 0 && PQstatus(conn_.get()) == CONNECTION_OK)) {
            return true;
        }
        conn_.reset();
        return Connect();
    }
    if (std::chrono::steady_clock::now() < retryAt_) {
        if (error_.empty()) {
            error_ = "the database cannot be reached";
        }
        return false;
    }
    return Connect();
}

void PgConnection::Failed(std::string_view message) {
    std::string text(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    text = RedactPassword(text, settings_.Uri);
    // A password from the password file is kept out as well.
    if (conn_) {
        const char* password = PQpass(conn_.get());
        if (password != nullptr && *password != '\0') {
            for (std::size_t at = text.find(password); at != std::string::npos;
                 at = text.find(password, at)) {
                text.replace(at, std::char_traits<char>::length(password), "***");
            }
        }
    }
    error_ = text.empty() ? "the database failed" : text;
    if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK) {
        reachable_ = false;
        backoff_ = std::clamp(backoff_ * 2, kFirstBackoff, kLastBackoff);
        retryAt_ = std::chrono::steady_clock::now() + backoff_;
    }
}

void PgConnection::TakeError(const PgResult& result) {
    const char* message =
        result.Handle() ? PQresultErrorMessage(result.Handle()) : PQerrorMessage(conn_.get());
    Failed(message != nullptr && *message != '\0' ? message : PQerrorMessage(conn_.get()));
    if (conn_ && PQstatus(conn_.get()) != CONNECTION_OK) {
        conn_.reset();
    }
}

PgResult PgConnection::Exec(const char* sql, const std::vector<PgParam>& params) {
    if (!EnsureConnected()) {
        return PgResult();
    }
    const bool outsideTransaction = PQtransactionStatus(conn_.get()) == PQTRANS_IDLE;
    PgResult result = Send(sql, params);
    if (!result.Ok() && outsideTransaction && PQstatus(conn_.get()) != CONNECTION_OK) {
        // The server closed an idle connection (it was restarted): a statement outside a
        // transaction, or the BEGIN of one, is sent once more on a new connection.
        conn_.reset();
        if (!Connect()) {
            return result;
        }
        result = Send(sql, params);
    }
    if (!result.Ok()) {
        TakeError(result);
    }
    return result;
}

PgResult PgConnection::Send(const char* sql, const std::vector<PgParam>& params) {
    // Without parameters the text may hold several statements (a schema step).
    const ParamArrays arrays(params);
    return PgResult(params.empty() ? PQexec(conn_.get(), sql)
                                   : PQexecParams(conn_.get(), sql, arrays.Count(), nullptr,
                                                  arrays.Values.data(), arrays.Lengths.data(),
                                                  arrays.Formats.data(), 0));
}

bool PgConnection::Run(const char* sql, const std::vector<PgParam>& params) {
    return Exec(sql, params).Ok();
}

bool PgConnection::StartRows(const char* sql, const std::vector<PgParam>& params) {
    // A connection the server closed shows only once a statement is sent; rows read one by
    // one cannot be asked for again, so a cheap statement first reopens such a connection.
    if (!Run("SELECT 1")) {
        return false;
    }
    // Rows are read only after the query was sent, too late to send it again: an idle
    // connection that the server closed meanwhile (it was restarted) is replaced first.
    if (PQtransactionStatus(conn_.get()) == PQTRANS_IDLE &&
        (PQconsumeInput(conn_.get()) == 0 || PQstatus(conn_.get()) != CONNECTION_OK)) {
        conn_.reset();
        if (!Connect()) {
            return false;
        }
    }
    const ParamArrays arrays(params);
    if (PQsendQueryParams(conn_.get(), sql, arrays.Count(), nullptr, arrays.Values.data(),
                          arrays.Lengths.data(), arrays.Formats.data(), 0) == 0) {
        TakeError(PgResult());
        return false;
    }
    PQsetSingleRowMode(conn_.get());
    return true;
}

PgResult PgConnection::NextRow(bool& finished, bool& ok) {
    PgResult result(conn_ ? PQgetResult(conn_.get()) : nullptr);
    if (!result.Handle()) {
        finished = true;
        return result;
    }
    if (PQresultStatus(result.Handle()) == PGRES_SINGLE_TUPLE) {
        return result;
    }
    if (!result.Ok()) {
        ok = false;
        TakeError(result);
    }
    // The closing result (no rows, or an error) is followed by none: read until then.
    while (conn_) {
        PgResult rest(PQgetResult(conn_.get()));
        if (!rest.Handle()) {
            break;
        }
    }
    finished = true;
    return PgResult();
}

void PgConnection::CancelRows() {
    if (!conn_) {
        return;
    }
    const std::unique_ptr<PGcancel, decltype(&PQfreeCancel)> cancel(PQgetCancel(conn_.get()),
                                                                    &PQfreeCancel);
    char error[256];
    if (cancel) {
        PQcancel(cancel.get(), error, sizeof error);
    }
}

PgTransaction::PgTransaction(PgConnection& connection) : connection_(connection) {
    begun_ = connection_.Run("BEGIN");
}

PgTransaction::~PgTransaction() {
    if (begun_ && !finished_) {
        connection_.Run("ROLLBACK");
    }
}

bool PgTransaction::Commit() {
    finished_ = true;
    return begun_ && connection_.Run("COMMIT");
}
