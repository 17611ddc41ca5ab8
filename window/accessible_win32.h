#pragma once
// What screen readers find in the window's client area. The prompt is drawn, not a window of its
// own, so the system's standard object would not know it; this object presents the client area
// as the dialog it is: named by the window's caption, described by the prompt, and with the prompt
// as its first child (static text), then the buttons as the system presents them. All else is the
// system's standard client object's.
//
// The accessibility library is loaded from the system folder at the first request, never at the
// start: a launcher that nobody reads with a screen reader does not pay for it.

#include <windows.h>

#include <string_view>

#include "dll_search_win32.h"
#include "handles_win32.h"

class ClientAccessible;

// The window lets go of its object when it is destroyed: from then on every call on it fails with
// RPC_E_DISCONNECTED, and it holds nothing of the window's.
struct DisconnectAccessible {
    void operator()(ClientAccessible* object) const;
};
using UniqueAccessible = UniqueHandle<ClientAccessible*, DisconnectAccessible>;

// The object for the client area of `window`, whose prompt reads `prompt` in `promptRect` (client
// coordinates). Empty when the accessibility library cannot be had. `lookup` finds kernel32's
// exports, which the library is loaded through.
UniqueAccessible CreateClientAccessible(HWND window, std::wstring_view prompt, const RECT& promptRect, Kernel32Lookup lookup);

// The answer to WM_GETOBJECT for the client area: the object, handed over as the system expects.
LRESULT AccessibleResult(ClientAccessible* object, WPARAM flags);
