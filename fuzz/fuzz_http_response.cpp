// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes from a result server: the response reader, the body rules, the cookie jar
// and the next request built from the jar must cope with any of them.
//
// The first input byte says how the bytes arrive: bits 0-6 give the piece size of each read
// (1 to 128 bytes), bit 7 whether the server then goes silent instead of closing.

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/ByteSource.h"
#include "net/CookieJar.h"
#include "net/HttpParse.h"
#include "net/ResponseReader.h"

namespace {

constexpr CookieTime kNow = 1700000000;

// Every CR of a request starts a CR LF, and every LF ends one.
bool LinesAreWellFormed(const std::string& request) {
    for (std::size_t i = 0; i < request.size(); ++i) {
        if (request[i] == '\r' && (i + 1 == request.size() || request[i + 1] != '\n')) {
            return false;
        }
        if (request[i] == '\n' && (i == 0 || request[i - 1] != '\r')) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = (data[0] & 0x7F) + 1;
    const ReadStatus end = (data[0] & 0x80) != 0 ? ReadStatus::TimedOut : ReadStatus::Closed;
    MemoryByteSource source(std::string(reinterpret_cast<const char*>(data + 1), size - 1), piece,
                            end);
    ResponseReader reader(source);
    HttpResponse response;
    CookieJar jar;
    const HttpError error = reader.Read(response, [&jar](const HttpHeaders& headers) {
        jar.TakeCookies(headers, "127.0.0.1", "/tezra/result", 80, kNow);
    });
    if (response.body.size() >= size || to_string(error).empty()) {
        __builtin_trap();
    }
    if (error == HttpError::None && (response.status < 200 || response.status > 299)) {
        __builtin_trap();
    }
    static_cast<void>(OffersBasic(response.headers));
    static_cast<void>(KeepsConnection(response.headers));
    const std::string cookies = jar.CookieHeader("127.0.0.1", "/tezra/result", 80, kNow + 60);
    const std::string request =
        BuildRequest("/tezra/result?x=1", "127.0.0.1", "80", true, cookies);
    if (!LinesAreWellFormed(request)) {
        __builtin_trap();
    }
    return 0;
}
