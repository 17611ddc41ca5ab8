#pragma once
// Ownership of Win32 handles: one move-only template, and a deleter per kind of handle. The
// guards of painting's paired calls are made of the same template, with deleters that remember
// what they undo.

#include <windows.h>

#include <utility>

template <typename Handle, typename Deleter>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Deleter deleter = {}) : handle_(handle), deleter_(std::move(deleter)) {}
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), deleter_(std::move(other.deleter_))
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
            deleter_ = std::move(other.deleter_);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    const Deleter& deleter() const { return deleter_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset()
    {
        if (handle_)
            deleter_(std::exchange(handle_, nullptr));
    }

private:
    Handle handle_ = nullptr;
    Deleter deleter_{};
};

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct MemoryDcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct ScreenDcReleaser {
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};

using UniqueFont = UniqueHandle<HFONT, GdiObjectDeleter>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectDeleter>;
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcDeleter>;
using UniqueIcon = UniqueHandle<HICON, IconDeleter>;
// The screen's DC, as GetDC(nullptr) lends it.
using ScreenDc = UniqueHandle<HDC, ScreenDcReleaser>;
inline ScreenDc BorrowScreenDc() { return ScreenDc(GetDC(nullptr)); }

// An object selected into a DC: the one it replaced goes back when the selection ends, so no
// object is deleted while still selected.
struct Reselect {
    HDC dc = nullptr;
    void operator()(HGDIOBJ previous) const { SelectObject(dc, previous); }
};
using Selection = UniqueHandle<HGDIOBJ, Reselect>;
inline Selection Select(HDC dc, HGDIOBJ object) { return Selection(SelectObject(dc, object), Reselect{dc}); }

// BeginPaint and EndPaint as one object; deleter().paint.rcPaint is the area to draw.
struct EndPainting {
    HWND window = nullptr;
    PAINTSTRUCT paint{};
    void operator()(HDC) const { EndPaint(window, &paint); }
};
using PaintScope = UniqueHandle<HDC, EndPainting>;
inline PaintScope BeginPainting(HWND window)
{
    EndPainting end{window, {}};
    HDC dc = BeginPaint(window, &end.paint);
    return PaintScope(dc, end);
}
