#pragma once
// The welcome picture the window stands on. The executable carries it as a Windows bitmap file,
// compressed by the codec of picture_codec.h, in the program's data rather than its resources.

#include <cstdint>

extern const unsigned char kWelcomePictureStream[];
extern const unsigned kWelcomePictureStreamSize;

// Its size in pixels, and the flat field of one colour (0x00BBGGRR) that fills it from
// (kWelcomeFieldLeft, kWelcomeFieldTop) to its right and bottom edges: the prompt and the
// buttons stand on the field.
inline constexpr int kWelcomePictureWidth = 686;
inline constexpr int kWelcomePictureHeight = 450;
inline constexpr int kWelcomeFieldLeft = 170;
inline constexpr int kWelcomeFieldTop = 60;
inline constexpr std::uint32_t kWelcomeFieldColor = 0x00AB663Du;  // red 61, green 102, blue 171
