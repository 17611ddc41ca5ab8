// The floor of the picture's cost: linked in place of the launcher's own LoadWelcomePicture, it
// fills the same 32-bit bitmap with pixels that are ready, read from bench-picture.bin beside the
// program (the driver writes it), instead of decoding them. Everything else is the launcher's.

#include <windows.h>

#include <string>
#include <utility>

#include "resources/welcome_picture.h"
#include "window/picture_win32.h"

UniqueBitmap LoadWelcomePicture()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    file = file.substr(0, file.rfind(L'\\') + 1) + L"bench-picture.bin";

    void* pixels = nullptr;
    UniqueBitmap bitmap = CreatePictureBitmap(kWelcomePictureWidth, kWelcomePictureHeight, &pixels);
    HANDLE in = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD bytes = kWelcomePictureWidth * kWelcomePictureHeight * 4;
    DWORD read = 0;
    const bool whole = bitmap && in != INVALID_HANDLE_VALUE && ReadFile(in, pixels, bytes, &read, nullptr) && read == bytes;
    if (in != INVALID_HANDLE_VALUE)
        CloseHandle(in);
    return whole ? std::move(bitmap) : UniqueBitmap();
}
