#pragma once
// The encoder of the picture stream that resources/picture_codec.h describes and decodes. Only the
// artwork tool and the tests use it; the launcher carries its result and decodes it.

#include <cstdint>
#include <span>
#include <vector>

#include "picture_codec.h"

// `pixels` are size.Bytes() bytes: blue, green, red and 0 for each pixel, rows from the top.
std::vector<std::uint8_t> EncodePicture(PictureSize size, std::span<const std::uint8_t> pixels);
