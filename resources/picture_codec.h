#pragma once
// The small LZ codec that carries the welcome picture inside the executable. The picture is
// mostly one flat colour and rows that repeat, which LZ matches take in a few bytes each.
//
// Stream: "TLZ1", the decoded size and its Adler-32 (both 32-bit little-endian), then
// sequences of: a token (literal count in the high nibble, match length - 4 in the low one; 15
// means a LEB128 number follows to add), the literals, a 16-bit little-endian match distance and
// the match. The last sequence has literals only and ends exactly at the decoded size.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

std::vector<std::uint8_t> EncodePicture(std::span<const std::uint8_t> data);

// The decoded bytes, or nothing for a stream that is truncated, damaged or reaches outside what
// it has produced. Never reads or writes past either end.
std::optional<std::vector<std::uint8_t>> DecodePicture(std::span<const std::uint8_t> stream);

// The same, handing the decoded bytes to `sink` in order as they come, while keeping only the
// last 64 KiB that matches may reach back into: the picture need not be held twice. False when
// the stream is refused, possibly after some bytes went to the sink; they are then worthless.
bool DecodePictureStreaming(std::span<const std::uint8_t> stream,
                            const std::function<void(std::span<const std::uint8_t>)>& sink);
