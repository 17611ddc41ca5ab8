#pragma once
// The small LZ codec that carries the welcome picture inside the executable, in the form the
// window keeps it: 32-bit pixels (blue, green, red, 0), rows from the top, so that decoding writes
// straight into the window's bitmap. The picture is mostly one flat colour and rows that repeat,
// which LZ matches take in a few bytes each.
//
// Stream: "TLZ2", the width and the height (16-bit little-endian), the Adler-32 of everything
// after the header (32-bit little-endian), then sequences of: a token (literal count in the high
// nibble, match length - 4 in the low one; 15 means a LEB128 number follows to add), the
// literals, a 16-bit little-endian match distance and the match. The last sequence has literals
// only and ends exactly at width x height x 4 bytes. Each pixel is stored as its difference from
// the pixel before it (at a row's start, the last pixel of the row above), both taken as 32-bit
// little-endian numbers: a run of one colour becomes a run of zeros and a gradient a run of equal
// differences, which match.
// The encoder, which only the artwork tool and the tests need, is tools/artwork/picture_encoder.h.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace picture_stream {
inline constexpr std::uint8_t kMagic[4] = {'T', 'L', 'Z', '2'};
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kMinMatch = 4;
inline constexpr std::size_t kMaxDistance = 65535;
inline constexpr int kLargestSide = 4096;
inline constexpr std::size_t kPixelBytes = 4;
std::uint32_t Adler32(std::span<const std::uint8_t> data);
}  // namespace picture_stream

struct PictureSize {
    int width, height;
    std::size_t Bytes() const { return std::size_t(width) * std::size_t(height) * picture_stream::kPixelBytes; }
    bool operator==(const PictureSize&) const = default;
};

// The picture's size as the stream states it; nothing for a stream that is not one, or that
// states a size beyond any picture.
std::optional<PictureSize> PictureSizeOf(std::span<const std::uint8_t> stream);

// Decodes the stream into `pixels`, which must be exactly as large as PictureSizeOf says. False
// for a stream that is damaged, truncated, too long, or reaches outside what it has produced;
// `pixels` are then worthless. Never reads or writes past the end of either.
bool DecodePicture(std::span<const std::uint8_t> stream, std::span<std::uint8_t> pixels);
// The same into pixels of their own, for those that keep them apart from a bitmap; nothing for a
// stream that is refused.
std::optional<std::vector<std::uint8_t>> DecodedPixels(std::span<const std::uint8_t> stream);
