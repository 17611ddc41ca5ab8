#include "picture_encoder.h"

#include <algorithm>
#include <cstring>

using namespace picture_stream;

namespace {

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutLength(std::vector<std::uint8_t>& out, std::size_t extra)
{
    do {
        out.push_back(static_cast<std::uint8_t>((extra & 0x7F) | (extra > 0x7F ? 0x80 : 0)));
        extra >>= 7;
    } while (extra);
}

void PutSequence(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> literals, std::size_t distance,
                 std::size_t matchLength)
{
    const std::size_t matchCode = matchLength ? matchLength - kMinMatch : 0;
    out.push_back(static_cast<std::uint8_t>((std::min<std::size_t>(literals.size(), 15) << 4) | std::min<std::size_t>(matchCode, 15)));
    if (literals.size() >= 15)
        PutLength(out, literals.size() - 15);
    out.insert(out.end(), literals.begin(), literals.end());
    if (!matchLength)
        return;
    PutLittleEndian(out, static_cast<std::uint32_t>(distance), 2);
    if (matchCode >= 15)
        PutLength(out, matchCode - 15);
}

// Greedy matching over hash chains of 4-byte prefixes.
void PutSequences(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data)
{
    constexpr std::size_t kHashBits = 16;
    constexpr int kChainDepth = 128;
    std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1);
    std::vector<std::int64_t> previous(data.size(), -1);
    const auto hashAt = [&](std::size_t i) {
        const std::uint32_t v = data[i] | data[i + 1] << 8 | data[i + 2] << 16 | std::uint32_t{data[i + 3]} << 24;
        return (v * 2654435761u) >> (32 - kHashBits);
    };
    const auto insert = [&](std::size_t i) {
        if (i + kMinMatch > data.size())
            return;
        const auto h = hashAt(i);
        previous[i] = head[h];
        head[h] = static_cast<std::int64_t>(i);
    };

    std::size_t literalStart = 0, i = 0;
    while (i + kMinMatch <= data.size()) {
        std::size_t bestLength = 0, bestDistance = 0;
        std::int64_t candidate = head[hashAt(i)];
        for (int depth = 0; candidate >= 0 && depth < kChainDepth; ++depth, candidate = previous[candidate]) {
            const std::size_t distance = i - static_cast<std::size_t>(candidate);
            if (distance > kMaxDistance)
                break;
            std::size_t length = 0;
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
        for (std::size_t end = i + bestLength; i < end; ++i)
            insert(i);
        literalStart = i;
    }
    PutSequence(out, data.subspan(literalStart), 0, 0);
}

}  // namespace

std::vector<std::uint8_t> EncodePicture(PictureSize size, std::span<const std::uint8_t> pixels)
{
    // Each pixel as its difference from the pixel before it.
    std::vector<std::uint8_t> predicted(pixels.size());
    std::uint32_t before = 0;
    for (std::size_t at = 0; at + kPixelBytes <= pixels.size(); at += kPixelBytes) {
        std::uint32_t pixel;
        std::memcpy(&pixel, pixels.data() + at, sizeof pixel);
        const std::uint32_t difference = pixel - before;
        std::memcpy(predicted.data() + at, &difference, sizeof difference);
        before = pixel;
    }

    std::vector<std::uint8_t> payload;
    PutSequences(payload, predicted);
    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    PutLittleEndian(out, static_cast<std::uint32_t>(size.width), 2);
    PutLittleEndian(out, static_cast<std::uint32_t>(size.height), 2);
    PutLittleEndian(out, Adler32(payload), 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}
