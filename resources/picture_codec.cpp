#include "picture_codec.h"

#include <algorithm>
#include <cstring>
#include <iterator>

using namespace picture_stream;

std::uint32_t picture_stream::Adler32(std::span<const std::uint8_t> data)
{
    // The modulo is taken once per 5552 bytes, the most that cannot overflow.
    std::uint32_t a = 1, b = 0;
    while (!data.empty()) {
        const std::size_t n = std::min<std::size_t>(data.size(), 5552);
        for (std::uint8_t byte : data.first(n)) {
            a += byte;
            b += a;
        }
        a %= 65521;
        b %= 65521;
        data = data.subspan(n);
    }
    return (b << 16) | a;
}

namespace {

std::uint32_t LittleEndian(const std::uint8_t* at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | at[i];
    return value;
}

// Adds to `extra` the LEB128 number at `in` when the nibble says one follows; false when it
// runs past `end` or beyond any length the picture could need.
bool ReadLength(const std::uint8_t*& in, const std::uint8_t* end, std::size_t nibble, std::size_t& length)
{
    length = nibble;
    if (nibble != 15)
        return true;
    for (int shift = 0; shift < 28; shift += 7) {
        if (in == end)
            return false;
        const std::uint8_t byte = *in++;
        length += std::size_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

// Undoes the prediction: each pixel becomes itself plus the pixel before it.
void UndoPrediction(std::span<std::uint8_t> pixels)
{
    std::uint32_t pixel = 0;
    for (std::size_t at = 0; at < pixels.size(); at += kPixelBytes) {
        std::uint32_t difference;
        std::memcpy(&difference, pixels.data() + at, sizeof difference);
        pixel += difference;
        std::memcpy(pixels.data() + at, &pixel, sizeof pixel);
    }
}

}  // namespace

std::optional<PictureSize> PictureSizeOf(std::span<const std::uint8_t> stream)
{
    if (stream.size() < kHeaderSize || !std::equal(std::begin(kMagic), std::end(kMagic), stream.begin()))
        return std::nullopt;
    const PictureSize size{int(LittleEndian(&stream[4], 2)), int(LittleEndian(&stream[6], 2))};
    if (size.width < 1 || size.width > kLargestSide || size.height < 1 || size.height > kLargestSide)
        return std::nullopt;
    return size;
}

bool DecodePicture(std::span<const std::uint8_t> stream, std::span<std::uint8_t> pixels)
{
    const std::optional<PictureSize> size = PictureSizeOf(stream);
    if (!size || size->Bytes() != pixels.size() ||
        Adler32(stream.subspan(kHeaderSize)) != LittleEndian(&stream[8], 4))
        return false;

    const std::uint8_t* in = stream.data() + kHeaderSize;
    const std::uint8_t* const inEnd = stream.data() + stream.size();
    std::uint8_t* const begin = pixels.data();
    std::uint8_t* const end = begin + pixels.size();
    std::uint8_t* out = begin;
    while (true) {
        std::size_t literals = 0, match = 0;
        if (in == inEnd)
            return false;
        const std::uint8_t token = *in++;
        if (!ReadLength(in, inEnd, token >> 4, literals) || literals > std::size_t(end - out) ||
            literals > std::size_t(inEnd - in))
            return false;
        std::memcpy(out, in, literals);
        out += literals;
        in += literals;
        if (out == end)
            break;
        if (inEnd - in < 2)
            return false;
        const std::size_t distance = LittleEndian(in, 2);
        in += 2;
        if (!ReadLength(in, inEnd, token & 0x0F, match) || distance == 0 || distance > std::size_t(out - begin))
            return false;
        match += kMinMatch;
        if (match > std::size_t(end - out))
            return false;
        // A match may overlap what it produces, repeating its start: it is copied in pieces that
        // double, each no longer than the distance back to its source.
        const std::uint8_t* from = out - distance;
        for (std::size_t left = match; left;) {
            const std::size_t piece = std::min<std::size_t>(left, std::size_t(out - from));
            std::memcpy(out, from, piece);
            out += piece;
            left -= piece;
        }
    }
    if (in != inEnd)
        return false;
    UndoPrediction(pixels);
    return true;
}

std::optional<std::vector<std::uint8_t>> DecodedPixels(std::span<const std::uint8_t> stream)
{
    const std::optional<PictureSize> size = PictureSizeOf(stream);
    std::vector<std::uint8_t> pixels(size ? size->Bytes() : 0);
    if (!size || !DecodePicture(stream, pixels))
        return std::nullopt;
    return pixels;
}
