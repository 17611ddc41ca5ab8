#pragma once
#include "handles_win32.h"

// The welcome picture as the window keeps it: a 32-bit device-independent bitmap, the screen's own
// format, so a paint copies it without converting, and its size, which the picture itself states.
struct WelcomePicture {
    UniqueBitmap bitmap;
    int width = 0, height = 0;
};

// Made once, at the start, by the loader the window is given. The launcher's own decodes the
// program's data; the benchmark's floor (bench/ready_picture.cpp) copies pixels ready in memory.
// An empty bitmap when the picture cannot be had.
using PictureLoader = WelcomePicture (*)();
WelcomePicture LoadWelcomePicture();

// The form of that bitmap: 32 bits a pixel (blue, green, red, 0), rows from the top.
inline BITMAPINFO PictureFormat(int width, int height)
{
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    return format;
}

// A bitmap of that form, with `pixels` pointing at its width x height x 4 bytes to fill.
inline UniqueBitmap CreatePictureBitmap(int width, int height, void** pixels)
{
    const BITMAPINFO format = PictureFormat(width, height);
    return UniqueBitmap(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, pixels, nullptr, 0));
}
