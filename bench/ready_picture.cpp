// The floor of the picture's cost: linked in place of the launcher's own LoadWelcomePicture, it
// fills the same 32-bit bitmap with pixels that are ready in memory, shared by the driver under
// kReadyPictureName, instead of decoding them. Everything else is the launcher's.

#include <windows.h>

#include <cstring>
#include <utility>

#include "ready_picture.h"
#include "resources/welcome_picture.h"
#include "window/picture_win32.h"

UniqueBitmap LoadWelcomePicture()
{
    const size_t bytes = size_t(kWelcomePictureWidth) * kWelcomePictureHeight * 4;
    HANDLE shared = OpenFileMappingW(FILE_MAP_READ, FALSE, kReadyPictureName);
    const void* ready = shared ? MapViewOfFile(shared, FILE_MAP_READ, 0, 0, bytes) : nullptr;
    void* pixels = nullptr;
    UniqueBitmap bitmap = CreatePictureBitmap(kWelcomePictureWidth, kWelcomePictureHeight, &pixels);
    if (bitmap && ready)
        std::memcpy(pixels, ready, bytes);
    if (ready)
        UnmapViewOfFile(ready);
    if (shared)
        CloseHandle(shared);
    return ready ? std::move(bitmap) : UniqueBitmap();
}
