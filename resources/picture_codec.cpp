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

namespace {

// The decoded bytes as far as matches can see them: a ring of the last 128 KiB, twice a
// distance's reach. Bytes leave for the sink in chunks, always before the ring overwrites them.
class History {
public:
    explicit History(const std::function<void(std::span<const std::uint8_t>)>& sink) : sink_(sink), ring_(kRingSize) {}
    size_t Produced() const { return produced_; }
    std::uint32_t Checksum() const { return (b_ << 16) | a_; }
    void Put(std::uint8_t byte)
    {
        ring_[produced_ & kRingMask] = byte;
        if ((++produced_ & (kChunk - 1)) == 0)
            Flush();
    }
    std::uint8_t Back(size_t distance) const { return ring_[(produced_ - distance) & kRingMask]; }
    void Flush()
    {
        while (flushed_ < produced_) {
            const size_t from = flushed_ & kRingMask;
            const size_t count = std::min(produced_ - flushed_, kRingSize - from);
            const std::span<const std::uint8_t> chunk(ring_.data() + from, count);
            Sum(chunk);
            sink_(chunk);
            flushed_ += count;
        }
    }

private:
    // Adler-32, with the modulo taken once per 5552 bytes, the most that cannot overflow.
    void Sum(std::span<const std::uint8_t> bytes)
    {
        while (!bytes.empty()) {
            const size_t n = std::min<size_t>(bytes.size(), 5552);
            for (std::uint8_t byte : bytes.first(n)) {
                a_ += byte;
                b_ += a_;
            }
            a_ %= 65521;
            b_ %= 65521;
            bytes = bytes.subspan(n);
        }
    }

    static constexpr size_t kChunk = 4096;
    static constexpr size_t kRingSize = 131072;
    static constexpr size_t kRingMask = kRingSize - 1;
    static_assert(kRingSize >= kMaxDistance + kChunk);
    const std::function<void(std::span<const std::uint8_t>)>& sink_;
    std::vector<std::uint8_t> ring_;
    size_t produced_ = 0, flushed_ = 0;
    std::uint32_t a_ = 1, b_ = 0;
};

}  // namespace

bool DecodePictureStreaming(std::span<const std::uint8_t> stream,
                            const std::function<void(std::span<const std::uint8_t>)>& sink)
{
    Reader in(stream);
    const auto magic = in.Take(kMagic.size());
    std::uint32_t size = 0, checksum = 0;
    if (magic.size() != kMagic.size() || !std::equal(magic.begin(), magic.end(), kMagic.begin()) || !in.U32(size) ||
        !in.U32(checksum))
        return false;
    // A damaged size must not make the decoder run on for gigabytes.
    if (size > kLargestPicture)
        return false;

    History out(sink);
    while (true) {
        std::uint8_t token = 0;
        size_t literalCount = 0, matchLength = 0;
        if (!in.Byte(token) || !in.Length(token >> 4, literalCount) || literalCount > size - out.Produced())
            return false;
        const auto literals = in.Take(literalCount);
        if (literals.size() != literalCount)
            return false;
        for (std::uint8_t byte : literals)
            out.Put(byte);
        if (out.Produced() == size)
            break;
        std::uint8_t low = 0, high = 0;
        if (!in.Byte(low) || !in.Byte(high) || !in.Length(token & 0x0F, matchLength))
            return false;
        const size_t distance = low | size_t{high} << 8;
        matchLength += kMinMatch;
        if (distance == 0 || distance > out.Produced() || matchLength > size - out.Produced())
            return false;
        for (size_t k = 0; k < matchLength; ++k)
            out.Put(out.Back(distance));
    }
    out.Flush();
    return in.AtEnd() && out.Checksum() == checksum;
}

std::optional<std::vector<std::uint8_t>> DecodePicture(std::span<const std::uint8_t> stream)
{
    std::vector<std::uint8_t> out;
    const bool whole = DecodePictureStreaming(stream, [&](std::span<const std::uint8_t> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    });
    if (!whole)
        return std::nullopt;
    return out;
}
