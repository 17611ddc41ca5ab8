#include "picture_win32.h"

#include <cstdint>
#include <span>
#include <utility>

#include "picture_codec.h"
#include "welcome_picture.h"

WelcomePicture LoadWelcomePicture()
{
    const std::span<const std::uint8_t> stream(kWelcomePictureStream, kWelcomePictureStreamSize);
    const std::optional<PictureSize> size = PictureSizeOf(stream);
    if (!size)
        return {};
    void* pixels = nullptr;
    UniqueBitmap bitmap = CreatePictureBitmap(size->width, size->height, &pixels);
    if (!bitmap || !DecodePicture(stream, std::span(static_cast<std::uint8_t*>(pixels), size->Bytes())))
        return {};
    return {std::move(bitmap), size->width, size->height};
}
