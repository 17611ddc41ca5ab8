#include "picture_win32.h"

#include <cstring>
#include <span>

#include "resources/picture_codec.h"
#include "resources/welcome_picture.h"

UniqueBitmap LoadWelcomePicture()
{
    const auto file = DecodePicture(std::span(kWelcomePictureStream, kWelcomePictureStreamSize));
    if (!file || file->size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))
        return {};
    BITMAPFILEHEADER header;
    BITMAPINFO info{};
    std::memcpy(&header, file->data(), sizeof header);
    std::memcpy(&info.bmiHeader, file->data() + sizeof header, sizeof info.bmiHeader);
    const BITMAPINFOHEADER& h = info.bmiHeader;
    const size_t rowBytes = ((size_t(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    if (h.biBitCount != 24 || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight <= 0 ||
        header.bfOffBits > file->size() || file->size() - header.bfOffBits < rowBytes * h.biHeight)
        return {};

    void* pixels = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (bitmap && pixels)
        std::memcpy(pixels, file->data() + header.bfOffBits, rowBytes * h.biHeight);
    return bitmap;
}
