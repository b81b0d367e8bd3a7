// SPDX-License-Identifier: GPL-3.0-or-later
// The attempt journal reader on arbitrary bytes: it must never crash or read past its input,
// and whatever it accepts must hold together and read back the same after writing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "settings/AttemptJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<TAttemptJournal> journal = DecodeAttemptJournal(bytes);
    if (!journal) {
        return 0;
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
    return 0;
}
