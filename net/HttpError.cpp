// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/HttpError.h"

std::string_view to_string(HttpError error) {
    switch (error) {
        case HttpError::None:
            return "none";
        case HttpError::EmptyHost:
            return "empty-host";
        case HttpError::BadPort:
            return "bad-port";
        case HttpError::HostNotFound:
            return "host-not-found";
        case HttpError::ConnectFailed:
            return "connect-failed";
        case HttpError::ConnectTimeout:
            return "connect-timeout";
        case HttpError::SendFailed:
            return "send-failed";
        case HttpError::ReadTimeout:
            return "read-timeout";
        case HttpError::ClosedBeforeStatus:
            return "closed-before-status";
        case HttpError::LineTooLong:
            return "line-too-long";
        case HttpError::ClosedInHeaders:
            return "closed-in-headers";
        case HttpError::Redirect:
            return "redirect";
        case HttpError::ErrorStatus:
            return "error-status";
        case HttpError::SocketError:
            return "socket-error";
        case HttpError::AttemptTimeout:
            return "attempt-timeout";
        case HttpError::AnswerTooLong:
            return "answer-too-long";
    }
    return "unknown";
}
