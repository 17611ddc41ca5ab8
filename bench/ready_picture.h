#pragma once
// How the benchmark driver shares the picture, ready, with the baseline that does all the
// launcher's work but decoding: under this name, its size, then its pixels as the window keeps
// them.

#include <cstdint>

inline constexpr wchar_t kReadyPictureName[] = L"Local\\TolvanixBenchReadyPicture";
struct ReadyPictureHeader {
    std::int32_t width, height;
};
