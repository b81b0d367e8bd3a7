// The binary test format: little-endian records, each test, problem and answer block opened
// by a four-letter tag. Counts and lengths are bounded by the data that remains, so a damaged
// file can neither make the reader allocate for data that is not there nor read past it.

#include <cstring>
#include <exception>

#include "model/UTypes.h"
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

bool TAnswers::LoadFromStream(TMemoryStream& stream) {
    if (!ReadTag(stream, kAnswerTag)) {
        return false;
    }
    const std::uint8_t* mode = stream.ReadSpan(1);
    if (mode == nullptr) {
        return false;
    }
    Mode = *mode;
    Variants.clear();
    std::int32_t count = 0;
    if (!ReadInt32(stream, count)) {
        return false;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        TVariant variant;
        if (!ReadInt32(stream, variant.Weight)) {
            return false;
        }
        variant.Text = ReadStreamString(stream);
        Variants.push_back(std::move(variant));
    }
    return true;
}

bool TProblem::LoadFromStream(TMemoryStream& stream) {
    if (!ReadTag(stream, kProblemTag)) {
        return false;
    }
    Id = ReadStreamString(stream);
    Title = ReadStreamString(stream);
    Category = ReadStreamString(stream);
    if (!ReadInt32(stream, Difficulty)) {
        return false;
    }
    Group = ReadStreamString(stream);
    if (!ReadFloat32(stream, Rate)) {
        return false;
    }
    Condition = SplitTextLines(ReadStreamString(stream));
    PictureFile = ReadStreamString(stream);
    std::int32_t length = 0;
    if (!ReadInt32(stream, length)) {
        return false;
    }
    if (length > 0) {
        const std::uint8_t* bytes = stream.ReadSpan(static_cast<std::size_t>(length));
        if (bytes == nullptr) {
            Picture.clear();
            return false;
        }
        Picture.assign(bytes, bytes + length);
    } else {
        Picture.clear();
    }
    return Answers.LoadFromStream(stream);
}

bool TTezra::LoadFromStream(TMemoryStream& stream) {
    try {
        return ReadStream(stream);
    } catch (const std::exception&) {
        return false;
    }
}

bool TTezra::ReadStream(TMemoryStream& stream) {
    if (!ReadTag(stream, kTestTag)) {
        return false;
    }
    Id = ReadStreamString(stream);
    Title = ReadStreamString(stream);
    std::int32_t flags = 0;
    if (!ReadInt32(stream, flags)) {
        return false;
    }
    SetShuffleFlags(flags);
    if (!ReadInt32(stream, DeferLimit)) {
        return false;
    }
    const std::uint8_t* marks = stream.ReadSpan(20);
    if (marks == nullptr) {
        return false;
    }
    for (int mark = 1; mark <= 5; ++mark) {
        MarkThresholds[mark] = std::bit_cast<float>(DecodeInt32(marks + 4 * (mark - 1)));
    }
    std::int32_t groupCount = 0;
    if (!ReadInt32(stream, groupCount)) {
        return false;
    }
    Groups.clear();
    // A record is read only while data remains; a failed one is kept with what it read.
    for (std::int32_t i = 0; i < groupCount && stream.Remaining() > 0; ++i) {
        auto group = std::make_unique<TGroupInfo>();
        group->LoadFromStream(stream);
        Groups.push_back({group->Name, std::move(group)});
    }
    std::int32_t problemCount = 0;
    if (!ReadInt32(stream, problemCount)) {
        return false;
    }
    Problems.clear();
    for (std::int32_t i = 0; i < problemCount && stream.Remaining() > 0; ++i) {
        auto problem = std::make_unique<TProblem>();
        problem->LoadFromStream(stream);
        Problems.push_back(std::move(problem));
    }
    return true;
}

bool LoadTestFromBinary(TTezra& tezra, TMemoryStream& stream) {
    try {
        stream.Seek(0);
        std::uint8_t head[4];
        if (!stream.ReadExact(head, 4)) {
            return false;
        }
        stream.Seek(0);
        if (std::memcmp(head, kTestTag, 4) != 0) {
            ScrambleStream(stream);
        }
        stream.Seek(0);
        return tezra.LoadFromStream(stream);
    } catch (const std::exception&) {
        return false;
    }
}
