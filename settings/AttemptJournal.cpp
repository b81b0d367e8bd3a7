// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AttemptJournal.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>

#include "platform/DurableFile.h"

namespace {

// Layout: magic, version, payload length, payload, then the SHA-256 of everything before it.
// Numbers are little-endian; a text is its length (32 bits) followed by its bytes.
constexpr std::string_view kMagic = "TZAJ";
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kHeaderSize = 4 + 2 + 4;
constexpr std::size_t kDigestSize = 32;
constexpr std::uint32_t kMaxPathText = 4096;
constexpr std::int64_t kMsPerDay64 = kMsPerDay;

class Writer {
public:
    void U16(std::uint16_t v) { Bytes(v, 2); }
    void U32(std::uint32_t v) { Bytes(v, 4); }
    void I32(std::int32_t v) { Bytes(static_cast<std::uint32_t>(v), 4); }
    void I64(std::int64_t v) { Bytes(static_cast<std::uint64_t>(v), 8); }
    void U64(std::uint64_t v) { Bytes(v, 8); }
    void F32(float v) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        U32(bits);
    }
    void Text(std::string_view text) {
        U32(static_cast<std::uint32_t>(text.size()));
        Out.append(text);
    }
    void Time(const TStationTime& time) {
        I32(time.Date.Year);
        I32(time.Date.Month);
        I32(time.Date.Day);
        I64(time.Ms);
    }
    std::string Out;

private:
    void Bytes(std::uint64_t v, int count) {
        for (int i = 0; i < count; ++i) {
            Out += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    }
};

// Reads from a bounded view; once anything is missing every later read fails too.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return rest_.empty(); }
    std::size_t Left() const { return rest_.size(); }

    std::uint64_t Bytes(std::size_t count) {
        if (!ok_ || rest_.size() < count) {
            ok_ = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < count; ++i) {
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(rest_[i])) << (8 * i);
        }
        rest_.remove_prefix(count);
        return v;
    }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Bytes(4)); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::int64_t I64() { return static_cast<std::int64_t>(Bytes(8)); }
    float F32() {
        const std::uint32_t bits = U32();
        float v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // A count of items of at least itemSize bytes each, within limit and the bytes left.
    std::uint32_t Count(std::uint32_t limit, std::size_t itemSize) {
        const std::uint32_t n = U32();
        if (n > limit || n > rest_.size() / itemSize) {
            ok_ = false;
            return 0;
        }
        return n;
    }
    std::string Text(std::uint32_t limit) {
        const std::uint32_t n = Count(limit, 1);
        if (!ok_) {
            return {};
        }
        std::string text(rest_.substr(0, n));
        rest_.remove_prefix(n);
        return text;
    }
    TStationTime Time() {
        TStationTime time;
        time.Date.Year = I32();
        time.Date.Month = I32();
        time.Date.Day = I32();
        time.Ms = I64();
        return time;
    }
    void Fail() { ok_ = false; }

private:
    std::string_view rest_;
    bool ok_ = true;
};

bool ValidTime(const TStationTime& time) {
    const std::chrono::year_month_day ymd{
        std::chrono::year{time.Date.Year},
        std::chrono::month{static_cast<unsigned>(time.Date.Month & 0xFF)},
        std::chrono::day{static_cast<unsigned>(time.Date.Day & 0xFF)}};
    return time.Date.Year >= 1900 && time.Date.Year <= 9999 && time.Date.Month >= 1 &&
           time.Date.Month <= 12 && time.Date.Day >= 1 && ymd.ok() && time.Ms >= 0 &&
           time.Ms < kMsPerDay64;
}

// Each index at most once; every pending one drawn, with no answer yet.
bool ConsistentProgress(const TAttemptProgress& progress) {
    const std::set<std::uint32_t> drawn(progress.Selected.begin(), progress.Selected.end());
    const std::set<std::uint32_t> pending(progress.Pending.begin(), progress.Pending.end());
    if (drawn.size() != progress.Selected.size() || pending.size() != progress.Pending.size() ||
        progress.Given.size() != progress.Selected.size()) {
        return false;
    }
    for (std::size_t i = 0; i < progress.Selected.size(); ++i) {
        if (pending.count(progress.Selected[i]) != 0 && !progress.Given[i].empty()) {
            return false;
        }
    }
    for (std::uint32_t index : progress.Pending) {
        if (drawn.count(index) == 0) {
            return false;
        }
    }
    return progress.DeferCount >= 0 && progress.Mark >= 1 && progress.Mark <= 5 &&
           std::isfinite(progress.Points) && progress.Points >= 0 &&
           progress.Points <= static_cast<float>(kMaxJournalProblems);
}

std::vector<std::uint32_t> ReadIndices(Reader& in) {
    const std::uint32_t n = in.Count(kMaxJournalProblems, 4);
    std::vector<std::uint32_t> indices;
    indices.reserve(n);
    for (std::uint32_t i = 0; i < n && in.Ok(); ++i) {
        indices.push_back(in.U32());
    }
    return indices;
}

TAttemptProgress ReadProgress(Reader& in) {
    TAttemptProgress progress;
    progress.Points = in.F32();
    progress.Mark = in.I32();
    progress.DeferCount = in.I32();
    progress.Selected = ReadIndices(in);
    progress.Pending = ReadIndices(in);
    for (std::size_t i = 0; i < progress.Selected.size() && in.Ok(); ++i) {
        const std::uint32_t n = in.Count(kMaxJournalAnswers, 4);
        std::vector<std::string> given;
        for (std::uint32_t k = 0; k < n && in.Ok(); ++k) {
            given.push_back(in.Text(kMaxJournalText));
        }
        progress.Given.push_back(std::move(given));
    }
    return progress;
}

std::optional<TAttemptJournal> ReadPayload(std::string_view payload) {
    Reader in(payload);
    TAttemptJournal journal;
    journal.Group = in.Text(kMaxJournalText);
    journal.User = in.Text(kMaxJournalText);
    journal.TestName = in.Text(kMaxJournalText);
    journal.TestFile = in.Text(kMaxPathText);
    journal.Fingerprint.Size = in.Bytes(8);
    for (std::uint8_t& byte : journal.Fingerprint.Digest) {
        byte = static_cast<std::uint8_t>(in.Bytes(1));
    }
    journal.Start = in.Time();
    journal.Saved = in.Time();
    journal.Progress = ReadProgress(in);
    if (!in.Ok() || !in.AtEnd() || journal.TestFile.empty() || !ValidTime(journal.Start) ||
        !ValidTime(journal.Saved) || journal.Saved.Absolute() < journal.Start.Absolute() ||
        !ConsistentProgress(journal.Progress)) {
        return std::nullopt;
    }
    return journal;
}

}  // namespace

std::int64_t TStationTime::Absolute() const {
    using namespace std::chrono;
    const year_month_day ymd{year{Date.Year}, month{static_cast<unsigned>(Date.Month)},
                             day{static_cast<unsigned>(Date.Day)}};
    return static_cast<std::int64_t>(sys_days{ymd}.time_since_epoch().count()) * kMsPerDay64 + Ms;
}

std::string EncodeAttemptJournal(const TAttemptJournal& journal) {
    Writer body;
    body.Text(journal.Group);
    body.Text(journal.User);
    body.Text(journal.TestName);
    body.Text(journal.TestFile);
    body.U64(journal.Fingerprint.Size);
    body.Out.append(journal.Fingerprint.Digest.begin(), journal.Fingerprint.Digest.end());
    body.Time(journal.Start);
    body.Time(journal.Saved);
    const TAttemptProgress& progress = journal.Progress;
    body.F32(progress.Points);
    body.I32(progress.Mark);
    body.I32(progress.DeferCount);
    for (const auto* list : {&progress.Selected, &progress.Pending}) {
        body.U32(static_cast<std::uint32_t>(list->size()));
        for (std::uint32_t index : *list) {
            body.U32(index);
        }
    }
    for (const auto& given : progress.Given) {
        body.U32(static_cast<std::uint32_t>(given.size()));
        for (const std::string& answer : given) {
            body.Text(answer);
        }
    }
    Writer file;
    file.Out.append(kMagic);
    file.U16(kVersion);
    file.U32(static_cast<std::uint32_t>(body.Out.size()));
    file.Out += body.Out;
    const TSha256 digest = Sha256(file.Out);
    file.Out.append(digest.begin(), digest.end());
    return file.Out;
}

std::optional<TAttemptJournal> DecodeAttemptJournal(std::string_view bytes) {
    if (bytes.size() < kHeaderSize + kDigestSize || bytes.size() > kMaxJournalBytes ||
        bytes.substr(0, kMagic.size()) != kMagic) {
        return std::nullopt;
    }
    Reader header(bytes.substr(kMagic.size(), kHeaderSize - kMagic.size()));
    const auto version = static_cast<std::uint16_t>(header.Bytes(2));
    const std::uint32_t length = header.U32();
    if (version != kVersion || length != bytes.size() - kHeaderSize - kDigestSize) {
        return std::nullopt;
    }
    const std::string_view signedPart = bytes.substr(0, kHeaderSize + length);
    const TSha256 digest = Sha256(signedPart);
    if (std::memcmp(digest.data(), bytes.data() + signedPart.size(), kDigestSize) != 0) {
        return std::nullopt;
    }
    return ReadPayload(bytes.substr(kHeaderSize, length));
}

TJournalRead ReadAttemptJournal(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return {};
    }
    TJournalRead read;
    read.Kind = TJournalRead::State::Damaged;
    const auto size = std::filesystem::file_size(file, error);
    if (error || !std::filesystem::is_regular_file(file, error) || size > kMaxJournalBytes) {
        return read;
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in || in.peek() != std::char_traits<char>::eof()) {
        return read;
    }
    read.Journal = DecodeAttemptJournal(bytes);
    if (read.Journal) {
        read.Kind = TJournalRead::State::Valid;
    }
    return read;
}

bool WriteAttemptJournal(const std::filesystem::path& file, const TAttemptJournal& journal) {
    return ReplaceFileDurably(file, EncodeAttemptJournal(journal));
}

std::filesystem::path SetAsidePath(const std::filesystem::path& file) {
    std::filesystem::path aside = file;
    aside += ".bad";
    return aside;
}
