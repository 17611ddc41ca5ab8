#include "picture_codec.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, 4> kMagic{'T', 'L', 'Z', '1'};
constexpr size_t kHeaderSize = 12;
constexpr size_t kMinMatch = 4;
constexpr size_t kMaxDistance = 65535;
constexpr std::uint32_t kLargestPicture = 16u << 20;

std::uint32_t Adler32(std::span<const std::uint8_t> data)
{
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutLength(std::vector<std::uint8_t>& out, size_t extra)
{
    do {
        out.push_back(static_cast<std::uint8_t>((extra & 0x7F) | (extra > 0x7F ? 0x80 : 0)));
        extra >>= 7;
    } while (extra);
}

void PutSequence(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> literals, size_t distance, size_t matchLength)
{
    const size_t matchCode = matchLength ? matchLength - kMinMatch : 0;
    out.push_back(static_cast<std::uint8_t>((std::min<size_t>(literals.size(), 15) << 4) | std::min<size_t>(matchCode, 15)));
    if (literals.size() >= 15)
        PutLength(out, literals.size() - 15);
    out.insert(out.end(), literals.begin(), literals.end());
    if (!matchLength)
        return;
    out.push_back(static_cast<std::uint8_t>(distance));
    out.push_back(static_cast<std::uint8_t>(distance >> 8));
    if (matchCode >= 15)
        PutLength(out, matchCode - 15);
}

// Reads bytes from the stream, failing rather than passing its end.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
    bool Byte(std::uint8_t& value)
    {
        if (at_ >= data_.size())
            return false;
        value = data_[at_++];
        return true;
    }
    bool U32(std::uint32_t& value)
    {
        value = 0;
        std::uint8_t byte = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            if (!Byte(byte))
                return false;
            value |= std::uint32_t{byte} << shift;
        }
        return true;
    }
    bool Length(size_t nibble, size_t& length)
    {
        length = nibble;
        if (nibble != 15)
            return true;
        std::uint8_t byte = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (!Byte(byte))
                return false;
            length += size_t{byte & 0x7Fu} << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }
    std::span<const std::uint8_t> Take(size_t count)
    {
        if (count > data_.size() - at_)
            return {};
        auto taken = data_.subspan(at_, count);
        at_ += count;
        return taken;
    }
    bool AtEnd() const { return at_ == data_.size(); }

private:
    std::span<const std::uint8_t> data_;
    size_t at_ = 0;
};

}  // namespace

std::vector<std::uint8_t> EncodePicture(std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    PutU32(out, Adler32(data));

    // Greedy matching over hash chains of 4-byte prefixes.
    constexpr size_t kHashBits = 16;
    constexpr int kChainDepth = 128;
    std::vector<std::int64_t> head(size_t{1} << kHashBits, -1);
    std::vector<std::int64_t> previous(data.size(), -1);
    const auto hashAt = [&](size_t i) {
        const std::uint32_t v = data[i] | data[i + 1] << 8 | data[i + 2] << 16 | std::uint32_t{data[i + 3]} << 24;
        return (v * 2654435761u) >> (32 - kHashBits);
    };
    const auto insert = [&](size_t i) {
        if (i + kMinMatch > data.size())
            return;
        const auto h = hashAt(i);
        previous[i] = head[h];
        head[h] = static_cast<std::int64_t>(i);
    };

    size_t literalStart = 0, i = 0;
    while (i + kMinMatch <= data.size()) {
        size_t bestLength = 0, bestDistance = 0;
        std::int64_t candidate = head[hashAt(i)];
        for (int depth = 0; candidate >= 0 && depth < kChainDepth; ++depth, candidate = previous[candidate]) {
            const size_t distance = i - static_cast<size_t>(candidate);
            if (distance > kMaxDistance)
                break;
            size_t length = 0;
            while (i + length < data.size() && data[candidate + length] == data[i + length])
                ++length;
            if (length > bestLength) {
                bestLength = length;
                bestDistance = distance;
            }
        }
        if (bestLength < kMinMatch) {
            insert(i++);
            continue;
        }
        PutSequence(out, data.subspan(literalStart, i - literalStart), bestDistance, bestLength);
        for (size_t end = i + bestLength; i < end; ++i)
            insert(i);
        literalStart = i;
    }
    PutSequence(out, data.subspan(literalStart), 0, 0);
    return out;
}

std::optional<std::vector<std::uint8_t>> DecodePicture(std::span<const std::uint8_t> stream)
{
    Reader in(stream);
    const auto magic = in.Take(kMagic.size());
    std::uint32_t size = 0, checksum = 0;
    if (magic.size() != kMagic.size() || !std::equal(magic.begin(), magic.end(), kMagic.begin()) || !in.U32(size) ||
        !in.U32(checksum))
        return std::nullopt;
    // A damaged size must not make the decoder take gigabytes.
    if (size > kLargestPicture)
        return std::nullopt;

    std::vector<std::uint8_t> out;
    out.reserve(size);
    while (true) {
        std::uint8_t token = 0;
        size_t literalCount = 0, matchLength = 0;
        if (!in.Byte(token) || !in.Length(token >> 4, literalCount) || literalCount > size - out.size())
            return std::nullopt;
        const auto literals = in.Take(literalCount);
        if (literals.size() != literalCount)
            return std::nullopt;
        out.insert(out.end(), literals.begin(), literals.end());
        if (out.size() == size)
            break;
        std::uint8_t low = 0, high = 0;
        if (!in.Byte(low) || !in.Byte(high) || !in.Length(token & 0x0F, matchLength))
            return std::nullopt;
        const size_t distance = low | size_t{high} << 8;
        matchLength += kMinMatch;
        if (distance == 0 || distance > out.size() || matchLength > size - out.size())
            return std::nullopt;
        for (size_t from = out.size() - distance, k = 0; k < matchLength; ++k)
            out.push_back(out[from + k]);
    }
    if (!in.AtEnd() || Adler32(out) != checksum)
        return std::nullopt;
    return out;
}
