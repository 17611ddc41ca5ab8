#pragma once
#include "handles_win32.h"

// The welcome picture, decoded once from the program's data into a 32-bit device-independent
// bitmap. Empty when the carried stream is damaged.
UniqueBitmap LoadWelcomePicture();
