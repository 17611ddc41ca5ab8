#pragma once
// The welcome picture the window stands on. The executable carries it as the stream of the codec
// of picture_codec.h, in the program's data rather than its resources; the stream states the
// picture's size, and is its only source.

#include <cstdint>

extern const unsigned char kWelcomePictureStream[];
extern const unsigned kWelcomePictureStreamSize;

// The flat field of one colour (0x00BBGGRR) that fills the picture from (kWelcomeFieldLeft,
// kWelcomeFieldTop) to its right and bottom edges: the prompt and the buttons stand on the field.
inline constexpr int kWelcomeFieldLeft = 170;
inline constexpr int kWelcomeFieldTop = 60;
inline constexpr std::uint32_t kWelcomeFieldColor = 0x00AB663Du;  // red 61, green 102, blue 171
