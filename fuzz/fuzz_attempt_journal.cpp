// SPDX-License-Identifier: GPL-3.0-or-later
// The attempt journal reader on arbitrary bytes: it must never crash or read past its input,
// and whatever it accepts must hold together and read back the same after writing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "settings/AttemptJournal.h"

namespace {

// The input as the contents of a journal with a right header and checksum, so that the reader
// of the contents is reached, not only the checksum test.
std::string Signed(std::string_view payload) {
    std::string bytes = "TZAJ";
    bytes += '\x01';
    bytes += '\0';
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>((payload.size() >> (8 * i)) & 0xFF);
    }
    bytes += payload;
    const TSha256 digest = Sha256(bytes);
    return bytes.append(digest.begin(), digest.end());
}

void Check(std::string_view bytes) {
    const std::optional<TAttemptJournal> journal = DecodeAttemptJournal(bytes);
    if (!journal) {
        return;
    }
    const TAttemptProgress& progress = journal->Progress;
    const std::set<std::uint32_t> drawn(progress.Selected.begin(), progress.Selected.end());
    if (drawn.size() != progress.Selected.size() ||
        progress.Given.size() != progress.Selected.size() ||
        progress.Selected.size() > kMaxJournalProblems) {
        std::abort();
    }
    for (std::uint32_t index : progress.Pending) {
        if (drawn.count(index) == 0) {
            std::abort();
        }
    }
    if (EncodeAttemptJournal(*journal) != bytes) {
        std::abort();  // one state has one encoding
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    Check(Signed(bytes));
    return 0;
}
