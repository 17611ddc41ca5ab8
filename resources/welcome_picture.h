#pragma once
// The welcome picture as the executable carries it: a Windows bitmap file, compressed by the
// codec of picture_codec.h. It lives in the program's data, not in the resource section.

extern const unsigned char kWelcomePictureStream[];
extern const unsigned kWelcomePictureStreamSize;
