// The floor of the picture's cost: the baseline that does all the launcher's work links this in
// place of the launcher's picture loader (picture_win32.cpp, which it never links): it fills the
// same 32-bit bitmap with pixels that are ready in memory, shared by the driver under
// kReadyPictureName, instead of decoding them. Everything else is the launcher's.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "picture_win32.h"
#include "ready_picture.h"

WelcomePicture LoadWelcomePicture()
{
    HANDLE shared = OpenFileMappingW(FILE_MAP_READ, FALSE, kReadyPictureName);
    const void* view = shared ? MapViewOfFile(shared, FILE_MAP_READ, 0, 0, 0) : nullptr;
    WelcomePicture picture;
    if (view) {
        ReadyPictureHeader header;
        std::memcpy(&header, view, sizeof header);
        void* pixels = nullptr;
        UniqueBitmap bitmap = CreatePictureBitmap(header.width, header.height, &pixels);
        if (bitmap) {
            std::memcpy(pixels, static_cast<const std::uint8_t*>(view) + sizeof header, size_t(header.width) * header.height * 4);
            picture = {std::move(bitmap), header.width, header.height};
        }
        UnmapViewOfFile(view);
    }
    if (shared)
        CloseHandle(shared);
    return picture;
}
