// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's password: HTTP Basic with any user name, the password compared in constant
// time so that the answer time tells nothing about how much of a guess was right. After a
// login the page keeps a session cookie; TeacherGate is the one check for both.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "collector/HttpAnswer.h"
#include "collector/LoginBackoff.h"
#include "collector/RequestHead.h"
#include "collector/Session.h"

// Standard Base64 with padding; nothing when the text is not Base64.
std::optional<std::string> DecodeBase64Text(std::string_view text);

// Equal texts; the time taken depends only on the length of expected.
bool ConstantTimeEquals(std::string_view given, std::string_view expected);

// Whether an Authorization header value carries the password.
bool AuthorizationAllows(std::string_view header, std::string_view password);

// The user name of a Basic Authorization header value; empty when there is none.
std::string BasicUserName(std::string_view header);

enum class TeacherVerdict { Allowed, NoCredentials, WrongPassword, MustWait, ForeignOrigin };

struct TeacherDecision {
    TeacherVerdict Verdict = TeacherVerdict::NoCredentials;
    std::string Who;        // "name@address" of the teacher, when allowed
    std::string SetCookie;  // a fresh session's Set-Cookie value, after a Basic login
    std::int64_t WaitMs = 0;
};

class TeacherGate {
public:
    TeacherGate(std::string password, bool secureCookie)
        : password_(std::move(password)), secureCookie_(secureCookie) {}

    // The one check for every request of the teacher: a live session cookie, or the password
    // with Basic (then, for the page itself, a new session). A write must also come from the
    // page: a request whose Origin or Sec-Fetch-Site names another site is refused.
    TeacherDecision Check(const RequestHead& head, const std::string& peer, bool write,
                          std::int64_t nowMs);

    // Whether a request may send a body (an upload) before its head is checked in full: a live
    // session or the right password. Counts no wrong password; Check still decides.
    bool MayUpload(const RequestHead& head, std::int64_t nowMs);

    // The answer for a decision that is not Allowed. A browser's own navigation is asked
    // for the password; the page's scripts are told without a login prompt.
    static HttpAnswer Refusal(const TeacherDecision& decision, const RequestHead& head);

    LoginBackoff& Backoff() { return backoff_; }
    SessionTable& Sessions() { return sessions_; }

private:
    std::string password_;
    bool secureCookie_ = false;
    SessionTable sessions_;
    LoginBackoff backoff_;
};

// Whether a request comes from a page of this server: no Origin or one naming the Host,
// and no Sec-Fetch-Site saying another site.
bool FromOwnOrigin(const RequestHead& head);

// The first line of the file, without its line end and surrounding blanks; nothing when the
// file cannot be read or that line is empty.
std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file);

// A fresh random password of letters and digits that are hard to confuse.
std::string GeneratePassword(std::size_t length = 12);
