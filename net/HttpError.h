// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a GET request failed. The result walk only needs success or failure; the reason is for
// the teacher's console tool and for the tests.

#include <string_view>

enum class HttpError {
    None,                // the request succeeded
    EmptyHost,           // the URL names no host: nothing is sent
    BadPort,             // the port is not a number from 1 to 65535
    HostNotFound,        // the host name lookup failed
    ConnectFailed,       // the connection was refused or broke while opening
    ConnectTimeout,      // the connection was not established within the time limit
    SendFailed,          // the request could not be written
    ReadTimeout,         // the server sent nothing within the time limit
    ClosedBeforeStatus,  // the server closed the connection before the status line
    LineTooLong,         // a response line is longer than the line limit
    ClosedInHeaders,     // a 2xx answer whose connection closed within its header block
    Redirect,            // a 3xx answer or any answer with a Location header
    ErrorStatus,         // any other status that is not a success
    SocketError,         // any other socket failure
    AttemptTimeout,      // the whole exchange took longer than one attempt may
    AnswerTooLong,       // the answer's header blocks or body are longer than the station reads
};

// A short, stable token for the reason ("read-timeout", "error-status", ...).
std::string_view to_string(HttpError error);
