#pragma once
// The name under which the benchmark driver shares the picture's pixels, ready, with the
// baseline that does all the launcher's work but decoding.
inline constexpr wchar_t kReadyPictureName[] = L"Local\\TolvanixBenchReadyPicture";
