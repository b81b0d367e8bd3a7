// SPDX-License-Identifier: GPL-3.0-or-later
// The binary test format: little-endian records, each test, problem and answer block opened
// by a four-letter tag. Counts and lengths are bounded by the data that remains, so a damaged
// file can neither make the reader allocate for data that is not there nor read past it; a
// count above the limits of any test makes the file damaged as a whole.

#include <cstring>
#include <exception>

#include "model/UTypes.h"
#include "platform/StationLimits.h"
#include "platform/TextUtils.h"

namespace {

constexpr char kTestTag[4] = {'T', 'Z', 'R', 'A'};
constexpr char kProblemTag[4] = {'P', 'R', 'B', 'L'};
constexpr char kAnswerTag[4] = {'A', 'N', 'S', 'W'};

std::int32_t DecodeInt32(const std::uint8_t* bytes) {
    const std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) |
                                (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                (static_cast<std::uint32_t>(bytes[3]) << 24);
    return static_cast<std::int32_t>(value);
}

bool ReadInt32(TMemoryStream& stream, std::int32_t& value) {
    const std::uint8_t* bytes = stream.ReadSpan(4);
    if (bytes == nullptr) {
        return false;
    }
    value = DecodeInt32(bytes);
    return true;
}

bool ReadFloat32(TMemoryStream& stream, float& value) {
    std::int32_t bits = 0;
    if (!ReadInt32(stream, bits)) {
        return false;
    }
    value = std::bit_cast<float>(bits);
    return true;
}

bool ReadTag(TMemoryStream& stream, const char (&tag)[4]) {
    const std::uint8_t* bytes = stream.ReadSpan(4);
    return bytes != nullptr && std::memcmp(bytes, tag, 4) == 0;
}

// Whether the string field at the position is whole: its length and all of its text are there.
bool StringFits(const TMemoryStream& stream) {
    if (stream.Remaining() < 4) {
        return false;
    }
    const std::int32_t length = DecodeInt32(stream.Data() + stream.Position());
    return length <= 0 || static_cast<std::size_t>(length) <= stream.Remaining() - 4;
}

void Note(TReadSink* sink, TReadNote note, TReadBlock block, std::size_t where,
          TestField field = TestField::None, std::int64_t number = 0) {
    if (sink != nullptr) {
        sink->Note({note, block, where, {}, KeywordOf(field).Name, {}, number, field});
    }
}

// Tells that the data ends inside the record that begins at start; false, for the reader's
// result.
bool DataEnds(TReadSink* sink, TReadBlock block, std::size_t start) {
    Note(sink, TReadNote::DataEnds, block, start);
    return false;
}

// The tag that opens a problem or answer record; the sink hears about a wrong one, or about
// the data ending before it.
bool ReadRecordTag(TMemoryStream& stream, const char (&tag)[4], TReadSink* sink,
                   TReadBlock block) {
    const std::size_t start = stream.Position();
    if (ReadTag(stream, tag)) {
        return true;
    }
    const bool cut = start + 4 > stream.Size();
    Note(sink, cut ? TReadNote::DataEnds : TReadNote::BadTag, block, start);
    return false;
}

// A count above the limit gives the whole test up: the listener hears it first.
void CheckCount(std::int32_t count, std::int32_t limit, TReadSink* sink, TReadBlock block,
                std::size_t where) {
    if (count > limit) {
        Note(sink, TReadNote::TooManyRecords, block, where, {}, count);
        throw TDamagedTest();
    }
}

}  // namespace

std::string ReadStreamString(TMemoryStream& stream) {
    std::uint8_t lengthBytes[4];
    if (stream.ReadShort(lengthBytes, 4) < 4) {
        return {};
    }
    const std::int32_t length = DecodeInt32(lengthBytes);
    if (length <= 0) {
        return {};
    }
    // A text cut off by the end of the data keeps the bytes that are there.
    const std::size_t available = stream.Remaining();
    const std::size_t count = static_cast<std::size_t>(length) < available
                                  ? static_cast<std::size_t>(length)
                                  : available;
    if (count == 0) {
        return {};
    }
    const auto* text = reinterpret_cast<const char*>(stream.ReadSpan(count));
    return std::string(text, count);
}

bool TGroupInfo::LoadFromStream(TMemoryStream& stream) {
    Name = ReadStreamString(stream);
    return ReadInt32(stream, Quota) && ReadFloat32(stream, Rate);
}

bool TAnswers::LoadFromStream(TMemoryStream& stream, TReadSink* sink) {
    const std::size_t start = stream.Position();
    auto cut = [&] { return DataEnds(sink, TReadBlock::Answer, start); };
    if (!ReadRecordTag(stream, kAnswerTag, sink, TReadBlock::Answer)) {
        return false;
    }
    Note(sink, TReadNote::AnswerStart, TReadBlock::Answer, start);
    const std::uint8_t* mode = stream.ReadSpan(1);
    if (mode == nullptr) {
        return cut();
    }
    Mode = *mode;
    Note(sink, TReadNote::ModeRead, TReadBlock::Answer, start + 4, TestField::None, Mode);
    Variants.clear();
    std::int32_t count = 0;
    if (!ReadInt32(stream, count)) {
        return cut();
    }
    CheckCount(count, kMaxVariants, sink, TReadBlock::Variants, stream.Position() - 4);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t at = stream.Position();
        TVariant variant;
        if (!ReadInt32(stream, variant.Weight)) {
            return cut();
        }
        if (sink != nullptr && !StringFits(stream)) {
            cut();  // the text keeps the bytes that are there
        }
        variant.Text = ReadStreamString(stream);
        Variants.push_back(std::move(variant));
        Note(sink, TReadNote::VariantRead, TReadBlock::Variants, at);
    }
    return true;
}

bool TProblem::LoadFromStream(TMemoryStream& stream, TReadSink* sink) {
    const std::size_t start = stream.Position();
    auto cut = [&] { return DataEnds(sink, TReadBlock::Problem, start); };
    if (!ReadRecordTag(stream, kProblemTag, sink, TReadBlock::Problem)) {
        return false;
    }
    Id = ReadStreamString(stream);
    Title = ReadStreamString(stream);
    Category = ReadStreamString(stream);
    if (!ReadInt32(stream, Difficulty)) {
        return cut();
    }
    Group = ReadStreamString(stream);
    if (!ReadFloat32(stream, Rate)) {
        return cut();
    }
    Condition = SplitTextLines(ReadStreamString(stream));
    PictureFile = ReadStreamString(stream);
    std::int32_t length = 0;
    if (!ReadInt32(stream, length)) {
        return cut();
    }
    if (length > 0) {
        const std::uint8_t* bytes = stream.ReadSpan(static_cast<std::size_t>(length));
        if (bytes == nullptr) {
            Picture.clear();
            return cut();
        }
        Picture.assign(bytes, bytes + length);
    } else {
        Picture.clear();
    }
    return Answers.LoadFromStream(stream, sink);
}

bool TTezra::LoadFromStream(TMemoryStream& stream, TReadSink* sink) {
    try {
        return ReadStream(stream, sink);
    } catch (const std::exception&) {
        return false;
    }
}

bool TTezra::ReadStream(TMemoryStream& stream, TReadSink* sink) {
    auto cut = [&] { return DataEnds(sink, TReadBlock::Test, 0); };
    if (!ReadTag(stream, kTestTag)) {
        Note(sink, TReadNote::NotATest, TReadBlock::Test, 0);
        return false;
    }
    Note(sink, TReadNote::TestStart, TReadBlock::Test, 0);
    Id = ReadStreamString(stream);
    Title = ReadStreamString(stream);
    std::int32_t flags = 0;
    if (!ReadInt32(stream, flags)) {
        return cut();
    }
    SetShuffleFlags(flags);
    if (!ReadInt32(stream, DeferLimit)) {
        return cut();
    }
    const std::size_t marksAt = stream.Position();
    const std::uint8_t* marks = stream.ReadSpan(20);
    if (marks == nullptr) {
        return cut();
    }
    for (int mark = 1; mark <= 5; ++mark) {
        MarkThresholds[mark] = std::bit_cast<float>(DecodeInt32(marks + 4 * (mark - 1)));
        Note(sink, TReadNote::TestParam, TReadBlock::Test, marksAt + 4 * (mark - 1),
             MarkField(mark));
    }
    std::int32_t groupCount = 0;
    if (!ReadInt32(stream, groupCount)) {
        return cut();
    }
    CheckCount(groupCount, kMaxGroups, sink, TReadBlock::Groups, stream.Position() - 4);
    Groups.clear();
    // A record is read only while data remains; a failed one is kept with what it read.
    for (std::int32_t i = 0; i < groupCount && stream.Remaining() > 0; ++i) {
        const std::size_t at = stream.Position();
        auto group = std::make_unique<TGroupInfo>();
        const bool read = group->LoadFromStream(stream);
        Note(sink, TReadNote::GroupRead, TReadBlock::Groups, at);
        if (!read) {
            Note(sink, TReadNote::DataEnds, TReadBlock::Groups, at);
        }
        Groups.push_back({group->Name, std::move(group)});
    }
    if (sink != nullptr && static_cast<std::int64_t>(Groups.size()) < groupCount) {
        Note(sink, TReadNote::RecordsShort, TReadBlock::Groups, stream.Position(), {}, groupCount);
    }
    std::int32_t problemCount = 0;
    if (!ReadInt32(stream, problemCount)) {
        return cut();
    }
    CheckCount(problemCount, kMaxProblems, sink, TReadBlock::Problems, stream.Position() - 4);
    Problems.clear();
    for (std::int32_t i = 0; i < problemCount && stream.Remaining() > 0; ++i) {
        Note(sink, TReadNote::ProblemStart, TReadBlock::Problems, stream.Position());
        auto problem = std::make_unique<TProblem>();
        problem->LoadFromStream(stream, sink);
        Problems.push_back(std::move(problem));
    }
    if (sink != nullptr && static_cast<std::int64_t>(Problems.size()) < problemCount) {
        Note(sink, TReadNote::RecordsShort, TReadBlock::Problems, stream.Position(), {},
             problemCount);
    }
    if (stream.Remaining() > 0) {
        Note(sink, TReadNote::DataAfterEnd, TReadBlock::Test, stream.Position(), {},
             static_cast<std::int64_t>(stream.Remaining()));
    }
    return true;
}

bool LoadTestFromBinary(TTezra& tezra, TMemoryStream& stream, TReadSink* sink) {
    try {
        stream.Seek(0);
        std::uint8_t head[4];
        if (!stream.ReadExact(head, 4)) {
            Note(sink, TReadNote::NotATest, TReadBlock::Test, 0);
            return false;
        }
        stream.Seek(0);
        if (std::memcmp(head, kTestTag, 4) != 0) {
            ScrambleStream(stream);
        }
        stream.Seek(0);
        return tezra.LoadFromStream(stream, sink);
    } catch (const std::exception&) {
        return false;
    }
}
